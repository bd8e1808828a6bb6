"""An application with its own identity file, built from this checkout beside Lumio
(tests/e2e/identity_app, which CTest builds into <build>/identity-app): its name, icon,
version and id wherever the desktop shows them and in its package, and Lumio
running beside it at the same time without sharing a file, folder or bus name.
"""

import json
import os
import re
import shutil
import subprocess
import zipfile

import dbus
import pytest

import desktop_bus as db
import lumio_session as ls
import test_tray as tt

REPO = os.path.dirname(os.path.dirname(ls.HERE))
IDENTITY_BUILD = os.environ.get("LUMIO_IDENTITY_BUILD") or os.path.join(
    REPO, "build", "identity-app")
STAGE = os.path.join(IDENTITY_BUILD, "stage")
APP_ID = "org.example.NotesDesk"
RELS = (os.path.join("bin", "notes-desk"),
        os.path.join("libexec", "notes-desk", "notes-desk-helper"),
        os.path.join("share", "notes-desk", "lumio.pak"))
NOTIFICATIONS = "org.freedesktop.Notifications"

built = pytest.mark.skipif(
    not os.path.exists(os.path.join(STAGE, RELS[0])),
    reason="the second application is not built: cmake --build build --target "
           "lumio_identity_app")


@pytest.fixture
def notifications(desktop, bus):
    return db.Mock(desktop, bus, "notification_daemon", NOTIFICATIONS,
                   "/org/freedesktop/Notifications", {"capabilities": "body"})


@pytest.fixture
def watcher(desktop, bus):
    return db.Mock(desktop, bus, os.path.join(db.HERE, "status_notifier_watcher.py"),
                   tt.WATCHER, "/StatusNotifierWatcher")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def wm_class(desktop, wid):
    return desktop.x(["xprop", "-id", str(wid), "WM_CLASS"]).stdout


@built
def test_the_staged_files_are_named_after_the_application():
    desktop_file = os.path.join(STAGE, "share", "applications", APP_ID + ".desktop")
    with open(desktop_file) as f:
        entry = f.read()
    for line in ("Name=Notes Desk", "Comment=Notes on the desktop", "Exec=notes-desk",
                 "Icon=" + APP_ID, "StartupWMClass=notes-desk"):
        assert "\n%s\n" % line in entry, entry
    checked = subprocess.run(["desktop-file-validate", desktop_file], capture_output=True,
                             text=True)
    assert checked.returncode == 0 and not checked.stdout.strip(), checked.stdout
    # The one SVG, rendered at every size.
    icons = os.path.join(STAGE, "share", "icons", "hicolor")
    for size in (16, 32, 48, 128, 256, 512):
        icon = os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")
        assert png_size(icon) == (size, size), icon
    # Nothing is named after Lumio, and the identity file stays out of the pack.
    names = [os.path.relpath(os.path.join(d, n), STAGE)
             for d, dirs, files in os.walk(STAGE) for n in dirs + files]
    assert [n for n in names if "lumio" in n.lower() and not n.endswith("lumio.pak")] == []
    with zipfile.ZipFile(os.path.join(STAGE, RELS[2])) as pack:
        assert "index.html" in pack.namelist()
        assert [n for n in pack.namelist() if n.lower() == "lumio.json"] == []


