#!/usr/bin/env python3
"""Latency of real calls between four mrtc-node processes over a private
Prosody on loopback (a bench program, not a test).

    MRTC_NODE=build/mrtc-node MRTC_XMPP_SERVER=scripts/xmpp-server.sh \
        python3 bench/live_latency.py [CALLS] [--record]

Each of CALLS one-to-one calls (default 200) goes between one of four pairs
in turn: the caller asks, the callee rings (event 1), the callee accepts,
the caller learns it (event 3), the caller hangs up. For the two hops it
prints p50, p99 and the maximum of:
  total      from the request line written to the event line read;
  plug-in    inside the two plug-ins (request to send in the one, delivery
             to event in the other, from the nodes' own stamps);
  transit    the rest: node queues, XMPP, Prosody and the pipes;
and, to tell Prosody from the node, the transit of plain messages put on
the network without the plug-in (inject to delivery). Then each process's
resident memory and threads before and after.

With --record every node runs with the recorder in place (mrtc-node
--record), its trace in the run's temporary folder; with MRTC_SIM set too,
the four traces are replayed at the end.
"""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "live"))
from harness import USERS, World  # noqa: E402


def proc_status(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "Threads"):
                out[key] = value.strip()
    return out


def quantiles(values):
    values = sorted(values)
    pick = lambda q: values[min(len(values) - 1, int(round(q * (len(values) - 1))))]
    return f"p50 {pick(0.5):6.1f}  p99 {pick(0.99):6.1f}  max {values[-1]:6.1f} ms"


def one_call(caller, callee, room):
    mark_caller, mark_callee = caller.mark(), callee.mark()
    sent = time.monotonic()
    caller.send(request="call", roomId=room, members=[callee.user], extend={"rtcType": "p2pconfer"})
    req = caller.wait(kind="request", since=mark_caller)
    msg = caller.wait(kind="message", since=mark_caller)
    ring = callee.wait(kind="event", type=1, roomId=room, since=mark_callee)
    deliver = callee.wait(kind="deliver", since=mark_callee, command="multi_call")
    call = (1000 * (ring["at"] - sent), (msg["t"] - req["t"]) + (ring["t"] - deliver["t"]))

    mark_caller, mark_callee = caller.mark(), callee.mark()
    sent = time.monotonic()
    callee.send(request="intoroom", annotation="accept", roomId=room, members=[callee.user])
    req = callee.wait(kind="request", since=mark_callee)
    msg = callee.wait(kind="message", since=mark_callee)
    accepted = caller.wait(kind="event", type=3, since=mark_caller)
    deliver = caller.wait(kind="deliver", since=mark_caller, command="multi_intoroom")
    accept = (1000 * (accepted["at"] - sent), (msg["t"] - req["t"]) + (accepted["t"] - deliver["t"]))

    mark_callee = callee.mark()
    caller.send(request="hungup", annotation="hungup_uiclick", roomId=room)
    callee.wait(kind="event", type=5, roomId=room, since=mark_callee)
    return call, accept


def plain_transit(sender, receiver, n):
    out = []
    for i in range(n):
        mark_s, mark_r = sender.mark(), receiver.mark()
        sender.send(inject={"to": receiver.user, "bodyType": 2, "body": f"ping {i}"})
        inj = sender.wait(kind="inject", since=mark_s)
        got = receiver.wait(kind="deliver", since=mark_r)
        out.append(1000 * (got["at"] - inj["at"]))
    return out


def main():
    parser = argparse.ArgumentParser(description="Latency of real calls between four mrtc-node")
    parser.add_argument("calls", type=int, nargs="?", default=200)
    parser.add_argument("--record", action="store_true", help="each node records a trace")
    args = parser.parse_args()
    calls = args.calls
    names = ("alice", "bob", "carol", "dave")
    trace_bytes = 0
    with World(names, record=args.record) as w:
        nodes = [w.node(n, extra=("--keepalive", "20")) for n in names]
        for n in nodes:
            n.logged_in()
            n.send(extra={"type": 18, "cmd": {"enable": "on"}})
        time.sleep(0.5)
        before = {n.name: proc_status(n.proc.pid) for n in nodes}
        before["prosody"] = proc_status(w.server.pid)
        pairs = [(0, 1), (2, 3), (1, 2), (3, 0)]
        call, accept = [], []
        for i in range(calls):
            a, b = pairs[i % len(pairs)]
            c, acc = one_call(nodes[a], nodes[b], f"bench-{i}")
            call.append(c)
            accept.append(acc)
        transit = plain_transit(nodes[0], nodes[1], 100)
        after = {n.name: proc_status(n.proc.pid) for n in nodes}
        after["prosody"] = proc_status(w.server.pid)
        trace_bytes = sum(os.path.getsize(t) for t in w.traces if os.path.exists(t))

    recorder = f", recorder on ({trace_bytes // 1024} KiB of traces)" if args.record else ""
    print(f"{calls} calls between four nodes on loopback{recorder}")
    for title, data in (("call -> callee event 1", call), ("accept -> caller event 3", accept)):
        total = [t for t, _ in data]
        plugin = [p for _, p in data]
        print(f"{title}")
        print(f"  total    {quantiles(total)}")
        print(f"  plug-in  {quantiles(plugin)}")
        print(f"  transit  {quantiles([t - p for t, p in data])}")
    print(f"plain message, node to node through Prosody: {quantiles(transit)}")
    print(f"mean total call {statistics.mean(t for t, _ in call):.1f} ms")
    for name in before:
        print(f"{name:8s} RSS {before[name]['VmRSS']:>10s} -> {after[name]['VmRSS']:>10s}   "
              f"threads {before[name]['Threads']} -> {after[name]['Threads']}")


if __name__ == "__main__":
    main()
