"""The operating-system commands, through the page, against the real desktop session."""

import json
import os
import shutil
import subprocess
import time

import lumio_session as ls

IDLE_MONITOR = ("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                "org.gnome.Mutter.IdleMonitor")


command = ls.command
ok = ls.ok


def registered(app):
    answer = command(app, "OrbitOSIsStartupAppRegistered")
    return json.loads(answer["success"])["registered"]


def idle_ms(app):
    answer = json.loads(command(app, "OrbitOSGetUserIdleTime")["success"])
    assert list(answer) == ["t"] and isinstance(answer["t"], int), answer
    return answer["t"]


def autostart_dir(app):
    return os.path.join(app.user.config, "autostart")


def desktop_files(app):
    folder = autostart_dir(app)
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def exec_value(path):
    with open(path, encoding="utf-8") as f:
        lines = [line for line in f.read().splitlines() if line.startswith("Exec=")]
    assert len(lines) == 1, lines
    return lines[0][len("Exec="):]


def assert_valid_desktop_file(path):
    if shutil.which("desktop-file-validate") is None:
        return  # desktop-file-utils is in the --test package set; not all hosts have it
    result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
    assert result.returncode == 0 and not result.stdout.strip(), result.stdout + result.stderr


def test_register_is_registered_and_unregister_through_the_page(app):
    program = os.path.realpath(app.app_path)
    entry = os.path.join(autostart_dir(app), "lumio.desktop")
    assert registered(app) is False

    ok(app, "OrbitOSRegisterStartupApp")
    assert desktop_files(app) == ["lumio.desktop"]
    assert exec_value(entry) == '"%s"' % program
    assert_valid_desktop_file(entry)
    assert registered(app) is True

    ok(app, "OrbitOSRegisterStartupApp")
    assert desktop_files(app) == ["lumio.desktop"]

    ok(app, "OrbitOSUnregisterStartupApp")
    assert desktop_files(app) == []
    assert registered(app) is False
    ok(app, "OrbitOSUnregisterStartupApp")
    assert desktop_files(app) == []


def test_entries_of_other_copies_or_hidden_ones_do_not_count(app):
    program = os.path.realpath(app.app_path)
    os.makedirs(autostart_dir(app))
    moved = os.path.join(autostart_dir(app), "moved.desktop")
    with open(moved, "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Lumio\nExec=%s\n"
                % os.path.join(app.root, "moved-away", "lumio-app"))
    hidden = os.path.join(autostart_dir(app), "hidden.desktop")
    with open(hidden, "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Lumio\nExec=%s\nHidden=true\n"
                % program)
    assert registered(app) is False

    # Unregistering leaves entries that are not this program's alone.
    ok(app, "OrbitOSUnregisterStartupApp")
    assert desktop_files(app) == ["hidden.desktop", "moved.desktop"]

    # A hand-written entry that names this program through a link counts.
    os.symlink(program, os.path.join(app.root, "link-to-lumio"))
    with open(moved, "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Lumio\nExec=%s --quiet\n"
                % os.path.join(app.root, "link-to-lumio"))
    assert registered(app) is True
    ok(app, "OrbitOSUnregisterStartupApp")
    assert desktop_files(app) == ["hidden.desktop"]


def test_an_entry_the_user_disabled_does_not_count_until_registered_again(app):
    program = os.path.realpath(app.app_path)
    os.makedirs(autostart_dir(app))
    entry = os.path.join(autostart_dir(app), "lumio.desktop")
    with open(entry, "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Lumio\nExec=%s\n"
                "X-GNOME-Autostart-enabled=false\n" % program)
    assert registered(app) is False
    ok(app, "OrbitOSRegisterStartupApp")
    assert registered(app) is True
    assert desktop_files(app) == ["lumio.desktop"]
    with open(entry) as f:
        assert "X-GNOME-Autostart-enabled=false" not in f.read()


def test_entry_quotes_a_path_with_spaces_quotes_and_dollars(desktop):
    root = os.path.join(desktop.root, "it's \"odd\" $HOME 100%")
    os.makedirs(root)
    app = ls.Lumio(desktop, root)
    try:
        app.start()
        app.wait_page_ready()
        ok(app, "OrbitOSRegisterStartupApp")
        entry = os.path.join(autostart_dir(app), "lumio.desktop")
        assert desktop_files(app) == ["lumio.desktop"]
        assert_valid_desktop_file(entry)
        # The Desktop Entry quoting, then the string escape that doubles backslashes.
        assert exec_value(entry) == '"%s"' % os.path.realpath(app.app_path).replace(
            '"', '\\\\"').replace("$", "\\\\$").replace("%", "%%")
        assert registered(app) is True
    finally:
        app.stop()


def test_idle_time_grows_while_nothing_happens_and_drops_on_input(shown_app, desktop):
    app = shown_app
    first = idle_ms(app)
    time.sleep(1.5)
    second = idle_ms(app)
    assert second - first >= 1400, (first, second)

    desktop.x(["xdotool", "mousemove", "17", "23"])
    desktop.x(["xdotool", "mousemove", "400", "300"])
    third = idle_ms(app)
    assert third < 1000 and third < second, (second, third)


def start_idle_monitor(desktop, idle_time):
    """A stand-in for GNOME's idle monitor on the session bus, answering |idle_time|.

    Returns a function that changes the answer."""
    import dbus
    name, path, interface = IDLE_MONITOR
    desktop.spawn_client(["/usr/bin/python3", "-m", "dbusmock", name, path, interface],
                         "idle-monitor")
    bus = dbus.bus.BusConnection(desktop.bus_address)
    ls.wait_for(lambda: bus.name_has_owner(name), 15, what="the idle monitor on the bus")
    mock = dbus.Interface(bus.get_object(name, path), "org.freedesktop.DBus.Mock")

    def answer(value):
        mock.AddMethod(interface, "GetIdletime", "", "t", "ret = dbus.UInt64(%d)" % value)
    answer(idle_time)
    return answer


def test_idle_time_in_a_wayland_session_comes_from_the_idle_monitor(launch, desktop):
    wayland = {"XDG_SESSION_TYPE": "wayland", "QT_QPA_PLATFORM": "xcb"}
    # With no monitor on the bus, the X server answers instead.
    app = launch(env=wayland)
    app.wait_page_ready()
    assert idle_ms(app) > 0
    app.stop()

    answer = start_idle_monitor(desktop, 424242)
    app = launch(env=wayland)
    app.wait_page_ready()
    assert idle_ms(app) == 424242
    # Beyond what the page's 32-bit answer holds.
    answer(2 ** 40)
    assert idle_ms(app) == 2 ** 31 - 1


def test_open_external_browser_hands_only_web_and_mail_urls_to_the_desktop(launch, desktop):
    bin_dir, log = ls.fake_opener(desktop.root)
    app = launch(env={"PATH": bin_dir + ":" + desktop.base_env()["PATH"]})
    app.wait_page_ready()
    for refused in ("file:///etc/passwd", "javascript:alert(1)", "smb://server/share",
                    "app://lumio/index.html", "https://exa mple.com/", "http:///etc/passwd",
                    "not a url", ""):
        ok(app, "OrbitOSOpenExternalBrowser", url=refused)
    ok(app, "OrbitOSOpenExternalBrowser")
    web = "https://example.com/path?q=1#frag"
    mail = "mailto:someone@example.com?subject=Hi"
    ok(app, "OrbitOSOpenExternalBrowser", url=web)
    ok(app, "OrbitOSOpenExternalBrowser", url=mail)
    ls.wait_for(lambda: len(ls.opened(log)) >= 2, 10,
                what=lambda: "two calls of xdg-open (have %r)" % ls.opened(log))
    # The refused ones were asked for first; any call they made would be here by now.
    ls.holds_for(lambda: len(ls.opened(log)) == 2, 1.0, what="two calls of xdg-open and no more")
    assert sorted(ls.opened(log)) == sorted([[web], [mail]])


def test_a_flood_of_addresses_opens_a_few_and_mail_attachments_none(launch, desktop):
    bin_dir, log = ls.fake_opener(desktop.root)
    app = launch(env={"PATH": bin_dir + ":" + desktop.base_env()["PATH"]})
    app.wait_page_ready()
    ok(app, "OrbitOSOpenExternalBrowser", url="mailto:a@example.com?attach=/etc/passwd")
    ok(app, "OrbitOSOpenExternalBrowser", url="mailto:a@example.com?%41ttachment=/etc/passwd")
    start = time.monotonic()
    # Forty requests in one task, as a page's loop sends them.
    app.devtools.evaluate("""(function () {
      for (var i = 0; i < 40; ++i)
        window.cefQuery({request: JSON.stringify({command: 'OrbitOSOpenExternalBrowser',
                                                  url: 'https://example.com/' + i})});
      return true;
    })()""")
    assert "success" in command(app, "OrbitAppGetInfo")  # answered after the forty
    elapsed = time.monotonic() - start
    ls.wait_for(lambda: len(ls.opened(log)) >= 3, 10, what="the first launches")
    ls.holds_for(lambda: len(ls.opened(log)) <= 3 + int(elapsed) + 2, 1.0,
                 what="a few launches, not forty")
    urls = [url for url, in ls.opened(log)]
    assert {"https://example.com/%d" % i for i in range(3)} <= set(urls), urls
    assert all(url.startswith("https://example.com/") for url in urls), urls
    assert app.log_tail(1000).count("addresses asked to open too often") == 1
