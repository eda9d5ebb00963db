"""Runs the real client under its own Xvfb display, with a window manager, a
notification area and the demo service, and cleans all of it up again.

Every wait is bounded; every process started here is killed at the end.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

CLIENT = os.environ.get("VELMAR_CLIENT", "")
SOURCE_DIR = os.environ.get("VELMAR_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SERVICE_HOST = os.environ.get("VELMAR_SERVICE_HOST", "127.0.0.1:8765")
ARTIFACTS = os.environ.get("VELMAR_ARTIFACTS", os.path.join(tempfile.gettempdir(), "velmar-artifacts"))
DEMO_SERVICE = os.path.join(SOURCE_DIR, "tools", "demo_service", "demo_service.py")
DEVTOOLS = "http://127.0.0.1:9000"


def wait_for(predicate, timeout, step=0.1, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)


def until(action, predicate, timeout, what, attempts=3):
    """Does action until predicate holds. Under load the window manager or the
    toolkit now and then drops a synthetic key or click that comes right
    after a window was mapped or unmapped; a user would press again, and so
    does the test (never more than attempts times)."""
    for attempt in range(attempts):
        action()
        try:
            return wait_for(predicate, timeout, what=what)
        except AssertionError:
            if attempt == attempts - 1:
                raise


def http_get(url, timeout=2.0):
    with urllib.request.urlopen(url, timeout=timeout) as reply:
        return reply.status, reply.read()


def try_json(url):
    try:
        return json.loads(http_get(url)[1])
    except Exception:
        return None


def read_ini(path):
    """{section: {key: value}} with upper-case names, first match wins."""
    result, section = {}, None
    try:
        with open(path, "rb") as source:
            text = source.read().decode("utf-8", "replace")
    except OSError:
        return result
    for line in text.replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        stripped = line.strip()
        if stripped.startswith("["):
            section = result.setdefault(stripped[1:stripped.find("]")].strip().upper(), {})
        elif section is not None and "=" in line:
            key, value = line.split("=", 1)
            section.setdefault(key.strip().upper(), value.strip())
    return result


class Desktop:
    """Xvfb + openbox + trayer on a display of its own."""

    def __init__(self, workdir):
        self.procs = []
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            # No auto-repeat: a key whose release is late under load must
            # not press itself again into the next box.
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-r"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        env = dict(os.environ, DISPLAY=self.display)
        # Now and then (seen once in a full run) the window manager does not
        # come up; another start does.
        for attempt in range(3):
            openbox = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.procs.append(openbox)
            try:
                wait_for(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).stdout, 15,
                         what="the window manager")
                break
            except AssertionError:
                openbox.kill()
                if attempt == 2:
                    raise
        for _ in range(3):
            trayer = subprocess.Popen(
                ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "120",
                 "--height", "24", "--SetDockType", "true", "--transparent", "false"],
                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.procs.append(trayer)
            try:
                wait_for(lambda: trayer.poll() is not None
                         or self.run(["xdotool", "search", "--class", "trayer"]).returncode == 0,
                         15, what="the notification area")
            except AssertionError:
                continue
            if trayer.poll() is None:
                return
        raise RuntimeError("the notification area did not start")

    def geometry(self, window):
        """(left, top, width, height) of a window on the screen."""
        values = {}
        for line in self.run(["xwininfo", "-id", str(window)]).stdout.splitlines():
            name, _, value = line.strip().partition(":")
            values[name] = value.strip()
        return tuple(int(values[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def program_windows(self, tooltips=True):
        """The client's visible windows (ids as xdotool prints them)."""
        windows = set(self.xdotool("search", "--onlyvisible", "--class", "VelmarERP").stdout.split())
        if not tooltips:
            windows = {w for w in windows
                       if "TOOLTIP" not in self.run(["xprop", "-id", w, "_NET_WM_WINDOW_TYPE"]).stdout}
        return windows

    def click_tray_icon(self, button):
        icon = wait_for(lambda: tray_icon_center(self), 20, what="the tray icon")
        self.xdotool("mousemove", icon[0], icon[1], "click", str(button))

    def run(self, args, timeout=10):
        return subprocess.run(args, env=dict(os.environ, DISPLAY=self.display), capture_output=True,
                              text=True, timeout=timeout)

    def xdotool(self, *args):
        return self.run(["xdotool"] + [str(a) for a in args])

    def keys(self, window, *keys):
        """Presses keys as a keyboard would, in window once it has the focus
        (None: wherever the keyboard goes now, a menu that grabbed it).
        Never with xdotool's --window: it sends each event through the
        server only while the window has the focus, so when a key closes
        the window (Alt+F4, Return in a box) the releases that follow go out
        as synthetic events the server never counts. Alt then stays held
        for the rest of the session, and the window manager takes every
        click on the tray icon for its own Alt+click."""
        if window is not None:
            self.xdotool("windowactivate", "--sync", window)
        self.xdotool("key", *keys)

    def window_title(self, window):
        """The window's UTF-8 title (_NET_WM_NAME)."""
        out = subprocess.run(["xprop", "-id", str(window), "_NET_WM_NAME"], capture_output=True, timeout=10,
                             env=dict(os.environ, DISPLAY=self.display, LANG="C.UTF-8", LC_ALL="C.UTF-8")).stdout
        text = out.decode("utf-8", "replace").strip()
        if "=" not in text:
            return ""
        value = text.split("=", 1)[1].strip()
        return json.loads(value) if value.startswith('"') else value

    def map_state(self, window):
        out = self.run(["xwininfo", "-id", str(window)]).stdout
        for line in out.splitlines():
            if "Map State:" in line:
                return line.split(":", 1)[1].strip()
        return None

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, name)
        self.run(["import", "-window", "root", path], timeout=20)
        return path

    def close(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.kill()
            proc.wait(timeout=10)


class Service:
    """The demo service on the build's service host, with its request log."""

    def __init__(self, workdir, extra=()):
        host, _, port = SERVICE_HOST.partition(":")
        self.base = "http://" + SERVICE_HOST
        self.ready = os.path.join(workdir, "service.ready")
        self.errors = os.path.join(workdir, "service.err")
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen(
                ["python3", DEMO_SERVICE, "--host", host, "--port", port or "80", "--ready-file", self.ready,
                 "--log", os.path.join(workdir, "service.log")] + list(extra),
                stdout=subprocess.DEVNULL, stderr=errors)
        wait_for(lambda: os.path.exists(self.ready) or self.proc.poll() is not None, 15, what="the demo service")
        if self.proc.poll() is not None:
            with open(self.errors) as errors:
                raise RuntimeError("demo service failed: " + errors.read())

    def log(self, since=0):
        return json.loads(http_get(self.base + "/__log?since=%d" % since)[1])

    def control(self, path, payload):
        request = urllib.request.Request(self.base + path, data=json.dumps(payload).encode(), method="POST",
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=5) as reply:
            return reply.read()

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)


