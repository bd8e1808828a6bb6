#!/usr/bin/python3
"""Screenshots of the default application for docs/: the built lumio.pak in a
private virtual display, the main window at its smallest size and at 800 x 600.

usage: LUMIO_STAGE=build/stage /usr/bin/python3 tools/screenshots.py [OUTDIR]
"""

import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import lumio_session as ls  # noqa: E402

# (width, height, page script run before the shot): the first at the smallest
# size as a new user sees it, the second after a call.
SHOTS = [
    (330, 525, None),
    (800, 600, "document.querySelector('button[data-command=OrbitMainBrowserGetState]').click()"),
]


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "docs"))
    with open(os.path.join(ls.STAGE, ls.PACK_REL), "rb") as f:
        pack = f.read()
    root = ls.make_root("lumio-shots-")
    desktop = ls.Desktop(root).start()
    try:
        app = ls.Lumio(desktop, os.path.join(root, "run"), pack=pack).start()
        app.connect()
        wid = app.main_window(timeout=30)
        for width, height, script in SHOTS:
            desktop.resize_window(wid, width, height)
            if script:
                app.devtools.evaluate(script)
            ls.wait_for(lambda: desktop.geometry(wid)[2:] == (width, height), 10,
                        what="the window at %d x %d" % (width, height))
            time.sleep(1.5)  # let the page lay itself out and paint
            path = os.path.join(out, "lumio-%dx%d.png" % (width, height))
            desktop.x(["import", "-window", str(wid), path], timeout=30)
            print(path)
        app.stop()
    finally:
        desktop.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
