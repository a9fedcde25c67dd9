"""Two users ring each other one-to-one at the same moment and the calls
cross on the network; one call remains. The crossing is made certain: both
nodes hold incoming messages back for 2 s while both calls are placed."""

import time

from harness import USERS, World, expect, main

ALICE, BOB = USERS["alice"], USERS["bob"]


def crossing_calls():
    with World(("alice", "bob")) as w:
        alice, bob = w.node("alice"), w.node("bob")
        for n in (alice, bob):
            n.logged_in()
            n.send(extra={"type": 18, "cmd": {"enable": "on"}})  # one-to-one calls on
            n.send(hold=3)
            # Lines are taken in order: once this is answered, the hold is on.
            mark = n.mark()
            n.send(keepalive=True)
            n.wait(kind="request", cmd=24008, since=mark)
        held_from = time.monotonic()
        # The smaller room id wins: Alice's call goes on, Bob yields to it.
        alice.request("call", roomId="r-1", members=[BOB], extend={"rtcType": "p2pconfer"})
        bob.request("call", roomId="r-2", members=[ALICE], extend={"rtcType": "p2pconfer"})
        expect(time.monotonic() - held_from < 2.5, "the calls were not placed within the hold")
        yielded = bob.wait(kind="event", type=5, roomId="r-2", timeout=10)
        expect(yielded["annotation"] == "local_sdk_callcrossed", f"Bob's call ended with {yielded}")
        ring = bob.wait(kind="event", type=1, roomId="r-1", timeout=5)
        expect(ring["senderId"] == ALICE, f"Bob rang with {ring}")
        time.sleep(1)
        expect(not alice.select(kind="event", type=1), "Alice rang for Bob's call too")
        bob.request("intoroom", annotation="accept", roomId="r-1", members=[BOB])
        accepted = alice.wait(kind="event", type=3, senderId=BOB, timeout=5)
        expect(accepted["annotation"] == "accept", f"Alice saw {accepted}")


if __name__ == "__main__":
    main([crossing_calls])
