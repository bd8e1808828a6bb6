#!/usr/bin/python3
"""What exposing pages to screen readers costs: fresh starts of lumio-app with
the desktop's accessibility off and on, alternated in one desktop session.

    /usr/bin/python3 bench/accessibility_bench.py [--starts N] [--baseline PREFIX]

"off": a session bus with no accessibility bus, as most sessions without
assistive technology. "on": a session bus whose accessibility bus says
IsEnabled and ScreenReaderEnabled, so the engine builds every page's tree.
--baseline names an installed (or staged) tree of another build, run as "off"
too, to compare builds in the same run. The page is the default application.
Each start: idle memory (PSS and
private pages of every process, after --idle seconds) and the sequential round
trip of a small request, as bench/run_bench.py measures them. Medians, with
the smallest and largest value.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import run_bench as rb  # noqa: E402
from lumio_session import Lumio, make_root  # noqa: E402

SEQUENTIAL = 2000


def flag_accessibility(desktop, bus):
    env = desktop.base_env()
    env["DBUS_SESSION_BUS_ADDRESS"] = bus
    for prop in ("IsEnabled", "ScreenReaderEnabled"):
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                        "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                        "string:org.a11y.Status", "string:" + prop, "variant:boolean:true"],
                       env=env, check=True, capture_output=True, timeout=20)


class Installed(rb.Ours):
    """lumio-app of another build's tree, with the bench's pack put in a copy."""

    def __init__(self, desktop, root, pack, bus, tree):
        prefix = os.path.join(root, "prefix")
        for rel in ("bin/lumio-app", "libexec/lumio/lumio-helper"):
            os.makedirs(os.path.dirname(os.path.join(prefix, rel)), exist_ok=True)
            shutil.copy2(os.path.join(tree, rel), os.path.join(prefix, rel))
        os.makedirs(os.path.join(prefix, "share", "lumio"))
        with open(os.path.join(prefix, "share", "lumio", "lumio.pak"), "wb") as f:
            f.write(pack)
        self.app = Lumio(desktop, root, env={"DBUS_SESSION_BUS_ADDRESS": bus}, prefix=prefix)


def sample(figures, who, program, idle):
    program.start()
    try:
        devtools = program.app.connect(timeout=60)
        devtools.wait_js("document.getElementById('greeting').textContent === 'Hello, world!'",
                         60)
        time.sleep(idle)
        pss, private = rb.memory_kib(program.pid)
        figures.add("pss_mib", who, pss / 1024)
        figures.add("private_mib", who, private / 1024)
        devtools.evaluate(rb.BENCH_JS)
        ms = devtools.evaluate("window.__bench.sequential(%d, %s)"
                               % (SEQUENTIAL, rb.json.dumps(rb.SMALL_REQUEST)), timeout=180)
        figures.add("rt_us", who, ms * 1000 / SEQUENTIAL)
    finally:
        program.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--idle", type=int, default=3)
    parser.add_argument("--baseline", help="a staged or installed tree of another build")
    args = parser.parse_args()
    os.environ["LUMIO_STAGE"] = os.path.join(rb.BUILD, "stage")
    import lumio_session
    lumio_session.STAGE = os.environ["LUMIO_STAGE"]

    root = make_root("lumio-a11y-bench-")
    # The default application: a page of some 80 accessible objects.
    with open(os.path.join(os.environ["LUMIO_STAGE"], "share", "lumio", "lumio.pak"),
              "rb") as f:
        pack = f.read()
    desktop = rb.Desktop(os.path.join(root, "desktop")).start()
    figures = rb.Figures()
    try:
        buses = {"off": rb.start_bus(desktop, root)}
        os.makedirs(os.path.join(root, "on"))
        buses["on"] = rb.start_bus(desktop, os.path.join(root, "on"))
        flag_accessibility(desktop, buses["on"])
        makers = {
            "off": lambda r: rb.Ours(desktop, r, pack, bus=buses["off"]),
            "on": lambda r: rb.Ours(desktop, r, pack, bus=buses["on"]),
        }
        if args.baseline:
            makers["baseline"] = lambda r: Installed(desktop, r, pack, buses["off"],
                                                     args.baseline)
        order = list(makers)
        for i in range(args.starts):
            turn = order[i % len(order):] + order[:i % len(order)]
            for who in turn:
                sample(figures, who, makers[who](os.path.join(root, "%s-%d" % (who, i))),
                       args.idle)
            rb.log("start %d/%d: PSS %s MiB, round trip %s µs" % (
                i + 1, args.starts,
                " / ".join("%s %.0f" % (w, figures.get("pss_mib", w)[-1]) for w in order),
                " / ".join("%s %.1f" % (w, figures.get("rt_us", w)[-1]) for w in order)))
    finally:
        desktop.stop()
        shutil.rmtree(root, ignore_errors=True)

    print("| figure | " + " | ".join(order) + " |")
    print("| --- |" + " --- |" * len(order))
    for key, label in (("pss_mib", "idle PSS, every process (MiB)"),
                       ("private_mib", "idle private pages, every process (MiB)"),
                       ("rt_us", "sequential round trip, small request (µs)")):
        cells = []
        for who in order:
            v = figures.get(key, who)
            cells.append("%.1f (%.1f–%.1f)" % (statistics.median(v), min(v), max(v)))
        print("| %s | %s |" % (label, " | ".join(cells)))


if __name__ == "__main__":
    main()