@built
def test_the_application_shows_its_identity_and_lumio_runs_beside_it(
        desktop, launch, bus, notifications, watcher):
    notes = launch(stage=STAGE, rels=RELS)
    notes.wait_page_ready()
    assert notes.handshake().get("success") is not None
    info = json.loads(ls.command(notes, "OrbitAppGetInfo")["success"])
    assert info["appVersion"] == "1.4.2"

    ls.ok(notes, "OrbitTrayIconNotify", title="t", text="x", unreadCount=1)
    (call,) = ls.wait_for(lambda: notifications.calls("Notify"), 10, what="Notify")
    app_name, _, icon, _, _, _, hints, _ = call
    assert app_name == "Notes Desk"
    assert icon == "file://" + os.path.join(
        notes.prefix, "share", "icons", "hicolor", "256x256", "apps", APP_ID + ".png")
    assert hints.get("desktop-entry") == APP_ID

    tray = tt.TrayItem(bus, watcher)
    assert tray.prop("Title") == "Notes Desk"
    wid = notes.main_window()
    assert '"notes-desk"' in wm_class(desktop, wid)
    # Moving the window saves its place, in the application's own settings.
    x, y = desktop.geometry(wid)[:2]
    desktop.move_window(wid, x + 20, y + 20)
    settings = os.path.join(notes.user.config, APP_ID, "Notes Desk.conf")
    ls.wait_for(lambda: os.path.exists(settings), 10, what="the window's place saved")
    helper = os.path.realpath(os.path.join(notes.prefix, RELS[1]))
    assert any(os.path.realpath("/proc/%d/exe" % p) == helper
               for p in notes.descendants_alive()), "no process of notes-desk-helper"

    # Lumio itself, for the same user at the same time: an instance of its own.
    lumio = launch(user=notes.user)
    lumio.wait_page_ready()
    assert lumio.handshake().get("success") is not None
    assert json.loads(ls.command(lumio, "OrbitAppGetInfo")["success"])["appVersion"] \
        == "0.2.5"
    assert notes.alive() and lumio.alive()
    names = bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")
    for name in (APP_ID, "org.lumio.Lumio"):
        assert names.NameHasOwner(name, dbus_interface="org.freedesktop.DBus"), name

    for app in (notes, lumio):
        ls.ok(app, "OrbitOSRegisterStartupApp")
    user = notes.user
    autostart = os.path.join(user.config, "autostart")
    assert sorted(os.listdir(autostart)) == sorted([APP_ID + ".desktop", "lumio.desktop"])
    with open(os.path.join(autostart, APP_ID + ".desktop")) as f:
        entry = f.read()
    assert "\nName=Notes Desk\n" in entry and "\nIcon=%s\n" % APP_ID in entry
    assert re.search(r"^Exec=.*notes-desk\"?$", entry, re.M), entry
    # Each keeps its engine's data in its own folder.
    assert os.path.isdir(os.path.join(user.data, APP_ID, "cache"))
    assert os.path.isdir(os.path.join(user.data, "Lumio", "cache"))
    assert not os.path.exists(os.path.join(user.config, "Lumio", "Notes Desk.conf"))
    for app in (notes, lumio):
        assert app.terminate() == 0, app.log_tail()


