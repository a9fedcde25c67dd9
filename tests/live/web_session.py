"""scripts/live.sh --web: three devices (Alice, Bob, Carol) with their phone
pages, and the media-room stand-in between them, until Ctrl-C.

    web_session.py NODE DIRECTORY SERVER_PORT STATE_DIR"""

import re
import signal
import sys
import time
import types

import harness
from media_room import MediaRoom


def main(node_bin, directory, port, state):
    world = types.SimpleNamespace(node_bin=node_bin, directory=directory, port=int(port), dir=state)
    nodes = [harness.Node(world, user, extra=("--http", "0")) for user in ("alice", "bob", "carol")]
    try:
        for n in nodes:
            deadline = time.monotonic() + 10
            while True:
                with open(f"{state}/{n.name}.err") as f:
                    found = re.search(r"page at (\S+)", f.read())
                if found:
                    print(f"{n.name:6} {found.group(1)}", flush=True)
                    break
                if time.monotonic() > deadline or n.proc.poll() is not None:
                    raise harness.LiveError(f"{n.name}: no page (see {state}/{n.name}.err)")
                time.sleep(0.05)
        print("Open the addresses in a browser; Ctrl-C ends the session.", flush=True)
        with MediaRoom(nodes):
            signal.sigwait({signal.SIGINT, signal.SIGTERM})
    finally:
        for n in nodes:
            n.end()


if __name__ == "__main__":
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM})
    main(*sys.argv[1:5])
