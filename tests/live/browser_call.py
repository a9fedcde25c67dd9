"""Calls placed and taken in the nodes' phone pages, in headless Chromium
driven over the DevTools protocol, against a real server and real time:

- a group call: Alice clicks to call Bob and Carol, both ring; Bob accepts and
  Alice sees him joined while Carol still rings; Carol's ring times out and
  Alice sees "no answer"; Alice hangs up and every page shows the call ended,
  each group chat the card and the notices;
- Bob's phone answers a one-to-one call while his PC rings: the PC stops;
- a page kept open through 100 calls: no growth in DOM nodes or heap; and
  the page's own weight and time to first render.

The three run at once (the group call waits out the real ring time-outs).
Every page fails the test on a console error, an uncaught exception or a
failed request. Screenshots and figures go to MRTC_BROWSER_OUT."""

import http.client
import json
import os
import re
import time

import cdp
from harness import GROUP, USERS, World, expect, main, LiveError
from media_room import MediaRoom

ALICE, BOB, CAROL = USERS["alice"], USERS["bob"], USERS["carol"]
OUT = os.environ.get("MRTC_BROWSER_OUT", ".")
RING_SHOWN = "!document.getElementById('ring').hidden"
# Calls that fill the event log and the chats up to what they keep.
WARM_UP = 60
CALL_ENDED = "document.getElementById('call').dataset.state === 'ended'"


def chat_shows(page, chat, wants, timeout=10):
    """Waits until the chat holds an entry starting with each of WANTS: the
    finish notice comes a moment after the hang-up."""
    deadline = time.monotonic() + timeout
    while True:
        entries = chat_entries(page, chat)
        if all(any(e.startswith(want) for e in entries) for want in wants):
            return entries
        if time.monotonic() > deadline:
            raise LiveError(f"{page.name}'s chat {entries}")
        time.sleep(0.2)


def state_of(member):
    return (f"(document.querySelector('[data-member=\"{member}\"] [data-state]') || "
            "{dataset: {}}).dataset.state")


def web_node(world, user, device=1):
    node = world.node(user, device, extra=("--http", "0"))
    err = os.path.join(world.dir, node.name + ".err")
    deadline = time.monotonic() + 10
    while True:
        with open(err) as f:
            found = re.search(r"page at (http://127\.0\.0\.1:\d+/)", f.read())
        if found:
            node.url = found.group(1)
            return node
        if time.monotonic() > deadline:
            raise LiveError(f"{node.name}: no page address within 10 s")
        time.sleep(0.05)


def open_page(browser, node):
    page = browser.page(node.name)
    page.open(node.url)
    page.wait("document.getElementById('link').textContent === 'online' && "
              "document.querySelectorAll('#contact-list > li').length > 0", 10, "an online page")
    width = page.eval("document.documentElement.scrollWidth")
    expect(width <= cdp.PHONE["width"], f"{node.name}'s page is {width} px wide at phone width")
    return page


def clean(*pages):
    for p in pages:
        expect(not p.problems, f"{p.name}'s page: {p.problems}")


def chat_entries(page, chat):
    page.click(f"[data-chat=\"{chat}\"] .actions button:last-child")
    return page.eval("[...document.querySelectorAll('#chat-list li')].map(li => "
                     "(li.classList.contains('card') ? 'card: ' : '') + li.textContent)")


def group_call():
    with World() as w, cdp.Browser() as b:
        alice, bob, carol = (web_node(w, u) for u in ("alice", "bob", "carol"))
        for n in (alice, bob, carol):
            n.logged_in()
        with MediaRoom((alice, bob, carol)):
            pa, pb, pc = (open_page(b, n) for n in (alice, bob, carol))
            pa.click(f"[data-chat=\"{GROUP}\"] .actions button.go")  # voice, Bob and Carol
            for p in (pb, pc):
                p.wait(RING_SHOWN, 10, "ringing")
            expect("from Alice" in pb.text("#ring-text"), f"Bob's ring: {pb.text('#ring-text')}")
            pb.screenshot(os.path.join(OUT, "page-ringing.png"))

            pb.click("#accept")
            pa.wait(f"{state_of(BOB)} === 'joined'", 10, "Bob joined on Alice's page")
            expect(pc.eval(RING_SHOWN), "Carol stopped ringing when Bob answered")
            expect(pa.eval(state_of(CAROL)) == "ringing", "Carol is not shown ringing")
            time.sleep(1.2)  # a running time that has moved
            pa.screenshot(os.path.join(OUT, "page-in-call.png"))

            # The callee's ring lasts 68 s, the caller's wait 88 s.
            pc.wait(f"!({RING_SHOWN})", 80, "Carol's ring to time out")
            pa.wait(f"{state_of(CAROL)} === 'no-answer'", 30, "no answer for Carol")
            expect(pa.text(f"[data-member=\"{CAROL}\"] .state") == "no answer", "the state's text")

            pa.click("#hangup")
            for p in (pa, pb):
                p.wait(CALL_ENDED, 10, "the call ended")
            for p in (pa, pb, pc):
                p.wait("[...document.querySelectorAll('[data-unread]')].some(e => e.textContent) || "
                       "document.querySelector('#chat-list li')", 10, "chat entries")
            for p in (pa, pb, pc):
                chat_shows(p, GROUP, ("card: Voice call by Alice", "Alice started a call",
                                      "The call ended"))
            pa.screenshot(os.path.join(OUT, "page-ended.png"))  # with the group's chat open
            expect(any("Missed call" in e for e in chat_entries(pc, GROUP)), "Carol's missed call")
            clean(pa, pb, pc)
            for p in (pa, pb, pc):
                p.close()


