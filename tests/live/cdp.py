"""A small DevTools client: Debian's Chromium, headless, spoken to over
--remote-debugging-pipe (NUL-separated JSON on fds 3 and 4), so that no
WebSocket client is needed. Every call waits a bounded time; the browser is a
child of the test (harness._spawn) and ends with it."""

import base64
import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time

import harness

CHROMIUM = os.environ.get("MRTC_CHROMIUM", "/usr/bin/chromium")
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-extensions", "--remote-debugging-pipe"]
PHONE = {"width": 360, "height": 740, "deviceScaleFactor": 1, "mobile": True}


class CdpError(AssertionError):
    pass


def _high(fd):
    """A copy of fd numbered 10 or above, so that moving it to 3 or 4 in the
    child overwrites nothing it still needs."""
    return fcntl.fcntl(fd, fcntl.F_DUPFD, 10)


class Browser:
    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="mrtc-chromium-")
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()
        child_in, child_out = _high(to_child_r), _high(from_child_w)
        os.close(to_child_r)
        os.close(from_child_w)

        # bash (dash reads one-digit descriptors only) moves the two ends to
        # the numbers the browser reads.
        try:
            self.proc = harness._spawn(
                ["/bin/bash", "-c",
                 f'exec "$0" "$@" 3<&{child_in} 4>&{child_out} {child_in}<&- {child_out}>&-',
                 CHROMIUM, *FLAGS, f"--user-data-dir={self.profile}", "about:blank"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(child_in, child_out))
        except OSError:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise
        finally:
            os.close(child_in)
            os.close(child_out)
        self._lock = threading.Lock()
        self._cond = threading.Condition()
        self._next = 0
        self._answers = {}
        self._listeners = []  # (sessionId, callback)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        buf = b""
        while True:
            try:
                chunk = os.read(self._from_child, 1 << 16)
            except OSError:
                chunk = b""
            if not chunk:
                with self._cond:
                    self._answers[None] = True  # the browser went away
                    self._cond.notify_all()
                return
            buf += chunk
            while b"\0" in buf:
                raw, buf = buf.split(b"\0", 1)
                msg = json.loads(raw)
                if "id" in msg:
                    with self._cond:
                        self._answers[msg["id"]] = msg
                        self._cond.notify_all()
                else:
                    for session, callback in list(self._listeners):
                        if session == msg.get("sessionId"):
                            callback(msg["method"], msg.get("params", {}))

    def call(self, method, params=None, session=None, timeout=20):
        with self._lock:
            self._next += 1
            ident = self._next
            msg = {"id": ident, "method": method, "params": params or {}}
            if session:
                msg["sessionId"] = session
            os.write(self._to_child, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + timeout
        with self._cond:
            while ident not in self._answers:
                if None in self._answers:
                    raise CdpError(f"the browser ended during {method}")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise CdpError(f"{method}: no answer within {timeout} s")
                self._cond.wait(left)
            answer = self._answers.pop(ident)
        if "error" in answer:
            raise CdpError(f"{method}: {answer['error']}")
        return answer.get("result", {})

    def page(self, name):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        return Page(self, name, target, session)

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except CdpError:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(timeout=5)
        for fd in (self._to_child, self._from_child):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


class Page:
    """One tab at phone size; collects console errors, page errors and
    failed requests as they happen."""

    def __init__(self, browser, name, target, session):
        self.browser, self.name, self.target, self.session = browser, name, target, session
        self.problems = []
        self.bytes = 0
        self.closing = False
        browser._listeners.append((session, self._on))
        for domain in ("Runtime", "Log", "Network", "Page"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride", PHONE)

    def _on(self, method, p):
        if method == "Runtime.consoleAPICalled" and p.get("type") in ("error", "assert"):
            self.problems.append(f"console {p['type']}: {p.get('args')}")
        elif method == "Runtime.exceptionThrown":
            self.problems.append(f"exception: {p['exceptionDetails'].get('text')} "
                                 f"{p['exceptionDetails'].get('exception', {}).get('description')}")
        elif method == "Log.entryAdded" and p["entry"].get("level") == "error":
            self.problems.append(f"log: {p['entry'].get('text')} {p['entry'].get('url', '')}")
        elif method == "Network.loadingFailed" and not self.closing:
            self.problems.append(f"request failed: {p.get('errorText')} ({p.get('type')})")
        elif method == "Network.responseReceived" and p["response"]["status"] >= 400:
            self.problems.append(f"HTTP {p['response']['status']}: {p['response']['url']}")
        elif method == "Network.loadingFinished":
            self.bytes += int(p.get("encodedDataLength", 0))

    def call(self, method, params=None, timeout=20):
        return self.browser.call(method, params, self.session, timeout)

    def open(self, url, timeout=20):
        self.call("Page.navigate", {"url": url})
        self.wait(f"document.readyState === 'complete'", timeout, "the page to load")

    def eval(self, expression):
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                           "awaitPromise": True})
        if "exceptionDetails" in r:
            raise CdpError(f"{self.name}: {expression}: {r['exceptionDetails']}")
        return r["result"].get("value")

    def wait(self, expression, timeout=10, what=None):
        deadline = time.monotonic() + timeout
        while True:
            value = self.eval(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise CdpError(f"{self.name}: no {what or expression} within {timeout} s")
            time.sleep(0.05)

    def click(self, selector):
        """A real mouse click in the middle of the element."""
        box = self.eval(f"""(() => {{ const e = document.querySelector({json.dumps(selector)});
            if (!e || e.disabled || e.offsetParent === null) return null;
            e.scrollIntoView({{block: 'center'}}); const r = e.getBoundingClientRect();
            return [r.x + r.width / 2, r.y + r.height / 2]; }})()""")
        if not box:
            raise CdpError(f"{self.name}: nothing to click at {selector}")
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": box[0], "y": box[1],
                                                   "button": "left", "clickCount": 1})

    def press(self, key, code):
        """A key pressed and released where the focus is (the tab in front)."""
        self.call("Page.bringToFront")
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code,
                                                 "windowsVirtualKeyCode": 13 if key == "Enter" else 0,
                                                 **({"text": "\r"} if kind == "keyDown" and key == "Enter" else {})})

    def text(self, selector):
        return self.eval(f"(document.querySelector({json.dumps(selector)}) || {{}}).textContent || ''")

    def screenshot(self, path):
        # A tab in the background is not painted.
        self.call("Page.bringToFront")
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def memory(self):
        """DOM nodes and used JS heap after a full collection."""
        self.call("HeapProfiler.collectGarbage")
        nodes = self.call("Memory.getDOMCounters")["nodes"]
        heap = self.call("Runtime.getHeapUsage")["usedSize"]
        return nodes, heap

    def close(self):
        self.closing = True
        try:
            self.browser.call("Target.closeTarget", {"targetId": self.target}, timeout=5)
        except CdpError:
            pass
