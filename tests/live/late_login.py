"""Devices that log in after a call was placed fetch it from the archive:
one 20 s later rings; one whose clock reads three minutes later finds the
call too old and stays silent."""

import time

from harness import GROUP, USERS, World, expect, main

# The archive fetch hands the call over as an offline pull; the plug-in acts
# on pulled calls up to 120 s old. Three minutes are shown by the late
# device's clock (--clock-offset), so that the test does not wait them out.
LATE_MS = 180000 - 20000


def late_devices():
    users = ("alice", "bob", "carol", "dave")
    with World(users) as w:
        alice, bob = w.node("alice"), w.node("bob")
        alice.logged_in()
        bob.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-3"}
        members = [USERS["bob"], USERS["carol"], USERS["dave"]]
        placed = alice.request("call", members=members, extend={"rtcType": "rtc"}, **room)
        bob.wait(kind="event", type=1, roomId="room-live-3")
        time.sleep(max(0.0, placed["at"] + 20 - time.monotonic()))
        carol = w.node("carol")
        dave = w.node("dave", extra=("--clock-offset", str(LATE_MS)))
        for n in (carol, dave):
            n.logged_in()
        pull = carol.wait(kind="pull")
        expect(pull["count"] >= 1, f"Carol's fetch found nothing: {pull}")
        ring = carol.wait(kind="event", type=1, roomId="room-live-3", timeout=5)
        expect(ring["senderId"] == USERS["alice"], f"Carol rang with {ring}")
        expect(dave.wait(kind="pull")["count"] >= 1, "Dave's fetch found nothing")
        time.sleep(2)
        expect(not dave.select(kind="event", type=1), "Dave rang for a three-minute-old call")


if __name__ == "__main__":
    main([late_devices])