@built
def test_the_package_carries_the_applications_fields():
    work = ls.make_root("lumio-identity-deb-")
    try:
        packed = subprocess.run(
            ["cpack", "-G", "DEB", "-B", work, "--config",
             os.path.join(IDENTITY_BUILD, "CPackConfig.cmake")],
            capture_output=True, text=True, timeout=300)
        assert packed.returncode == 0, packed.stdout + packed.stderr
        (deb,) = [n for n in os.listdir(work) if n.endswith(".deb")]
        path = os.path.join(work, deb)
        fields = subprocess.run(["dpkg-deb", "-f", path], capture_output=True, text=True,
                                check=True).stdout
        for line in ("Package: notes-desk", "Version: 1.4.2-1",
                     "Maintainer: Notes Team <notes@example.org>",
                     "Description: Notes on the desktop",
                     "Homepage: https://notes.example.org/"):
            assert re.search("^%s$" % re.escape(line), fields, re.M), fields
        files = subprocess.run(["dpkg-deb", "-c", path], capture_output=True, text=True,
                               check=True).stdout
        for rel in ("usr/bin/notes-desk", "usr/libexec/notes-desk/notes-desk-helper",
                    "usr/share/notes-desk/lumio.pak",
                    "usr/share/applications/%s.desktop" % APP_ID,
                    "usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
                    "usr/share/keyrings/%s.gpg" % APP_ID):
            assert " ./%s\n" % rel in files, rel
        assert "lumio-app" not in files and "libexec/lumio/" not in files
        assert "Recommends: xdg-utils, qt6-wayland, unattended-upgrades" in fields
        # Installed, it adds its own signed package source and unattended-upgrades
        # origin; removed, it takes them away.
        root = os.path.join(work, "system")
        for folder in ("var/lib/dpkg/info", "var/lib/dpkg/updates",
                       "etc/apt/sources.list.d", "etc/apt/apt.conf.d"):
            os.makedirs(os.path.join(root, folder))
        for name in ("status", "available"):
            open(os.path.join(root, "var/lib/dpkg", name), "w").close()
        dpkg = ["dpkg", "--root=" + root, "--force-depends", "--force-script-chrootless",
                "--log=/dev/null"]
        subprocess.run(dpkg + ["--install", path], check=True, capture_output=True)
        source = os.path.join(root, "etc/apt/sources.list.d", APP_ID + ".list")
        with open(os.path.join(root, os.readlink(source).lstrip("/"))) as f:
            assert f.read() == ("deb [signed-by=/usr/share/keyrings/%s.gpg] "
                                "http://127.0.0.1:8765/notes-desk stable main\n" % APP_ID)
        origin = os.path.join(root, "etc/apt/apt.conf.d", "52%s-upgrades.conf" % APP_ID)
        with open(os.path.join(root, os.readlink(origin).lstrip("/"))) as f:
            assert '"origin=%s,archive=stable";' % APP_ID in f.read()
        keys = subprocess.run(["gpg", "--batch", "--show-keys", os.path.join(
            root, "usr/share/keyrings", APP_ID + ".gpg")], capture_output=True, text=True)
        assert "Notes Desk test repository" in keys.stdout, keys.stdout + keys.stderr
        subprocess.run(dpkg + ["--remove", "notes-desk"], check=True, capture_output=True)
        assert os.listdir(os.path.join(root, "etc/apt/sources.list.d")) == []
        assert os.listdir(os.path.join(root, "etc/apt/apt.conf.d")) == []
        checked = subprocess.run(["lintian", "--fail-on", "none", path],
                                 capture_output=True, text=True, timeout=300)
        assert not [n for n in checked.stdout.splitlines() if n.startswith("E:")], \
            checked.stdout
    finally:
        shutil.rmtree(work, ignore_errors=True)


def test_a_bad_identity_file_stops_the_configuration(tmp_path):
    web = tmp_path / "web"
    web.mkdir()
    (web / "index.html").write_text("<p>hi</p>")
    identity = web / "lumio.json"
    identity.write_text(json.dumps({"id": "org.example.Bad", "name": "Bad",
                                    "version": "one", "nmae": "typo",
                                    "updates": {"url": "ftp://x"}}))
    build = tmp_path / "build"
    configured = subprocess.run(
        ["cmake", "-S", REPO, "-B", str(build), "-DLUMIO_WEB_DIR=%s" % web,
         "-DLUMIO_BUILD_PROGRAMS=OFF", "-DLUMIO_BUILD_TESTS=OFF"],
        capture_output=True, text=True, timeout=300)
    assert configured.returncode != 0
    for key in ("version", "nmae", "updates.url", "updates.key"):
        assert "%s: key '%s'" % (identity, key) in configured.stderr, configured.stderr
    # Not JSON at all: said so, with the place.
    identity.write_text('{"id": "org.example.Bad",\n "name": }')
    configured = subprocess.run(
        ["cmake", "-S", REPO, "-B", str(build), "-DLUMIO_WEB_DIR=%s" % web],
        capture_output=True, text=True, timeout=300)
    assert configured.returncode != 0
    assert "%s: is not JSON" % identity in configured.stderr, configured.stderr
    assert "line 2" in configured.stderr
