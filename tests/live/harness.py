"""Live end-to-end runs: a private Prosody and several mrtc-node processes,
all children of the test, in a temporary folder on a free loopback port.

Every wait is bounded; whatever happens (a failed assertion, an exception, a
signal from ctest), the nodes and the server are ended before the test
returns, and the temporary folder is removed unless MRTC_LIVE_KEEP is set.

Each node records what crosses between it and its plug-in (mrtc-node
--record) into a trace of its own in that folder. When MRTC_SIM names
mrtc-sim, a World that ends well replays the traces of all its nodes together
(mrtc-sim replay) and fails on the first divergence, which it prints.
"""

import json
import os
import shutil
import socket
import signal
import subprocess
import sys
import tempfile
import threading
import time

import replay_check

GROUP = 30001
USERS = {"alice": 20001, "bob": 20002, "carol": 20003, "dave": 20004}


class LiveError(AssertionError):
    pass


# Every child of this test and every temporary folder, so that a signal from
# ctest (a time-out) still ends them all and removes them.
_children = []
_folders = []
_children_lock = threading.Lock()


def _spawn(args, **kw):
    proc = subprocess.Popen(args, **kw)
    with _children_lock:
        _children.append(proc)
    return proc


def _end_all(*_):
    with _children_lock:
        for proc in _children:
            if proc.poll() is None:
                proc.send_signal(signal.SIGCONT)
                proc.kill()
        for proc in _children:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        if not os.environ.get("MRTC_LIVE_KEEP"):
            for folder in _folders:
                shutil.rmtree(folder, ignore_errors=True)
    os._exit(3)


class Node:
    """One mrtc-node; its output lines are collected as they come."""

    def __init__(self, world, user, device=1, name=None, extra=()):
        self.world = world
        self.name = name or (user if device == 1 else f"{user}-{device}")
        self.user = USERS[user]
        self.items = []
        self.cond = threading.Condition()
        args = [world.node_bin, "--directory", world.directory, "--user", user,
                "--device", str(device), "--server", f"127.0.0.1:{world.port}",
                "--state", world.dir, "--name", self.name,
                "--log", os.path.join(world.dir, self.name + ".log"), *extra]
        trace_for = getattr(world, "trace_for", None)
        self.trace = trace_for(self.name) if trace_for else None
        if self.trace:
            args += ["--record", self.trace]
        self.proc = _spawn(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=open(os.path.join(world.dir, self.name + ".err"), "a"),
                                     text=True, bufsize=1)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            try:
                item = json.loads(line)
            except ValueError:
                item = {"kind": "unreadable", "text": line}
            item["at"] = time.monotonic()
            with self.cond:
                self.items.append(item)
                self.cond.notify_all()

    def send(self, **step):
        self.proc.stdin.write(json.dumps(step) + "\n")
        self.proc.stdin.flush()

    def request(self, name, timeout=10, **fields):
        """Sends a request and returns its answered request item."""
        start = len(self.items)
        self.send(request=name, **fields)
        return self.wait(kind="request", since=start, timeout=timeout,
                         match=lambda i: "answered" in i)

    def select(self, since=0, match=None, **want):
        with self.cond:
            items = list(self.items[since:])
        return [i for i in items
                if all(i.get(k) == v for k, v in want.items()) and (match is None or match(i))]

    def wait(self, timeout=10, since=0, match=None, **want):
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for item in self.items[since:]:
                    if all(item.get(k) == v for k, v in want.items()) and (
                            match is None or match(item)):
                        return item
                left = deadline - time.monotonic()
                if left <= 0:
                    raise LiveError(f"{self.name}: no item {want} within {timeout} s; "
                                    f"last: {self.items[-3:]}")
                self.cond.wait(left)

    def mark(self):
        with self.cond:
            return len(self.items)

    def logged_in(self, count=1, timeout=15):
        deadline = time.monotonic() + timeout
        while len(self.select(kind="pull")) < count:
            if time.monotonic() > deadline:
                raise LiveError(f"{self.name}: not logged in within {timeout} s")
            time.sleep(0.05)

    def signal(self, sig):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)

    def end(self):
        if self.proc.poll() is None:
            try:
                self.send(quit=True)
                self.proc.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired, ValueError):
                self.proc.send_signal(signal.SIGCONT)
                self.proc.kill()
                self.proc.wait(timeout=5)
        self.reader.join(timeout=5)


