"""A private desktop session and the real Lumio program running inside it.

Everything here observes the program from outside: X11 windows through the
usual command-line tools, the page through the Chrome DevTools protocol, files
the program leaves behind. Every process started here carries a per-session
tag in its environment, so teardown can find and end all of them, engine
helpers and orphans included, even when a test fails half-way.
"""

import json
import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import urllib.request
import uuid
import zipfile

import websocket

HERE = os.path.dirname(os.path.abspath(__file__))
PACK_DIR = os.path.join(HERE, "pack")
STAGE = os.environ.get("LUMIO_STAGE") or os.path.join(os.path.dirname(os.path.dirname(HERE)), "build", "stage")
APP_REL = os.path.join("bin", "lumio-app")
HELPER_REL = os.path.join("libexec", "lumio", "lumio-helper")
PACK_REL = os.path.join("share", "lumio", "lumio.pak")
ICONS_REL = os.path.join("share", "icons")
TAG_VAR = "LUMIO_E2E_TAG"
SCREEN_W, SCREEN_H = 1280, 1024
APP_ORIGIN = "app://lumio/"

# Entries generated at pack time rather than committed: large enough to cross
# any single read buffer, fixed seed so every run serves the same bytes.
BIG_ENTRY = "big.bin"


def big_entry_bytes():
    rng = random.Random(20240611)
    return bytes(rng.getrandbits(8) for _ in range(768 * 1024))


def page_background():
    """(r, g, b) of the test page's background, as style.css sets it."""
    with open(os.path.join(PACK_DIR, "style.css")) as f:
        hexcolour = re.search(r"background:\s*#([0-9a-fA-F]{6})", f.read()).group(1)
    return tuple(int(hexcolour[i:i + 2], 16) for i in (0, 2, 4))


class SessionError(AssertionError):
    pass


