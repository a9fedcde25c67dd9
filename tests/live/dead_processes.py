"""Processes that die or freeze, on the real clock. The three cases run at
once, each with its own server; the longest waits out the 68 s ring."""

import signal
import time

from harness import GROUP, USERS, World, expect, main

BOB, CAROL = USERS["bob"], USERS["carol"]


def caller_killed_while_ringing():
    with World(("alice", "bob")) as w:
        alice, bob = w.node("alice"), w.node("bob")
        alice.logged_in()
        bob.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-4a"}
        alice.request("call", members=[BOB], extend={"rtcType": "rtc"}, **room)
        ring = bob.wait(kind="event", type=1, roomId="room-live-4a")
        alice.signal(signal.SIGKILL)
        end = bob.wait(kind="event", type=5, roomId="room-live-4a", timeout=85)
        expect(end["annotation"] == "local_sdk_becalltimeout", f"Bob's ring ended with {end}")
        rang = end["at"] - ring["at"]
        expect(66 <= rang <= 75, f"Bob rang {rang:.1f} s, not the 68 s ring time-out")
        expect(bob.select(kind="timeout", type=2), "no ring time-out fired")


def member_frozen():
    with World() as w:
        alice, bob, carol = w.node("alice"), w.node("bob"), w.node("carol")
        for n in (alice, bob, carol):
            n.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-4b"}
        alice.request("call", members=[BOB, CAROL], extend={"rtcType": "rtc"}, **room)
        for n in (bob, carol):
            n.wait(kind="event", type=1, roomId="room-live-4b")
            n.request("intoroom", annotation="accept", members=[n.user], **room)
        carol.signal(signal.SIGSTOP)
        time.sleep(64)  # past the 60 s keep-alive time-out
        marks = [n.mark() for n in (alice, bob, carol)]
        carol.signal(signal.SIGCONT)
        end = carol.wait(kind="event", type=5, since=marks[2], timeout=8)
        expect(end["annotation"] == "local_sdk_keepalivetimeout", f"Carol's talk ended with {end}")
        time.sleep(3)
        for n, mark in zip((alice, bob, carol), marks):
            expect(not n.select(kind="event", type=1, since=mark), f"{n.name} rang again")


def answered_then_restarted():
    with World(("alice", "bob")) as w:
        alice, bob = w.node("alice"), w.node("bob")
        alice.logged_in()
        bob.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-4c"}
        alice.request("call", members=[BOB], extend={"rtcType": "rtc"}, **room)
        bob.wait(kind="event", type=1, roomId="room-live-4c")
        bob.request("intoroom", annotation="accept", members=[BOB], **room)
        time.sleep(1)
        bob.signal(signal.SIGKILL)
        bob.proc.wait(timeout=5)
        again = w.node("bob")
        again.logged_in()
        pull = again.wait(kind="pull")
        expect(pull["count"] == 0, f"the restart fetched what it had seen: {pull}")
        time.sleep(3)
        expect(not again.select(kind="event", type=1), "Bob rang again for the answered call")


if __name__ == "__main__":
    main([caller_killed_while_ringing, member_frozen, answered_then_restarted])
