"""One user on two devices: both ring, the phone answers, and the PC stops
ringing within a second (carbons bring it the phone's answer). The plug-in
is the PC's; the phone is a client of another make, whose answer its node
puts on the network as it is."""

from harness import GROUP, USERS, World, expect, main

BOB = USERS["bob"]


def phone_answers():
    with World() as w:
        alice, pc, phone = w.node("alice"), w.node("bob"), w.node("bob", device=2)
        for n in (alice, pc, phone):
            n.logged_in()
        room = {"groupId": GROUP, "roomId": "room-live-2"}
        alice.request("call", members=[BOB], extend={"rtcType": "rtc"}, **room)
        for n in (pc, phone):
            n.wait(kind="event", type=1, roomId="room-live-2")
        phone.send(inject={"to": GROUP, "bodyType": 15, "limitRange": [BOB], "body": {
            "type": "multi_intoroom", "senderId": str(BOB), "groupId": str(GROUP),
            "onwerId": str(USERS["alice"]), "roomId": "room-live-2", "deviceType": "2",
            "version": "mrtc@1.8.8", "VideoStatus": "multi", "rtcType": "rtc"}})
        answer = phone.wait(kind="inject")
        stop = pc.wait(kind="event", type=5, roomId="room-live-2", timeout=5)
        expect(stop["annotation"] == "local_sdk_deal_android_intoroom",
               f"the PC stopped ringing with {stop}")
        took = stop["at"] - answer["at"]
        expect(took < 1.0, f"the PC rang on for {took:.3f} s after the phone answered")


if __name__ == "__main__":
    main([phone_answers])