def wait_for(probe, timeout, interval=0.1, what="condition"):
    """Polls probe() until it returns something truthy; returns that value.

    |what| names the awaited condition; a callable is asked only on timeout, so
    the message can show the state at that moment.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            if callable(what):
                what = what()
            raise SessionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def holds_for(probe, duration, interval=0.2, what="condition"):
    """Checks probe() stays truthy for |duration|; for asserting that nothing happens."""
    deadline = time.monotonic() + duration
    while True:
        if not probe():
            raise SessionError("%s stopped holding" % what)
        if time.monotonic() >= deadline:
            return
        time.sleep(interval)


_ENGINE_VERSION = []


def engine_version():
    """(major, minor, patch) of the Qt WebEngine that the staged lumio-app runs with."""
    if not _ENGINE_VERSION:
        out = subprocess.run([os.path.join(STAGE, APP_REL), "--version"], check=True,
                             capture_output=True, text=True, timeout=60).stdout
        found = re.search(r"^Qt WebEngine (\d+)\.(\d+)\.(\d+)$", out, re.M)
        if not found:
            raise SessionError("lumio-app --version names no engine:\n" + out)
        _ENGINE_VERSION.append(tuple(int(n) for n in found.groups()))
    return _ENGINE_VERSION[0]


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _read_fd_line(fd, timeout, what):
    deadline = time.monotonic() + timeout
    data = b""
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            raise SessionError("no %s within %.0f s" % (what, timeout))
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        chunk = os.read(fd, 256)
        if not chunk:
            break
        data += chunk
    line = data.decode().strip()
    if not line:
        raise SessionError("empty %s" % what)
    return line


def tagged_pids(tag):
    """Live processes whose environment carries |tag|."""
    needle = ("%s=%s" % (TAG_VAR, tag)).encode()
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % name, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if needle in env:
            found.append(int(name))
    return found


def _signal(pid, sig):
    try:
        os.kill(pid, sig)
    except ProcessLookupError:
        pass


def kill_tagged(tag, grace=3.0):
    pids = tagged_pids(tag)
    for pid in pids:
        _signal(pid, signal.SIGTERM)
    deadline = time.monotonic() + grace
    while pids and time.monotonic() < deadline:
        time.sleep(0.05)
        pids = tagged_pids(tag)
    for pid in pids:
        _signal(pid, signal.SIGKILL)
    if pids:
        time.sleep(0.2)
    return tagged_pids(tag)


def _stop_popen(proc, sig=signal.SIGTERM, grace=5.0):
    if proc is None or proc.poll() is not None:
        return
    _signal(proc.pid, sig)
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        _signal(proc.pid, signal.SIGKILL)
        proc.wait(5)


class UserDirs:
    """A fresh home and XDG base directories; reusable across program runs."""

    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, "home")
        self.config = os.path.join(root, "config")
        self.data = os.path.join(root, "data")
        self.cache = os.path.join(root, "cache")
        self.runtime = os.path.join(root, "run")
        for d in (self.home, self.config, self.data, self.cache):
            os.makedirs(d, exist_ok=True)
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        os.chmod(self.runtime, 0o700)

    @property
    def settings_file(self):
        return os.path.join(self.config, "Lumio", "Lumio.conf")

    def env(self):
        return {
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config,
            "XDG_DATA_HOME": self.data,
            "XDG_CACHE_HOME": self.cache,
            "XDG_RUNTIME_DIR": self.runtime,
        }


class Desktop:
    """Xvfb + private session bus + openbox, torn down as one unit."""

    def __init__(self, root, openbox_rc=None):
        self.root = root
        self.tag = uuid.uuid4().hex
        self.logs = os.path.join(root, "logs")
        os.makedirs(self.logs, exist_ok=True)
        self.user = UserDirs(os.path.join(root, "desktop-user"))
        if openbox_rc is not None:
            # Openbox reads the user's rc.xml instead of the system one.
            os.makedirs(os.path.join(self.user.config, "openbox"))
            with open(os.path.join(self.user.config, "openbox", "rc.xml"), "w") as f:
                f.write(openbox_rc)
        self.display = None
        self.bus_address = None
        self._procs = []
        self._extra = []

    def _log(self, name):
        return open(os.path.join(self.logs, name + ".log"), "ab")

    def base_env(self):
        env = {
            "PATH": os.environ.get("PATH", "/usr/local/bin:/usr/bin:/bin"),
            "USER": os.environ.get("USER", "root"),
            "LOGNAME": os.environ.get("LOGNAME", "root"),
            "SHELL": "/bin/sh",
            "LANG": "C.UTF-8",
            TAG_VAR: self.tag,
        }
        if os.environ.get("LUMIO_DEBUG_EVENTS"):
            env["LUMIO_DEBUG_EVENTS"] = "1"
        env.update(self.user.env())
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def _spawn(self, argv, name, env=None, pass_fds=()):
        with self._log(name) as log:
            proc = subprocess.Popen(
                argv,
                env=env or self.base_env(),
                stdin=subprocess.DEVNULL,
                stdout=log,
                stderr=subprocess.STDOUT,
                pass_fds=pass_fds,
                start_new_session=True,
                cwd=self.root,
            )
        self._procs.append(proc)
        return proc

    def start(self):
        try:
            self._start_x()
            self._start_bus()
            self._start_wm()
        except BaseException:
            self.stop()
            raise
        return self

    def _start_x(self):
        r, w = os.pipe()
        try:
            self.xvfb = self._spawn(
                ["Xvfb", "-displayfd", str(w), "-screen", "0",
                 "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"],
                "xvfb", pass_fds=(w,))
            os.close(w)
            w = None
            number = _read_fd_line(r, 20, "display number from Xvfb")
        finally:
            os.close(r)
            if w is not None:
                os.close(w)
        self.display = ":" + number
        wait_for(lambda: self.x(["xdpyinfo"], check=False).returncode == 0, 10,
                 what="the X server to accept clients")

    def _start_bus(self):
        r, w = os.pipe()
        sock = os.path.join(self.root, "bus")
        try:
            self.bus = self._spawn(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                 "--address=unix:path=" + sock, "--print-address=%d" % w],
                "dbus", pass_fds=(w,))
            os.close(w)
            w = None
            self.bus_address = _read_fd_line(r, 10, "session bus address")
        finally:
            os.close(r)
            if w is not None:
                os.close(w)

    def _start_wm(self):
        self.wm = self._spawn(["openbox", "--sm-disable"], "openbox")

        def wm_ready():
            if self.wm.poll() is not None:
                raise SessionError("openbox exited with %s" % self.wm.returncode)
            out = self.x(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                         check=False).stdout
            return "window id" in out
        wait_for(wm_ready, 15, what="openbox to manage the screen")

    def x(self, argv, check=True, timeout=10):
        """Runs an X11 client tool against this display."""
        return subprocess.run(argv, env=self.base_env(), stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout,
                              check=check)

    def spawn_client(self, argv, name):
        """Starts another X client (e.g. a window to take the focus)."""
        proc = self._spawn(argv, name)
        self._extra.append(proc)
        return proc

    def screenshot(self, path):
        self.x(["import", "-window", "root", path], timeout=30)
        return path

    def pixel(self, png, x, y):
        """(r, g, b) of one pixel of a screenshot, 8 bits each."""
        out = subprocess.run(
            ["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
            capture_output=True, text=True, check=True, timeout=30).stdout
        m = re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1])
        return tuple(int(v) for v in m.groups())

    # -- windows --

    def windows_of(self, pid, visible_only=True):
        argv = ["xdotool", "search"]
        if visible_only:
            argv.append("--onlyvisible")
        argv += ["--pid", str(pid)]
        out = self.x(argv, check=False).stdout
        return [int(w) for w in out.split()]

    def window_by_name(self, pattern):
        out = self.x(["xdotool", "search", "--onlyvisible", "--name", pattern],
                     check=False).stdout
        return [int(w) for w in out.split()]

    def geometry(self, wid):
        """Client area: (x, y, width, height) in root coordinates."""
        out = self.x(["xwininfo", "-id", str(wid)]).stdout
        fields = {}
        for key, label in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                           ("w", "Width"), ("h", "Height")):
            m = re.search(r"^\s*%s:\s*(-?\d+)" % re.escape(label), out, re.M)
            fields[key] = int(m.group(1))
        return fields["x"], fields["y"], fields["w"], fields["h"]

    def frame_extents(self, wid):
        """(left, right, top, bottom) the window manager's frame adds, or None."""
        out = self.x(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"]).stdout
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        return tuple(int(v) for v in m.groups()) if m else None

    def frame_geometry(self, wid):
        """The window with its frame: (x, y, width, height) in root coordinates."""
        x, y, w, h = self.geometry(wid)
        left, right, top, bottom = self.frame_extents(wid) or (0, 0, 0, 0)
        return x - left, y - top, w + left + right, h + top + bottom

    def title(self, wid):
        return self.x(["xdotool", "getwindowname", str(wid)]).stdout.rstrip("\n")

    def wm_hints(self, wid):
        return self.x(["xprop", "-id", str(wid), "WM_NORMAL_HINTS"]).stdout

    def active_window(self):
        out = self.x(["xprop", "-root", "_NET_ACTIVE_WINDOW"]).stdout
        m = re.search(r"window id # (0x[0-9a-f]+)", out)
        return int(m.group(1), 16) if m else 0

    def close_window(self, wid):
        self.x(["wmctrl", "-i", "-c", "0x%x" % wid])

    def activate_window(self, wid):
        self.x(["wmctrl", "-i", "-a", "0x%x" % wid])

    def minimize_window(self, wid):
        self.x(["xdotool", "windowminimize", str(wid)])

    def resize_window(self, wid, w, h):
        self.x(["xdotool", "windowsize", str(wid), str(w), str(h)])

    def move_window(self, wid, x, y):
        self.x(["xdotool", "windowmove", str(wid), str(x), str(y)])

    def stop(self):
        for proc in self._extra:
            _stop_popen(proc)
        for proc in reversed(self._procs):
            _stop_popen(proc)
        left = kill_tagged(self.tag)
        for proc in self._procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait(5)
        if left:
            raise SessionError("processes survived teardown: %s" % left)


def build_pack(dest, source_dir=PACK_DIR, extra=None):
    """Zips |source_dir| (plus generated entries) into |dest|."""
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    with zipfile.ZipFile(dest, "w", zipfile.ZIP_DEFLATED) as z:
        for dirpath, dirnames, filenames in os.walk(source_dir):
            dirnames.sort()
            for name in sorted(filenames):
                full = os.path.join(dirpath, name)
                z.write(full, os.path.relpath(full, source_dir))
        z.writestr(BIG_ENTRY, big_entry_bytes())
        for name, content in (extra or {}).items():
            z.writestr(name, content)
    return dest


class Lumio:
    """One run of the real program, installed into a private prefix.

    pack: True for the test pack, None for no pack at all, bytes for a pack file
    with exactly that content. prefix: run the programs installed there as they
    are (pack is then ignored) instead of copies of the stage. stage and rels: a
    staged tree of another application and its (program, helper, pack) paths in it.
    """

    def __init__(self, desktop, root, user=None, pack=True, args=(), lang="C.UTF-8",
                 env=None, prefix=None, stage=None, rels=None):
        self.desktop = desktop
        self.stage = stage or STAGE
        self.app_rel, self.helper_rel, self.pack_rel = rels or (APP_REL, HELPER_REL, PACK_REL)
        self.root = root
        self.user = user or UserDirs(os.path.join(root, "user"))
        self.args = list(args)
        self.lang = lang
        self.extra_env = dict(env or {})
        self.prefix = prefix or os.path.join(root, "prefix")
        self.port = None
        self.proc = None
        self.devtools = None
        self.log_path = os.path.join(root, "lumio.log")
        if prefix is None:
            self._install(pack)

    def _install(self, pack):
        for rel in (self.app_rel, self.helper_rel):
            src = os.path.join(self.stage, rel)
            dst = os.path.join(self.prefix, rel)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copy2(src, dst)
        # The program's icons, which the window, the tray icon and notifications use.
        icons = os.path.join(self.stage, ICONS_REL)
        if os.path.isdir(icons):
            shutil.copytree(icons, os.path.join(self.prefix, ICONS_REL))
        pak = os.path.join(self.prefix, self.pack_rel)
        if pack is True:
            build_pack(pak)
        elif isinstance(pack, (bytes, bytearray)):
            os.makedirs(os.path.dirname(pak), exist_ok=True)
            with open(pak, "wb") as f:
                f.write(pack)

    @property
    def app_path(self):
        return os.path.join(self.prefix, self.app_rel)

    @property
    def pid(self):
        return self.proc.pid

    def env(self):
        env = self.desktop.base_env()
        env.update(self.user.env())
        env["LANG"] = self.lang
        if os.geteuid() == 0:
            env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        env["QTWEBENGINE_REMOTE_DEBUGGING"] = "127.0.0.1:%d" % self.port
        for name, value in self.extra_env.items():
            if value is None:
                env.pop(name, None)  # e.g. no session bus for this run
            else:
                env[name] = value
        return env

    def start(self):
        self.port = free_port()
        with open(self.log_path, "ab") as log:
            self.proc = subprocess.Popen(
                [self.app_path] + self.args, env=self.env(), cwd=self.user.home,
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                start_new_session=True)
        return self

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def log_tail(self, n=40):
        try:
            with open(self.log_path, "rb") as f:
                lines = f.read().decode("utf-8", "replace").splitlines()
        except OSError:
            return ""
        return "\n".join(lines[-n:])

    def expect_alive(self):
        if not self.alive():
            raise SessionError("lumio-app exited with status %s; log tail:\n%s"
                               % (self.proc.returncode, self.log_tail()))

    def connect(self, timeout=30, origin=APP_ORIGIN):
        """DevTools connection to the app page (a page under |origin|); waits for the
        program to offer it."""
        def probe():
            self.expect_alive()
            try:
                with urllib.request.urlopen(
                        "http://127.0.0.1:%d/json/list" % self.port, timeout=2) as r:
                    targets = json.load(r)
            except (OSError, ValueError):
                return None
            for t in targets:
                if (t.get("type") == "page" and t.get("url", "").startswith(origin)
                        and t.get("webSocketDebuggerUrl")):
                    return t
            return None
        target = wait_for(probe, timeout, interval=0.25,
                          what="a DevTools page target at " + origin)
        self.devtools = DevTools(target["webSocketDebuggerUrl"])
        # Newer engines list the target under the address it is loading while its
        # document is still the initial empty one, which has none of the page.
        self.devtools.wait_js("document.URL !== 'about:blank'", timeout,
                              what="the page's own document")
        return self.devtools

    def wait_page_ready(self, timeout=20):
        """Waits until the start page has loaded and the bridge function exists."""
        if self.devtools is None:
            self.connect()
        self.devtools.wait_js(
            "document.readyState === 'complete' && typeof window.cefQuery === 'function'"
            " && Array.isArray(window.__events)", timeout, what="the start page to load")
        return self.devtools

    # -- the page --

    def query(self, request, persistent=False, timeout_ms=8000):
        """One cefQuery from the main frame; {success}|{failure:[code,msg]}|{timeout}."""
        return self.devtools.evaluate(query_expression(request, persistent, timeout_ms),
                                      timeout=timeout_ms / 1000 + 10)

    def handshake(self):
        return self.query(json.dumps({"command": "OrbitAppInitialized"}))

    def events(self, name=None):
        evs = self.devtools.evaluate("window.__events")
        return [e for e in evs if name is None or e["name"] == name]

    def wait_event(self, name, predicate=lambda e: True, timeout=10, after=0):
        """Waits for an event |name| (index >= after) that satisfies predicate."""
        def probe():
            evs = self.devtools.evaluate("window.__events")
            for e in evs[after:]:
                if e["name"] == name and predicate(e):
                    return e
            return None
        try:
            return wait_for(probe, timeout, interval=0.1, what="page event " + name)
        except SessionError as e:
            raise SessionError("%s; events since #%d: %r"
                               % (e, after, self.devtools.evaluate("window.__events")[after:]))

    def states(self):
        return [e["payload"].get("state") for e in self.events("OrbitMainBrowserStateChange")
                if isinstance(e["payload"], dict)]

    def wait_state(self, state, timeout=10):
        return wait_for(lambda: (self.states() or [None])[-1] == state, timeout,
                        what=lambda: "main window state %r (seen %r)" % (state, self.states()))

    def assert_typing_reaches_page(self, text="lumio", timeout=10):
        """Types on the X keyboard; the focused page must receive every key."""
        before = self.devtools.evaluate("window.__keys")
        self.desktop.x(["xdotool", "type", "--delay", "30", text])
        wait_for(lambda: self.devtools.evaluate("window.__keys") == before + text, timeout,
                 what=lambda: "typed %r to reach the page (it has %r)"
                 % (text, self.devtools.evaluate("window.__keys")))

    def wait_page_visible(self, timeout=10):
        self.devtools.wait_js("document.visibilityState === 'visible'", timeout,
                              what=lambda: "document.visibilityState to be 'visible' (is %r)"
                              % self.devtools.evaluate("document.visibilityState"))

    # -- windows --

    def windows(self, visible_only=True):
        return self.desktop.windows_of(self.pid, visible_only)

    def main_window(self, timeout=15):
        """The program's visible top-level window (the largest, if several)."""
        def probe():
            self.expect_alive()
            wins = self.windows()
            if not wins:
                return None
            return max(wins, key=lambda w: self.desktop.geometry(w)[2] * self.desktop.geometry(w)[3])
        return wait_for(probe, timeout, what="a visible window of lumio-app")

    def wait_no_visible_window(self, timeout=10):
        return wait_for(lambda: not self.windows(), timeout,
                        what="lumio-app's windows to be hidden")

    # -- shutdown --

    def terminate(self, timeout=15):
        """SIGTERM as a session manager would send; returns the exit status.

        The program quits after its grace period, about 5 s."""
        self.close_devtools()
        _signal(self.proc.pid, signal.SIGTERM)
        return self.wait_exit(timeout)

    def quit_now(self, timeout=15):
        """The page asks to quit at once ("OrbitAppQuitNow"); returns the exit status."""
        self.devtools.evaluate("window.cefQuery({request: %s}); true"
                               % json.dumps(json.dumps({"command": "OrbitAppQuitNow"})))
        self.close_devtools()
        return self.wait_exit(timeout)

    def wait_exit(self, timeout):
        """The exit status, or None when still running after |timeout|."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def close_devtools(self):
        if self.devtools is not None:
            self.devtools.close()
            self.devtools = None

    def stop(self):
        """Ends the run at once: an orderly quit would wait out its grace period."""
        self.close_devtools()
        if self.proc is not None and self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.kill()
            self.proc.wait(5)

    def descendants_alive(self):
        """Tagged processes other than the desktop's own (i.e. engine helpers)."""
        own = {p.pid for p in self.desktop._procs + self.desktop._extra}
        return [p for p in tagged_pids(self.desktop.tag) if p not in own]


class JSError(AssertionError):
    pass


class DevTools:
    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=30, suppress_origin=True)
        self._next = 0

    def close(self):
        try:
            self.ws.close()
        except Exception:
            pass

    def call(self, method, params=None, timeout=30):
        self._next += 1
        msg_id = self._next
        self.ws.send(json.dumps({"id": msg_id, "method": method, "params": params or {}}))
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise SessionError("DevTools %s got no answer in %.0f s" % (method, timeout))
            self.ws.settimeout(left)
            msg = json.loads(self.ws.recv())
            if msg.get("id") != msg_id:
                continue  # protocol events and stale answers
            if "error" in msg:
                raise SessionError("DevTools %s failed: %s" % (method, msg["error"]))
            return msg["result"]

    def evaluate(self, expression, timeout=30):
        result = self.call("Runtime.evaluate", {
            "expression": expression, "awaitPromise": True, "returnByValue": True,
        }, timeout=timeout)
        if "exceptionDetails" in result:
            d = result["exceptionDetails"]
            text = d.get("exception", {}).get("description") or d.get("text")
            raise JSError("page script threw: %s\nin: %s" % (text, expression[:500]))
        return result["result"].get("value")

    def wait_js(self, expression, timeout=10, what=None):
        def probe():
            try:
                return self.evaluate(expression, timeout=5)
            except JSError:
                return None
        return wait_for(probe, timeout, interval=0.1, what=what or expression)