def other_device_answers():
    with World(("alice", "bob")) as w, cdp.Browser() as b:
        alice, pc, phone = web_node(w, "alice"), web_node(w, "bob"), web_node(w, "bob", 2)
        for n in (alice, pc, phone):
            n.logged_in()
        with MediaRoom((alice, pc, phone)):
            pages = [open_page(b, n) for n in (alice, pc, phone)]
            pa, ppc, pphone = pages
            pa.click(f"[data-chat=\"{BOB}\"] .actions button.go")  # one-to-one voice call
            for p in (ppc, pphone):
                p.wait(RING_SHOWN, 10, "ringing")
            # By keyboard: the ringing panel has put the focus on Accept.
            pphone.wait("document.activeElement.id === 'accept'", 2, "the focus on Accept")
            pphone.press("Enter", "Enter")
            ppc.wait(f"!({RING_SHOWN})", 2, "the PC to stop ringing")
            pa.wait(f"{state_of(BOB)} === 'joined'", 10, "Bob joined on Alice's page")
            pa.click("#hangup")
            pphone.wait(CALL_ENDED, 10, "the call ended on the phone")
            clean(*pages)
            for p in pages:
                p.close()


def hundred_calls():
    with World(("alice", "bob")) as w, cdp.Browser() as b:
        alice, bob = web_node(w, "alice"), web_node(w, "bob")
        alice.logged_in()
        bob.logged_in()
        with MediaRoom((alice, bob)):
            pa, pb = open_page(b, alice), open_page(b, bob)
            paint = pa.eval("(performance.getEntriesByName('first-contentful-paint')[0] || "
                            "performance.getEntriesByType('navigation')[0]).startTime")
            figures = {"page_bytes": pa.bytes, "first_render_ms": round(paint, 1)}

            def one_call(i):
                pa.click(f"[data-chat=\"{BOB}\"] .actions button.go")
                pb.wait(RING_SHOWN, 10, f"ring {i}")
                pb.click("#refuse")
                pa.wait(CALL_ENDED, 10, f"call {i} ended")
                pa.click("#dismiss")

            for i in range(WARM_UP):
                one_call(i)
            before = [p.memory() for p in (pa, pb)]
            start = time.monotonic()
            for i in range(100):
                one_call(WARM_UP + i)
            figures["seconds_per_call"] = round((time.monotonic() - start) / 100, 3)
            after = [p.memory() for p in (pa, pb)]
            for p, (n0, h0), (n1, h1) in zip((pa, pb), before, after):
                figures[p.name] = {"dom_nodes": [n0, n1], "heap_bytes": [h0, h1]}
            print("page figures:", json.dumps(figures))
            for p, (n0, h0), (n1, h1) in zip((pa, pb), before, after):
                expect(n1 <= n0 + 20, f"{p.name}: DOM nodes grew from {n0} to {n1}")
                expect(h1 <= h0 * 1.10 + 256 * 1024, f"{p.name}: heap grew from {h0} to {h1}")
            with open(os.path.join(OUT, "page-figures.json"), "w") as f:
                json.dump(figures, f, indent=1)
            clean(pa, pb)
            pa.close()
            pb.close()


def ask(node, method, path, body=None, headers=None):
    port = int(node.url.rsplit(":", 1)[1].strip("/"))
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        conn.request(method, path, body, headers or {})
        res = conn.getresponse()
        return res.status, res.getheader("Content-Security-Policy"), res.read()
    finally:
        conn.close()


def bad_requests():
    """What a page or another site may send: answered with an error, the
    node carries on."""
    with World(("alice", "bob")) as w:
        alice = web_node(w, "alice")
        alice.logged_in()
        json_type = {"Content-Type": "application/json"}
        status, policy, _ = ask(alice, "GET", "/")
        expect(status == 200 and policy.startswith("default-src 'self'"), f"the page: {status} {policy}")
        for (method, path, body, headers), want in [
                (("POST", "/api/request", '{"request":"call"}', {"Content-Type": "text/plain"}), 415),
                (("GET", "/api/directory", None, {"Host": "evil.example:80"}), 421),
                (("POST", "/api/request", "x" * 70000, json_type), 413),
                (("GET", "/../directory.json", None, None), 404),
                (("GET", "/nothing-here", None, None), 404)]:
            status, _, _ = ask(alice, method, path, body, headers)
            expect(status == want, f"{method} {path}: {status}, not {want}")
        status, _, text = ask(alice, "GET", "/api/directory")
        expect(status == 200 and b"secret" not in text, f"the directory shows {text}")
        mark = alice.mark()
        for line in ("not json", '{"request":"call","members":"all"}', "[1,2]", '{"quit":true}'):
            status, _, _ = ask(alice, "POST", "/api/request", line, json_type)
            expect(status == 202, f"{line}: {status}")
        alice.wait(kind="error", since=mark)
        expect(len(alice.select(kind="error", since=mark)) == 3, "not one error per bad line")
        at = alice.mark()
        alice.send(keepalive=True)  # still reading its standard input
        alice.wait(kind="request", cmd=24008, since=at)
        expect(alice.proc.poll() is None, "the node ended")


if __name__ == "__main__":
    quick = [other_device_answers, bad_requests]
    main(quick if os.environ.get("MRTC_BROWSER_CASES") == "quick" else
         [group_call, hundred_calls, *quick])