class ClientTestCase(unittest.TestCase):
    """A fresh program folder, runtime folder, home, desktop and service per test."""

    def setUp(self):
        if not CLIENT or not os.path.exists(CLIENT):
            self.fail("VELMAR_CLIENT does not name the built client")
        # One client at a time on this machine: they share the debugging port
        # and the service's port.
        import fcntl
        self.machine_lock = open(os.path.join(tempfile.gettempdir(), "velmar-e2e.lock"), "w")
        fcntl.flock(self.machine_lock, fcntl.LOCK_EX)
        self.addCleanup(self.machine_lock.close)
        self.work = tempfile.mkdtemp(prefix="velmar-e2e-")
        if not os.environ.get("VELMAR_KEEP_WORK"):
            self.addCleanup(shutil.rmtree, self.work, True)
        self.program = os.path.join(self.work, "program")
        self.runtime = os.path.join(self.work, "runtime")
        self.home = os.path.join(self.work, "home")
        for folder in (self.program, self.runtime, self.home):
            os.makedirs(folder, mode=0o700)
        self.executable = os.path.join(self.program, "VelmarERP")
        shutil.copy2(CLIENT, self.executable)
        self.clients = []
        self.desktop = Desktop(self.work)
        self.addCleanup(self.desktop.close)
        self.service = Service(self.work)
        self.addCleanup(self.service.close)
        self.addCleanup(self.kill_clients)

    @property
    def config_path(self):
        return os.path.join(self.program, "config.ini")

    def client_env(self, **extra):
        env = dict(os.environ, DISPLAY=self.desktop.display, XDG_RUNTIME_DIR=self.runtime, HOME=self.home,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        env.pop("QT_QPA_PLATFORM", None)
        env.update(extra)
        return env

    def start_client(self, **extra):
        with open(os.path.join(self.work, "client-%d.log" % len(self.clients)), "w") as log:
            proc = subprocess.Popen([self.executable], cwd=self.program, env=self.client_env(**extra),
                                    stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.clients.append(proc)
        return proc

    def start_session_bus(self):
        """A session bus of this test; returns the environment on it."""
        env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.runtime)
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             env=env, capture_output=True, text=True, timeout=10, check=True).stdout.split()
        address, pid = bus[0], int(bus[1])
        self.addCleanup(os.kill, pid, signal.SIGTERM)
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        return env

    def start_accessibility_bus(self):
        """The desktop's accessibility bus on a session bus of this test;
        returns the environment a client and a screen reader need."""
        env = self.start_session_bus()
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (launcher.terminate(), launcher.wait(timeout=10)))
        wait_for(lambda: "org.a11y.Bus" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
             "org.freedesktop.DBus.ListNames"], env=env, capture_output=True, text=True, timeout=10).stdout,
            15, what="the accessibility bus")
        return {"DBUS_SESSION_BUS_ADDRESS": env["DBUS_SESSION_BUS_ADDRESS"], "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def start_keyring(self):
        """A session bus of this test with the desktop's secret store on it
        (unlocked); returns the environment a client needs to reach it."""
        env = self.start_session_bus()
        address = env["DBUS_SESSION_BUS_ADDRESS"]
        keyring = subprocess.Popen(["gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"],
                                   env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        keyring.stdin.write(b"test-keyring-password")
        keyring.stdin.close()
        self.addCleanup(lambda: (keyring.terminate(), keyring.wait(timeout=10)))

        def owned():
            names = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                    "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"],
                                   env=env, capture_output=True, text=True, timeout=10).stdout
            return "org.freedesktop.secrets" in names
        wait_for(owned, 15, what="the secret store on the session bus")
        return {"DBUS_SESSION_BUS_ADDRESS": address}

    def client_pids(self):
        """Processes running this test's copy of the client (not the engine's helpers)."""
        pids = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if os.readlink("/proc/%s/exe" % entry) == self.executable:
                        pids.append(int(entry))
                except OSError:
                    pass
        return pids

    def kill_clients(self):
        for proc in self.clients:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except OSError:
                    pass
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        for pid in self.client_pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def wait_handle(self, previous=None, timeout=30, settled=True):
        """The main window's handle from config.ini. Settled: after the login
        tab has loaded, when the window has its final native handle (the
        toolkit may replace it when the first browser view shows)."""
        if settled:
            wait_for(lambda: any(p.get("url", "").startswith(self.service.base + "/?ComputerName=")
                                 and "登录" in p.get("title", "") for p in devtools_pages()),
                     timeout, what="the login tab")

        def handle():
            value = read_ini(self.config_path).get("SYSTEM", {}).get("HANDLE")
            if not (value and value != previous and value.isdigit() and int(value) > 0):
                return None
            return value if self.desktop.map_state(value) is not None else None
        return int(wait_for(handle, timeout, what="the window handle in config.ini"))

    def login_page(self):
        """DevTools access to the first tab once its login page has loaded."""
        self.wait_handle()
        page = open_devtools(lambda p: p["url"].startswith(self.service.base + "/?ComputerName="))
        self.addCleanup(page.close)
        wait_for(lambda: page.evaluate("document.readyState") == "complete", 20, what="the login page")
        return page

    def sign_in(self, page, name="测试员"):
        """Signs in through the login page's form as a user would (a click,
        the name typed, a click on the button); returns when the home page
        has loaded."""
        page.click("#name")
        page.call("Input.insertText", text=name)
        page.click("#login")

        def at_home():
            try:
                return page.evaluate("document.readyState === 'complete' && location.pathname") == "/home"
            except RuntimeError:
                return False  # the page is between documents
        wait_for(at_home, 20, what="the home page after signing in")

    def hide_window(self, handle):
        """Alt+F4 on the main window: closing hides it in the tray."""
        until(lambda: self.desktop.keys(handle, "alt+F4"), lambda: self.desktop.map_state(handle) == "IsUnMapped", 10, "the window to hide")

    def show_from_tray(self, handle):
        try:
            until(lambda: self.desktop.click_tray_icon(1),
                  lambda: self.desktop.map_state(handle) == "IsViewable", 10, "the tray to show the window")
        except AssertionError:
            self.desktop.screenshot("tray-click-failed.png")
            panels = self.desktop.xdotool("search", "--name", "^panel$").stdout.split()
            trees = [self.desktop.run(["xwininfo", "-id", p, "-tree"]).stdout for p in panels]
            keys = self.desktop.run(["xinput", "query-state", "Virtual core keyboard"]).stdout
            down = [line.strip() for line in keys.splitlines() if "=down" in line]
            raise AssertionError("the tray did not show the window; pointer %s; icon at %s; keys down %s; panels:\n%s\n"
                                 "client:\n%s"
                                 % (self.desktop.xdotool("getmouselocation").stdout.strip(),
                                    tray_icon_center(self.desktop), down, "\n".join(trees), self.client_log()[-3000:]))
        self.click_in_window(handle)

    def click_in_window(self, handle):
        """A click at the tab strip's empty end, as a user's next one would
        be. After the window comes back from the tray, the toolkit drops
        input until the pointer has been pressed in it: the notification
        area's pointer grab can keep a click's release from it, and then it
        takes the button for held down."""
        time.sleep(0.5)
        width = self.desktop.geometry(handle)[2]
        self.desktop.xdotool("mousemove", "--window", handle, width - 40, 12, "click", "1")

    def choose_tray_exit(self):
        """Opens the tray menu and clicks its last entry, 退出, with the mouse
        (keys may go to another of the program's windows)."""
        before = self.desktop.program_windows()
        menu = until(lambda: self.desktop.click_tray_icon(3),
                     lambda: next(iter(self.desktop.program_windows() - before), None), 5, "the tray menu")
        left, top, width, height = self.desktop.geometry(menu)
        time.sleep(0.5)
        self.desktop.xdotool("mousemove", left + width // 2, top + height - 12, "click", "1")
        return menu

    def client_log(self):
        """What the newest client printed so far."""
        with open(os.path.join(self.work, "client-%d.log" % (len(self.clients) - 1)), encoding="utf-8",
                  errors="replace") as log:
            return log.read()

    def wait_devtools(self, timeout=30):
        return wait_for(lambda: try_json(DEVTOOLS + "/json/version"), timeout, what="the DevTools endpoint")


def tray_icon_center(desktop):
    """Screen position of the first icon in the notification area, or None."""
    for panel in desktop.xdotool("search", "--name", "^panel$").stdout.split():
        tree = desktop.run(["xwininfo", "-id", panel, "-children"]).stdout
        for line in tree.splitlines():
            fields = line.split()
            if fields and fields[0].startswith("0x") and "+" in line:
                geometry = [f for f in fields if "x" in f and "+" in f and not f.startswith("0x")]
                if not geometry:
                    continue
                size, *_ = geometry[0].split("+")
                width, height = (int(v) for v in size.split("x"))
                absolute = fields[-1].lstrip("+").split("+")
                x, y = int(absolute[0]), int(absolute[1])
                return x + width // 2, y + height // 2
    return None


class DevToolsPage:
    """A minimal DevTools protocol client (WebSocket, text frames) for one page."""

    def __init__(self, websocket_url, timeout=10):
        import base64
        import socket as socket_module
        parsed = urllib.parse.urlparse(websocket_url)
        self.sock = socket_module.create_connection((parsed.hostname, parsed.port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = ("GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n"
                   % (parsed.path, parsed.hostname, parsed.port, key))
        self.sock.sendall(request.encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise RuntimeError("DevTools handshake failed")
            reply += chunk
        if b" 101 " not in reply.split(b"\r\n", 1)[0]:
            raise RuntimeError("DevTools refused: %r" % reply[:200])
        self.buffer = reply.split(b"\r\n\r\n", 1)[1]
        self.next_id = 0

    def _send(self, text):
        import struct
        payload = text.encode()
        mask = os.urandom(4)
        header = bytearray([0x81])
        if len(payload) < 126:
            header.append(0x80 | len(payload))
        elif len(payload) < 65536:
            header.append(0x80 | 126)
            header += struct.pack(">H", len(payload))
        else:
            header.append(0x80 | 127)
            header += struct.pack(">Q", len(payload))
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(bytes(header) + mask + masked)

    def _read_exact(self, count):
        while len(self.buffer) < count:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise RuntimeError("DevTools connection closed")
            self.buffer += chunk
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data

    def _receive(self):
        import struct
        first, second = self._read_exact(2)
        length = second & 0x7F
        if length == 126:
            length = struct.unpack(">H", self._read_exact(2))[0]
        elif length == 127:
            length = struct.unpack(">Q", self._read_exact(8))[0]
        data = self._read_exact(length)
        return first & 0x0F, data

    def call(self, method, **params):
        self.next_id += 1
        wanted = self.next_id
        self._send(json.dumps({"id": wanted, "method": method, "params": params}))
        while True:
            opcode, data = self._receive()
            if opcode == 8:
                raise RuntimeError("DevTools connection closed")
            if opcode != 1:
                continue
            message = json.loads(data)
            if message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError(message["error"])
                return message.get("result", {})

    def evaluate(self, expression, gesture=True):
        result = self.call("Runtime.evaluate", expression=expression, userGesture=gesture, returnByValue=True,
                           awaitPromise=True)
        return result.get("result", {}).get("value")

    def navigate(self, url, timeout=20):
        self.call("Page.navigate", url=url)
        wait_for(lambda: self.evaluate("document.readyState === 'complete' && location.href") == url, timeout,
                 what="the page at " + url)

    def click(self, selector, modifiers=0):
        """A real mouse click (with modifiers: 2 = Ctrl) at the element's centre."""
        # Measured before the page has its stylesheet, the element may still
        # move, and the click lands beside it; a user clicks what is shown.
        wait_for(lambda: self.evaluate("document.readyState") == "complete", 20, what="the page to load before a click")
        box = self.evaluate("(function(){var r=document.querySelector(%s).getBoundingClientRect();"
                            "return [r.left + r.width / 2, r.top + r.height / 2];})()" % json.dumps(selector))
        self.call("Input.dispatchMouseEvent", type="mousePressed", x=box[0], y=box[1], button="left",
                  clickCount=1, modifiers=modifiers)
        try:
            self.call("Input.dispatchMouseEvent", type="mouseReleased", x=box[0], y=box[1], button="left",
                      clickCount=1, modifiers=modifiers)
        except RuntimeError:
            pass  # the click may close the page before it answers

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


def devtools_pages():
    return [p for p in (try_json(DEVTOOLS + "/json/list") or []) if p.get("type") == "page"]


def open_devtools(predicate, timeout=30):
    """Connects to the first page that predicate accepts."""
    page = wait_for(lambda: next((p for p in devtools_pages() if predicate(p)), None), timeout,
                    what="a matching page")
    return DevToolsPage(page["webSocketDebuggerUrl"])