# A self-contained cefQuery call usable in any frame: resolves with
# {success: text, type} or {failure: [code, message]}, or {timeout: true} when
# neither callback came. Extra callbacks after the first are counted in `late`.
QUERY_FN = r"""
(function (request, persistent, timeoutMs) {
  return new Promise(function (resolve) {
    if (typeof window.cefQuery !== 'function') {
      resolve({missing: true});
      return;
    }
    var timer = setTimeout(function () { resolve({timeout: true}); }, timeoutMs);
    window.cefQuery({
      request: request,
      persistent: persistent,
      onSuccess: function (response) {
        clearTimeout(timer);
        resolve({success: response, type: typeof response});
      },
      onFailure: function (code, message) {
        clearTimeout(timer);
        resolve({failure: [code, message]});
      }
    });
  });
})
"""


def query_expression(request, persistent=False, timeout_ms=8000):
    return "(%s)(%s, %s, %d)" % (QUERY_FN, json.dumps(request),
                                 "true" if persistent else "false", timeout_ms)


def frame_agent_source():
    with open(os.path.join(PACK_DIR, "frame_agent.js"), encoding="utf-8") as f:
        return f.read()


def make_root(prefix="lumio-e2e-"):
    # Short paths: sockets under XDG_RUNTIME_DIR must fit sun_path.
    return tempfile.mkdtemp(prefix=prefix, dir="/tmp")


