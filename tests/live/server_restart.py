"""The server goes away for 5 s in the middle of a one-to-one call and comes
back: every node reconnects, logs in again and the call goes on."""

import time

from harness import USERS, World, expect, main

BOB = USERS["bob"]


def server_restart():
    with World(("alice", "bob")) as w:
        alice, bob = w.node("alice"), w.node("bob")
        for n in (alice, bob):
            n.logged_in()
            n.send(extra={"type": 18, "cmd": {"enable": "on"}})  # one-to-one calls on
        room = {"roomId": "room-live-5"}
        alice.request("call", members=[BOB], extend={"rtcType": "p2pconfer"}, **room)
        bob.wait(kind="event", type=1, roomId="room-live-5")
        w.stop_server()
        for n in (alice, bob):
            n.wait(kind="online", online=0, timeout=5)
        time.sleep(5)
        w.start_server()
        for n in (alice, bob):
            n.wait(kind="online", online=1, timeout=10)
            n.logged_in(count=2)
        bob.request("intoroom", annotation="accept", members=[BOB], **room)
        accepted = alice.wait(kind="event", type=3, senderId=BOB, timeout=5)
        expect(accepted["annotation"] == "accept", f"Alice saw {accepted}")
        alice.request("hungup", annotation="hungup_uiclick", **room)
        end = bob.wait(kind="event", type=5, roomId="room-live-5", timeout=5)
        expect(end["annotation"] == "peer_hungup_uiclick_end", f"Bob's talk ended with {end}")


if __name__ == "__main__":
    main([server_restart])
