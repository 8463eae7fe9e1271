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
        self._downloads = None

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
        self.resize(width, height, mobile)

    def resize(self, width, height, mobile=False):
        """The page as a screen of that size shows it; a phone's (`mobile`)
        honours the page's viewport line."""
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=mobile)

    def go(self, url):
        self.follow(lambda: self.send("Page.navigate", url=url))

    def follow(self, action):
        """Runs `action` (a callable, or a script expression such as a click
        on a link) and waits for the page it leads to to load."""
        self.events = [e for e in self.events if e.get("method") != "Page.loadEventFired"]
        if callable(action):
            action()
        else:
            self.evaluate(action)
        self.event("Page.loadEventFired")

    def soon(self, expression):
        """Runs the expression once this call has returned: what it opens
        (a dialog, say) cannot then hold up the answer."""
        self.evaluate(f"setTimeout(() => {{ {expression}; }}, 0), true")

    def answer_dialog(self, accept=True, text=None):
        """Waits for an alert, confirm or prompt and answers it; its params
        (type, message, defaultPrompt)."""
        dialog = self.event("Page.javascriptDialogOpening")
        answer = {"accept": accept}
        if text is not None:
            answer["promptText"] = text
        self.send("Page.handleJavaScriptDialog", **answer)
        return dialog

    def save_downloads(self, folder):
        """Downloads go to `folder`, each named by its id; see download()."""
        self.send("Browser.setDownloadBehavior", session=False, behavior="allowAndName",
                  downloadPath=str(folder), eventsEnabled=True)
        self._downloads = folder

    def download(self):
        """Waits for the next download to end; its suggested name and the
        path it was saved at."""
        began = self.event("Browser.downloadWillBegin")
        ended = self.event("Browser.downloadProgress",
                           matching=lambda p: p["guid"] == began["guid"] and
                           p["state"] in ("completed", "canceled"))
        if ended["state"] != "completed":
            raise BrowserError(f"the download of {began['suggestedFilename']} was cancelled")
        return began["suggestedFilename"], os.path.join(self._downloads, began["guid"])

    def prefer_dark(self, dark):
        self.send("Emulation.setEmulatedMedia", features=[
            {"name": "prefers-color-scheme", "value": "dark" if dark else "light"}])

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

    def click(self, selector):
        """A real mouse click in the middle of the element, scrolled into
        view first: it lands on whatever is drawn there, as a person's would.
        (A click that opens a dialog holds up the answer: use soon().)"""
        x, y = self.evaluate(f"""(() => {{
            const element = document.querySelector({json.dumps(selector)});
            if (!element) return [-1, -1];
            element.scrollIntoView({{block: 'center'}});
            const box = element.getBoundingClientRect();
            return box.width && box.height ? [box.x + box.width / 2, box.y + box.height / 2]
                                           : [-1, -1];
        }})()""")
        if x < 0:
            raise BrowserError(f"nothing shown to click at {selector}")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                      clickCount=1)

    def type_text(self, text):
        """Types into the focused element, as a keyboard's input would."""
        self.send("Input.insertText", text=text)

    def press_enter(self):
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", type=kind, key="Enter", code="Enter",
                      windowsVirtualKeyCode=13, text="\r" if kind == "keyDown" else "")

    def allow_scripts(self, allowed):
        self.send("Emulation.setScriptExecutionDisabled", value=not allowed)

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