def run_session(session, root):
    """For a fixture: starts |session| (a desktop made in |root|), yields it, then
    stops it; |root| goes whatever happens."""
    try:
        session.start()
    except BaseException:
        shutil.rmtree(root, ignore_errors=True)
        raise
    try:
        yield session
    finally:
        try:
            session.stop()
        finally:
            shutil.rmtree(root, ignore_errors=True)


# Loads |src| into a new iframe of the main page, waits for the frame agent's
# "ready" message, has the frame run each request itself and collects the
# answers: {ready: href|null, answers: [...]} (an answer that never came is
# {timeout: true}; a frame without cefQuery answers {missing: true}).
FRAME_QUERY_FN = r"""
(function (src, requests, timeoutMs) {
  return new Promise(function (resolve) {
    var frame = document.createElement('iframe');
    var answers = [];
    var readyHref = null;
    var pending = requests.length;
    var finish = function () {
      window.removeEventListener('message', onMessage);
      resolve({ready: readyHref, answers: requests.map(function (r, i) {
        return answers[i] || {timeout: true};
      })});
    };
    var timer = setTimeout(finish, timeoutMs);
    function onMessage(e) {
      if (e.source !== frame.contentWindow || !e.data) return;
      if (e.data.kind === 'ready') {
        readyHref = e.data.href;
        requests.forEach(function (r, i) {
          frame.contentWindow.postMessage(
              {kind: 'query', id: i, request: r, persistent: false}, '*');
        });
        if (!pending) { clearTimeout(timer); finish(); }
      } else if (e.data.kind === 'answer' && !answers[e.data.id]) {
        answers[e.data.id] = e.data;
        if (--pending === 0) { clearTimeout(timer); finish(); }
      }
    }
    window.addEventListener('message', onMessage);
    frame.src = src;
    document.body.appendChild(frame);
  });
})
"""


