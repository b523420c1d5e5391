"""Headless Chromium driven over the DevTools protocol through a pipe
(--remote-debugging-pipe: commands on fd 3, answers on fd 4, each message JSON
ended by a NUL byte), and a static file server for the page. Standard library only."""
import base64
import ctypes
import fcntl
import functools
import http.server
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

CHROMIUM = os.environ.get("WEB_CHROMIUM", "/usr/bin/chromium-headless-shell")


class Failure(Exception):
    pass


class Server:
    """python3 -m http.server's handler on 127.0.0.1 and a free port, in a thread;
    counted as started once a client has reached it."""

    def __init__(self, folder):
        handler = functools.partial(Quiet, directory=folder)
        self.httpd = QuietServer(("127.0.0.1", 0), handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        deadline = time.monotonic() + 30
        while True:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
                    s.sendall(b"HEAD /index.html HTTP/1.0\r\n\r\n")
                    if s.recv(12).startswith(b"HTTP/1."):
                        break
            except OSError:
                pass
            if time.monotonic() > deadline:
                raise Failure("the page's server did not answer")
            time.sleep(0.2)

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}/{path}"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that goes away in the middle of a file is no fault of the page.
        if not isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            super().handle_error(request, client_address)


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def high(fd):
    copy = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)
    os.close(fd)
    return copy


class Browser:
    """One headless Chromium with a fresh profile; close() ends it."""

    def __init__(self, width=800, height=600, extra=(), folder=None):
        self.profile = tempfile.mkdtemp(prefix="kestrion-chromium-", dir=folder)
        # Kept above fd 4, so that the child's dup2 onto 3 and 4 makes new descriptors.
        to_chrome_r, self.to_chrome, self.from_chrome, from_chrome_w = (
            high(fd) for fd in (*os.pipe(), *os.pipe()))

        def arrange_fds():
            os.dup2(to_chrome_r, 3)
            os.dup2(from_chrome_w, 4)
            os.setsid()
            # Should this process be killed (a test's time-out), the browser goes too.
            ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG

        arguments = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                     "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--disable-default-apps", "--mute-audio",
                     f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
                     "--remote-debugging-pipe", *extra, "about:blank"]
        self.log = open(os.path.join(self.profile, "chromium.log"), "wb")
        self.process = subprocess.Popen(arguments, preexec_fn=arrange_fds, pass_fds=(),
                                        stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT, close_fds=False)
        os.close(to_chrome_r)
        os.close(from_chrome_w)
        self.next_id = 0
        self.buffer = b""
        self.events = []

    def _read(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise Failure("Chromium did not answer in time")
            ready, _, _ = select.select([self.from_chrome], [], [], min(left, 1.0))
            if ready:
                chunk = os.read(self.from_chrome, 1 << 20)
                if not chunk:
                    raise Failure("Chromium closed its DevTools pipe (it ended?)")
                self.buffer += chunk
            elif self.process.poll() is not None:
                raise Failure(f"Chromium ended with {self.process.returncode}")
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=None, timeout=120):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self.to_chrome, data):]
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise Failure(f"{method}: {answer['error'].get('message')}")
                return answer.get("result", {})
            if "method" in answer:
                self.events.append(answer)

    def wait_event(self, method, test=lambda params: True, timeout=120):
        deadline = time.monotonic() + timeout
        while True:
            for event in self.events:
                if event["method"] == method and test(event.get("params", {})):
                    self.events.remove(event)
                    return event["params"]
            self.events.append(self._read(deadline))

    def close(self):
        try:
            if self.process.poll() is None:
                self.send("Browser.close", timeout=20)
        except (Failure, OSError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        # Helpers of the browser left in its process group go with it.
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        for fd in (self.to_chrome, self.from_chrome):
            try:
                os.close(fd)
            except OSError:
                pass
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


# Before the page's own scripts: every method of WebGL2RenderingContext counted
# (window.kestrionGL.calls), and the textures made and not deleted (.textures).
COUNT_WEBGL = """(() => {
  const counts = (window.kestrionGL = { calls: 0, draws: 0, textures: 0 });
  const proto = WebGL2RenderingContext.prototype;
  for (const name of Object.getOwnPropertyNames(proto)) {
    const original = Object.getOwnPropertyDescriptor(proto, name).value;
    if (typeof original !== 'function' || name === 'constructor') continue;
    const draw = name.startsWith('draw');
    proto[name] = function (...args) {
      counts.calls++;
      if (draw) counts.draws++;
      const result = original.apply(this, args);
      if (name === 'createTexture' && result) counts.textures++;
      else if (name === 'deleteTexture' && args[0]) counts.textures--;
      return result;
    };
  }
})();"""


class Page:
    """A tab of the browser, at `url`; `before` runs in it before the page's scripts."""

    def __init__(self, browser, url, before=None):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.send("Target.attachToTarget",
                                    {"targetId": target, "flatten": True})["sessionId"]
        self.send("Page.enable")
        self.send("Runtime.enable")
        if before:
            self.send("Page.addScriptToEvaluateOnNewDocument", {"source": before})
        self.send("Page.navigate", {"url": url})

    def send(self, method, params=None, timeout=120):
        return self.browser.send(method, params, self.session, timeout)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text")
            raise Failure(f"page script failed: {text}")
        return result["result"].get("value")

    def wait_for(self, expression, what, timeout=180):
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting for {what}")
            time.sleep(0.25)

    def screenshot(self, path):
        data = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as file:
            file.write(base64.b64decode(data))


def png_to_ppm(png, ppm):
    """A non-interlaced 8-bit RGB or RGBA PNG as a binary PPM (alpha dropped)."""
    data = open(png, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(f"{png} is not a PNG file")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise Failure(f"{png}: PNG kind depth {depth} colour {colour} is not read here")
    step = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if step == 3 else bytes(
            v for j in range(0, stride, 4) for v in line[j:j + 3]))
        previous = line
    with open(ppm, "wb") as file:
        file.write(b"P6\n%d %d\n255\n" % (width, height) + b"".join(rows))
    return width, height
