#!/usr/bin/python3
"""Edit to screen with live reload: how long after the last write the edit shows.

Starts lumio-app in development mode (LUMIO_WEB_DIR) in a private desktop, as the
end-to-end tests do, over a small app (a page, a style sheet, a script). Each
round saves the script, or a bundler's burst of files ending with the script, and
takes the time from the end of the last write until the new script's first frame
has been drawn (two animation frames after it ran, by the page's clock, which is
the system's). Also counts the reloads that each save caused. Run from the
repository root after building:

  /usr/bin/python3 bench/live_reload_e2e.py [rounds]
"""

import os
import shutil
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))

import lumio_session as ls  # noqa: E402

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>bench</title>
<link rel="stylesheet" href="style.css"></head>
<body><h1 id="v">…</h1><script src="app.js"></script></body></html>
"""

SCRIPT = """
window.cefQuery({request: '{"command":"OrbitAppInitialized"}',
                 onSuccess: function () {}, onFailure: function () {}});
document.getElementById('v').textContent = 'version %d';
requestAnimationFrame(function () {
  requestAnimationFrame(function () {
    window.__shown = [%d, performance.timeOrigin + performance.now()];
  });
});
"""


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def shown(app):
    try:
        return app.devtools.evaluate("window.__shown || null", timeout=5)
    except (ls.JSError, ls.SessionError):
        return None


def round_trip(app, site, version, burst):
    for i in range(burst):
        write(os.path.join(site, "chunk%d.js" % i), "// %d %d" % (version, i))
    write(os.path.join(site, "app.js"), SCRIPT % (version, version))
    written = time.time() * 1000
    value = ls.wait_for(lambda: (shown(app) or [None])[0] == version and shown(app), 20,
                        interval=0.01, what="version %d on screen" % version)
    return value[1] - written


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 15
    root = ls.make_root("lumio-bench-")
    desktop = ls.Desktop(root)
    try:
        desktop.start()
        site = os.path.join(root, "site")
        os.makedirs(site)
        write(os.path.join(site, "index.html"), PAGE)
        write(os.path.join(site, "style.css"), "h1 { color: #246; }")
        write(os.path.join(site, "app.js"), SCRIPT % (0, 0))
        run = os.path.join(root, "run")
        os.makedirs(run)
        app = ls.Lumio(desktop, run, pack=None, env={"LUMIO_WEB_DIR": site}).start()
        app.connect()
        ls.wait_for(lambda: shown(app), 30, what="the first page")
        app.main_window()
        version = 0
        print("| save | edit to screen (median) | range | reloads per save |")
        print("| --- | --- | --- | --- |")
        for burst, label in ((0, "one script"), (40, "a burst of 41 files")):
            times = []
            reloads_before = app.log_tail(100000).count("changed; reloading")
            for _ in range(rounds):
                version += 1
                times.append(round_trip(app, site, version, burst))
                time.sleep(0.3)  # the page settles; no edit overlaps the last
            reloads = app.log_tail(100000).count("changed; reloading") - reloads_before
            print("| %s | %.0f ms | %.0f–%.0f ms | %.2f |"
                  % (label, statistics.median(times), min(times), max(times),
                     reloads / rounds))
            sys.stdout.flush()
        app.stop()
    finally:
        desktop.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
