"""Replays the traces a live run recorded (one per node process) together with
mrtc-sim replay, and fails on a divergence, which is printed whole."""

import json
import os
import subprocess

# The replay runs on the virtual clock: even the longest live run (the 88 s
# call wait) replays in seconds.
REPLAY_TIMEOUT = 120


class ReplayError(AssertionError):
    pass


def rooms_of(traces):
    """The calls in the traces: the rooms named by any entry."""
    rooms = set()
    for path in traces:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                try:
                    room = json.loads(line).get("roomId")
                except ValueError:
                    continue
                if room:
                    rooms.add(room)
    return rooms


def replay(sim_bin, traces):
    """Returns the replay's summary line; raises ReplayError on a divergence
    or any other failure of the replay."""
    present = [t for t in traces if os.path.exists(t) and os.path.getsize(t) > 0]
    missing = sorted(set(traces) - set(present))
    if missing:
        raise ReplayError(f"no trace written: {', '.join(map(os.path.basename, missing))}")
    try:
        run = subprocess.run([sim_bin, "replay", *present], capture_output=True, text=True,
                             timeout=REPLAY_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise ReplayError(f"the replay of {len(present)} traces took over {REPLAY_TIMEOUT} s")
    names = " ".join(os.path.basename(t) for t in present)
    if run.returncode != 0:
        raise ReplayError(f"replay of {names} (exit {run.returncode}; MRTC_LIVE_KEEP=1 keeps "
                          f"the traces):\n{run.stderr}{run.stdout}")
    summary = (f"replayed {len(present)} traces, {len(rooms_of(present))} calls "
               f"({names}): {run.stdout.strip()}")
    print(summary, flush=True)
    return summary
