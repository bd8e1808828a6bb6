"""A headless Wayland session (weston or sway) with a private session bus.

The program runs on Qt's native Wayland plugin there. What the compositor did
is read from the compositor itself: sway's IPC tree, weston's scene graph
(through its debug protocol), so a test sees the window the user would see.
"""

import json
import os
import pwd
import re
import shutil
import subprocess

import lumio_session as ls

# sway refuses to run as root: as root, the compositor runs as this user (made
# when missing, with no home and no login shell).
COMPOSITOR_USER = "lumio-e2e-wl"


def missing_compositor(kind):
    """Why |kind| cannot run here, or None."""
    tool = {"weston": ["weston", "weston-debug"], "sway": ["sway", "swaymsg"]}[kind]
    tool.append("wayland-info")
    absent = [t for t in tool if shutil.which(t) is None]
    if absent:
        return "not installed: " + ", ".join(absent)
    if kind == "sway" and os.geteuid() == 0 and _compositor_user() is None:
        return "sway refuses root and no user %r could be made" % COMPOSITOR_USER
    return None


def _compositor_user():
    try:
        return pwd.getpwnam(COMPOSITOR_USER)
    except KeyError:
        pass
    if shutil.which("useradd") is None:
        return None
    subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                    "--shell", "/usr/sbin/nologin", COMPOSITOR_USER],
                   capture_output=True, timeout=30)
    try:
        return pwd.getpwnam(COMPOSITOR_USER)
    except KeyError:
        return None


class WaylandDesktop(ls.Desktop):
    """A compositor on a headless output + private session bus, as one unit."""

    def __init__(self, root, compositor):
        super().__init__(root)
        self.compositor = compositor
        self.socket = None
        self.sway_socket = None

    def base_env(self):
        env = super().base_env()
        env.pop("DISPLAY", None)
        env["XDG_SESSION_TYPE"] = "wayland"
        env["QT_QPA_PLATFORM"] = "wayland"
        if self.socket:
            env["WAYLAND_DISPLAY"] = self.socket
        return env

    def start(self):
        try:
            self._start_bus()
            if self.compositor == "weston":
                self._start_weston()
            else:
                self._start_sway()
        except BaseException:
            self.stop()
            raise
        return self

    def _compositor_runtime(self, owner=None):
        runtime = os.path.join(self.root, "compositor-run")
        os.makedirs(runtime, mode=0o700)
        if owner is not None:
            # The compositor's user must reach its folder below the test's root.
            os.chmod(self.root, 0o711)
            os.chown(runtime, owner.pw_uid, owner.pw_gid)
        return runtime

    def _wait_socket(self, proc, path):
        def up():
            if proc.poll() is not None:
                raise ls.SessionError("%s exited with %s" % (self.compositor, proc.returncode))
            return os.path.exists(path)
        ls.wait_for(up, 20, what="the %s socket" % self.compositor)

    def _start_weston(self):
        runtime = self._compositor_runtime()
        env = self.base_env()
        env["XDG_RUNTIME_DIR"] = runtime
        proc = self._spawn(["weston", "--backend=headless-backend.so", "--socket=wayland-0",
                            "--width=%d" % ls.SCREEN_W, "--height=%d" % ls.SCREEN_H,
                            "--idle-time=0", "--debug"], "weston", env=env)
        self.socket = os.path.join(runtime, "wayland-0")
        self._wait_socket(proc, self.socket)

    def _start_sway(self):
        owner = pwd.getpwuid(os.geteuid())
        if os.geteuid() == 0:
            owner = _compositor_user()
            if owner is None:
                raise ls.SessionError(missing_compositor("sway"))
        runtime = self._compositor_runtime(owner)
        config = os.path.join(self.root, "sway.conf")
        with open(config, "w") as f:
            f.write("output HEADLESS-1 resolution %dx%d\n" % (ls.SCREEN_W, ls.SCREEN_H))
            # Native clients only: an X server here would race other sessions' displays.
            f.write("xwayland disable\n")
        os.chmod(config, 0o644)
        env = self.base_env()
        env.update({"XDG_RUNTIME_DIR": runtime, "HOME": runtime,
                    "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                    "WLR_RENDERER": "pixman"})
        argv = ["sway", "--config", config]
        if os.geteuid() == 0:
            argv = ["setpriv", "--reuid=%d" % owner.pw_uid, "--regid=%d" % owner.pw_gid,
                    "--clear-groups"] + argv
        proc = self._spawn(argv, "sway", env=env)
        self.socket = os.path.join(runtime, "wayland-1")
        self._wait_socket(proc, self.socket)

        def ipc():
            if proc.poll() is not None:
                raise ls.SessionError("sway exited with %s" % proc.returncode)
            found = [n for n in os.listdir(runtime) if n.startswith("sway-ipc.")]
            return os.path.join(runtime, found[0]) if found else None
        self.sway_socket = ls.wait_for(ipc, 20, what="sway's IPC socket")

    def run(self, argv, timeout=10):
        env = self.base_env()
        if self.sway_socket:
            env["SWAYSOCK"] = self.sway_socket
        return subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=timeout, check=True).stdout

    def globals(self):
        """The names of the interfaces the compositor offers its clients."""
        out = self.run(["wayland-info"], timeout=20)
        return set(re.findall(r"interface: '([\w]+)'", out))

    # -- what the compositor shows --

    def toplevels(self, pid):
        """The windows of |pid| the compositor shows now: [{title, focused, urgent}]
        (weston reports neither focus nor urgency: None)."""
        if self.compositor == "sway":
            return self._sway_views(pid)
        out = self.run(["weston-debug", "scene-graph"], timeout=10)
        found = []
        for m in re.finditer(r"role xdg_toplevel, PID (\d+), .*?top-level window '(.*?)'", out):
            if int(m.group(1)) == pid:
                found.append({"title": m.group(2), "focused": None, "urgent": None})
        return found

    def _sway_views(self, pid):
        tree = json.loads(self.run(["swaymsg", "-r", "-t", "get_tree"]))
        found = []

        def walk(node):
            if node.get("pid") == pid and node.get("type") in ("con", "floating_con"):
                found.append({"title": node.get("name"), "focused": node.get("focused"),
                              "urgent": node.get("urgent")})
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(tree)
        return found

    def wait_shown(self, pid, timeout=15):
        return ls.wait_for(lambda: self.toplevels(pid), timeout,
                           what="a window of pid %d on the compositor's screen" % pid)[0]

    def wait_not_shown(self, pid, timeout=15):
        ls.wait_for(lambda: not self.toplevels(pid), timeout,
                    what="no window of pid %d on the compositor's screen" % pid)