class World:
    """The server and the nodes of one test."""

    def __init__(self, users=("alice", "bob", "carol"), record=None):
        self.node_bin = os.environ["MRTC_NODE"]
        self.server_script = os.environ["MRTC_XMPP_SERVER"]
        # Recorded by default where the traces can be replayed.
        self.sim_bin = os.environ.get("MRTC_SIM")
        self.record = bool(self.sim_bin) if record is None else record
        self.traces = []
        # Under the build tree when ctest says so: other checkouts on the
        # machine clean up their own temporary folders, never this one.
        parent = os.environ.get("MRTC_LIVE_TMP")
        if parent:
            os.makedirs(parent, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix="mrtc-live-", dir=parent)
        with _children_lock:
            _folders.append(self.dir)
        self.directory = os.path.join(self.dir, "directory.json")
        with open(self.directory, "w") as f:
            json.dump({
                "domain": "mrtc.local",
                "users": [{"id": USERS[u], "name": u.capitalize(), "password": u + "-secret"}
                          for u in users],
                "groups": [{"id": GROUP, "members": [USERS[u] for u in users]}],
                "config": [],
            }, f)
        self.nodes = []
        self.server = None
        self.port = None

    def __enter__(self):
        self.start_server()
        return self

    def __exit__(self, *exc):
        try:
            for node in self.nodes:
                try:
                    node.end()
                except Exception:  # a node that would not end is killed above
                    pass
            self.stop_server()
            if exc[0] is None and self.sim_bin and self.traces:
                # Every node has ended: its trace is whole.
                replay_check.replay(self.sim_bin, self.traces)
        finally:
            if os.environ.get("MRTC_LIVE_KEEP"):
                print(f"kept: {self.dir}", file=sys.stderr)
            else:
                shutil.rmtree(self.dir, ignore_errors=True)
        return False

    def trace_for(self, name):
        """A trace file of its own for each node process: a device started
        again is a new plug-in, replayed beside the one before."""
        if not self.record:
            return None
        path = os.path.join(self.dir, f"{name}.{len(self.traces) + 1}.trace.jsonl")
        self.traces.append(path)
        return path

    def start_server(self):
        srv = os.path.join(self.dir, "server")
        self.server = _spawn([self.server_script, "run", srv, self.directory],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while True:
            if self.server.poll() is not None:
                raise LiveError("the XMPP server ended at start")
            try:
                with open(os.path.join(srv, "port")) as f:
                    self.port = int(f.read())
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return
            except (OSError, ValueError):
                if time.monotonic() > deadline:
                    raise LiveError("the XMPP server takes no connection within 20 s")
                time.sleep(0.05)

    def stop_server(self):
        if self.server is not None and self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait(timeout=5)
        self.server = None

    def node(self, user, device=1, **kw):
        n = Node(self, user, device, **kw)
        self.nodes.append(n)
        return n


def expect(cond, text):
    if not cond:
        raise LiveError(text)


def main(cases):
    """Runs the named case functions, each with a World of its own, at once
    (real time passes for all of them together)."""
    signal.signal(signal.SIGTERM, _end_all)
    signal.signal(signal.SIGINT, _end_all)
    failures = []
    threads = []

    def run(case):
        try:
            case()
            print(f"ok: {case.__name__}")
        except Exception as e:  # reported, and the test fails
            failures.append(f"{case.__name__}: {e!r}")

    for case in cases:
        t = threading.Thread(target=run, args=(case,))
        t.start()
        threads.append(t)
    for t in threads:
        t.join()
    for f in failures:
        print("FAILED " + f, file=sys.stderr)
    sys.exit(1 if failures else 0)
