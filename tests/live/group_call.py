"""A group call of three over a real server: Bob answers, Carol refuses,
Bob leaves, Alice (last in the room) hangs up and posts the finish hint; the
call's card and both hints reach every member's history."""

from harness import GROUP, USERS, World, expect, main

BOB, CAROL = USERS["bob"], USERS["carol"]


def group_call():
    with World() as w:
        alice, bob, carol = w.node("alice"), w.node("bob"), w.node("carol")
        for n in (alice, bob, carol):
            n.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-1"}
        r = alice.request("call", members=[BOB, CAROL], extend={"rtcType": "rtc"}, **room)
        expect(r.get("result") == 0, f"the call failed: {r}")
        for n in (bob, carol):
            ring = n.wait(kind="event", type=1, roomId="room-live-1")
            expect(ring["senderId"] == USERS["alice"] and ring["selects"] == [BOB, CAROL],
                   f"{n.name} rang with {ring}")
            n.wait(kind="event", type=22)  # the call's card

        r = bob.request("intoroom", annotation="accept", members=[BOB], **room)
        expect(r.get("result") == 0, f"Bob's answer failed: {r}")
        # Alice's media SDK reports Bob in the room.
        alice.request("connectstate", annotation="intoroom", members=[BOB], **room)

        r = carol.request("hungup", annotation="refuse", **room)
        expect(r.get("result") == 0, f"Carol's refusal failed: {r}")
        refused = alice.wait(kind="event", type=4, senderId=CAROL)
        expect(refused["annotation"] == "far_ui_refuse", f"Alice saw {refused}")

        bob.request("hungup", annotation="hungup_uiclick", **room)
        alice.request("connectstate", annotation="levelroom", members=[BOB], **room)
        at = alice.mark()
        r = alice.request("hungup", annotation="hungup_uiclick", **room)
        expect(r.get("result") == 0, f"Alice's hang-up failed: {r}")
        finish = ('{"operType":"22","operUser":"20001",'
                  '"usersInfo":"groupId=30001,roomId=room-live-1,operUserName=Alice"}')
        hint = alice.wait(kind="message", type=8, since=at)
        expect(hint["properties"] == finish, f"finish hint {hint}")
        for n in (alice, bob, carol):
            n.wait(kind="event", type=21, extend=finish)
        card = alice.select(kind="insert", type=26)
        expect(len(card) == 1 and '"roomID":"room-live-1"' in card[0]["body"],
               f"Alice's history has the card {card}")
        expect(not alice.select(kind="error") and not bob.select(kind="error"), "an input error")


if __name__ == "__main__":
    main([group_call])
