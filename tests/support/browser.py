"""Headless Chromium driven through the DevTools protocol over a pipe.

Chromium reads commands from its descriptor 3 and writes answers and events
to its descriptor 4, each message JSON ended by a NUL byte, so no websocket
library is needed. Every wait is bounded; the browser is stopped by its PID.
"""
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time


class BrowserError(RuntimeError):
    pass


class Browser:
    def __init__(self, seconds=20):
        self.seconds = seconds  # the most any one wait may take
        self.profile = tempfile.mkdtemp(prefix="quorvane-browser-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def descriptors():
            # Moved out of the way first: either end may already be 3 or 4.
            reading, writing = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(reading, 3)
            os.dup2(writing, 4)

        binary = shutil.which("chromium") or shutil.which("chromium-browser")
        if binary is None:
            raise BrowserError("chromium is not installed (scripts/install-deps installs it)")
        self.process = subprocess.Popen(
            [binary, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--disable-features=HttpsUpgrades", "--remote-debugging-pipe",
             f"--user-data-dir={self.profile}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=descriptors,
            pass_fds=(3, 4), start_new_session=True)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._pending = b""
        self._next_id = 0
        self.events = []
        self.session = None

    def close(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait(timeout=30)
        for fd in (self._to_browser, self._from_browser):
            os.close(fd)
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _message(self, deadline):
        while b"\0" not in self._pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._from_browser], [], [], left)[0]:
                raise BrowserError("the browser did not answer in time")
            data = os.read(self._from_browser, 1 << 20)
            if not data:
                raise BrowserError("the browser went away")
            self._pending += data
        message, self._pending = self._pending.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, session=True, **params):
        """Sends a command (to the page's session unless told otherwise) and
        returns its result; events met meanwhile are kept in `events`."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params}
        if session and self.session:
            message["sessionId"] = self.session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_browser, data):]
        deadline = time.monotonic() + self.seconds
        while True:
            answer = self._message(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise BrowserError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self.events.append(answer)

    def event(self, method, seconds=None, matching=lambda params: True):
        """Waits for an event (one already met counts) and returns its params."""
        deadline = time.monotonic() + (seconds or self.seconds)
        while True:
            for index, event in enumerate(self.events):
                if event.get("method") == method and matching(event.get("params", {})):
                    del self.events[index]
                    return event.get("params", {})
            self.events.append(self._message(deadline))

    def open_page(self, width, height, mobile=False):
        target = self.send("Target.createTarget", session=False, url="about:blank")["targetId"]
        self.session = self.send("Target.attachToTarget", session=False, targetId=target,
                                 flatten=True)["sessionId"]
        for domain in ("Page", "Runtime", "DOM"):
            self.send(f"{domain}.enable")
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=mobile)

    def go(self, url):
        self.events = [e for e in self.events if e.get("method") != "Page.loadEventFired"]
        self.send("Page.navigate", url=url)
        self.event("Page.loadEventFired")

    def evaluate(self, expression):
        """The value of a script expression in the page; promises are awaited."""
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise BrowserError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def until(self, expression, seconds=None):
        """Waits until the expression is true in the page; its last value."""
        deadline = time.monotonic() + (seconds or self.seconds)
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        raise BrowserError(f"never true: {expression}")

    def set_files(self, selector, paths):
        root = self.send("DOM.getDocument")["root"]["nodeId"]
        node = self.send("DOM.querySelector", nodeId=root, selector=selector)["nodeId"]
        if not node:
            raise BrowserError(f"no element {selector}")
        self.send("DOM.setFileInputFiles", nodeId=node, files=[str(p) for p in paths])

    def screenshot(self, path):
        import base64
        data = self.send("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))