def frame_query_expression(src, requests, timeout_ms=10000):
    return "(%s)(%s, %s, %d)" % (FRAME_QUERY_FN, json.dumps(src), json.dumps(requests),
                                 timeout_ms)


def data_url_frame_src():
    """An opaque-origin frame running the same agent as sub.html."""
    html = "<!DOCTYPE html><title>foreign</title><script>%s</script>" % frame_agent_source()
    return "data:text/html;charset=utf-8," + urllib.request.quote(html, safe="")


def self_signed_certificate(folder):
    """(certificate, key) files of a new self-signed certificate for 127.0.0.1."""
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1"],
                       check=True, capture_output=True, timeout=60)
    return cert, key


class LocalWebServer:
    """A loopback HTTP server of another origin than the app's.

    Serves |pages| (path -> (content type, bytes)) with no CORS headers at all,
    answers 404 to anything else, and records every request it gets as
    (method, path, body), and its headers in |seen_headers| as (path, {name: value}).

    With |tls_dir| it speaks https, with a self-signed certificate made there:
    the engine accepts it only when told to ignore certificate errors.
    """

    def __init__(self, pages=None, tls_dir=None):
        import http.server
        import threading
        self.pages = dict(pages or {})
        requests = self.requests = []
        seen_headers = self.seen_headers = []
        pages_ = self.pages

        class Handler(http.server.BaseHTTPRequestHandler):
            def _record(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length else b""
                requests.append((self.command, self.path, body))
                seen_headers.append((self.path, dict(self.headers)))

            def do_GET(self):
                self._record()
                page = pages_.get(self.path.split("?")[0])
                if page is None:
                    self.send_response(404)
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header("Content-Type", page[0])
                self.send_header("Content-Length", str(len(page[1])))
                self.end_headers()
                self.wfile.write(page[1])

            def do_POST(self):
                self._record()
                self.send_response(204)
                self.end_headers()

            def log_message(self, *args):
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.scheme = "http"
        if tls_dir is not None:
            import ssl
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*self_signed_certificate(tls_dir))
            self._server.socket = context.wrap_socket(self._server.socket, server_side=True)
            self.scheme = "https"
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)

    @property
    def origin(self):
        return "%s://127.0.0.1:%d" % (self.scheme, self._server.server_address[1])

    def url(self, path):
        return self.origin + path

    def received(self, method, path):
        return [r for r in list(self.requests) if r[0] == method and r[1] == path]

    def headers_of(self, path, timeout=10):
        """The headers of the first request for |path|, waiting for it to come."""
        def find():
            return next((h for p, h in list(self.seen_headers) if p == path), None)
        return wait_for(find, timeout, what=lambda: "a request for %s (got %r)"
                        % (path, [p for p, _ in list(self.seen_headers)]))

    def headers_of_image_request(self, app, timeout=10):
        """Has the page load an image from here; returns that request's headers."""
        path = "/probe.png?%d" % len(self.requests)
        app.devtools.evaluate("new Image().src = %s; true" % json.dumps(self.url(path)))
        return self.headers_of(path, timeout)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()


def fake_opener(root):
    """A folder holding an `xdg-open` that records each call as one line of JSON."""
    bin_dir = os.path.join(root, "fake-bin")
    os.makedirs(bin_dir)
    log = os.path.join(root, "opened.log")
    script = os.path.join(bin_dir, "xdg-open")
    with open(script, "w") as f:
        f.write("#!/usr/bin/python3\nimport json, sys\n"
                "with open(%r, 'a') as f:\n"
                "    f.write(json.dumps(sys.argv[1:]) + '\\n')\n" % log)
    os.chmod(script, 0o755)
    return bin_dir, log


def opened(log):
    if not os.path.exists(log):
        return []
    with open(log) as f:
        return [json.loads(line) for line in f.read().splitlines()]


def command(app, name, /, **members):
    """Sends bridge command |name| with |members| from the main page; the answer."""
    members["command"] = name
    return app.query(json.dumps(members))


def ok(app, name, /, **members):
    """Sends a command that must answer the empty object."""
    answer = command(app, name, **members)
    assert answer.get("success") == "{}", (name, members, answer)


def outcome(answer):
    """A query's answer as a comparable tuple."""
    if "success" in answer:
        return ("success", answer["success"])
    if "failure" in answer:
        return ("failure",) + tuple(answer["failure"])
    if answer.get("missing"):
        return ("no cefQuery function",)
    return ("no answer",)
