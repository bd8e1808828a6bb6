#!/usr/bin/python3
"""Where one figure of bench/run_bench.py spends its time, for Lumio or the peer.

Starts the program alone in a private desktop session, runs a few blocks of the
figure and prints the CPU time of each of its processes over them; with --perf,
records them with `perf record -e cpu-clock -g` (timer sampling: it works where
the machine has no hardware counters); with --js, prints the page's busiest
script functions from the DevTools CPU profiler (which sees both script worlds).

    /usr/bin/python3 bench/profile_bench.py --program ours --figure burst --js
    /usr/bin/python3 bench/profile_bench.py --program peer --figure large4 --perf peer.data
    perf report -i peer.data --no-children --sort comm,dso,sym
"""

import argparse
import collections
import json
import os
import shutil
import signal
import subprocess
import sys

import run_bench as rb
from lumio_session import Desktop, make_root

FIGURES = {
    "sequential": "window.__bench.sequential(%d, %s)" % (rb.SEQUENTIAL,
                                                         json.dumps(rb.SMALL_REQUEST)),
    "burst": "window.__bench.burst(%d, %s)" % (rb.BURST, json.dumps(rb.SMALL_REQUEST)),
    "large1": "window.__bench.large(%d, 10)" % rb.MIB,
    "large4": "window.__bench.large(%d, 10)" % (4 * rb.MIB),
}


def ticks_by_process(pid):
    """{pid: (what, clock ticks)} over the program's process tree."""
    out = {}
    for p in rb.process_tree(pid):
        try:
            with open("/proc/%d/stat" % p) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open("/proc/%d/cmdline" % p) as f:
                argv = f.read().split("\0")
        except (OSError, IndexError):
            continue
        kind = next((a for a in argv if a.startswith("--type=")), os.path.basename(argv[0]))
        out[p] = (kind, int(fields[11]) + int(fields[12]))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", choices=("ours", "peer", "peer-reply"), default="ours",
                        help="peer-reply: the peer answering in the call's own reply")
    parser.add_argument("--figure", choices=sorted(FIGURES), default="burst")
    parser.add_argument("--blocks", type=int, default=3)
    parser.add_argument("--perf", metavar="FILE", help="perf record the blocks into FILE")
    parser.add_argument("--js", action="store_true", help="profile the page's scripts")
    args = parser.parse_args()
    os.environ["LUMIO_STAGE"] = os.path.join(rb.BUILD, "stage")

    root = make_root("lumio-profile-")
    web = rb.write_web(os.path.join(root, "web"), large=False)
    desktop = Desktop(os.path.join(root, "desktop")).start()
    program = None
    try:
        if args.program == "ours":
            program = rb.Ours(desktop, os.path.join(root, "ours"), rb.pack_bytes(web))
        else:
            program = rb.Peer(desktop, os.path.join(root, "peer"), "app://lumio/index.html",
                              serve=web)
        program.start()
        devtools, _ = program.ready()
        devtools.evaluate(rb.BENCH_JS)
        if args.program == "peer-reply":
            devtools.evaluate("window.__peerAnswersInReply = true")
        expression = FIGURES[args.figure]
        devtools.evaluate(expression, timeout=180)  # warm up

        perf = None
        if args.perf:
            pids = ",".join(str(p) for p in rb.process_tree(program.pid))
            perf = subprocess.Popen(["perf", "record", "-e", "cpu-clock", "-F", "1999", "-g",
                                     "-o", args.perf, "-p", pids],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if args.js:
            devtools.call("Profiler.enable")
            devtools.call("Profiler.setSamplingInterval", {"interval": 100})
            devtools.call("Profiler.start")
        before = ticks_by_process(program.pid)
        for _ in range(args.blocks):
            print(args.figure, devtools.evaluate(expression, timeout=180))
        after = ticks_by_process(program.pid)
        if perf is not None:
            perf.send_signal(signal.SIGINT)
            perf.wait(60)

        hz = os.sysconf("SC_CLK_TCK")
        print("CPU over %d blocks:" % args.blocks)
        for p, (kind, ticks) in sorted(after.items()):
            used = ticks - before.get(p, (kind, 0))[1]
            if used:
                print("  %7d %-24s %.2f s" % (p, kind[:24], used / hz))
        if args.js:
            profile = devtools.call("Profiler.stop")["profile"]
            total = sum(n.get("hitCount", 0) for n in profile["nodes"]) or 1
            by_function = collections.Counter()
            for node in profile["nodes"]:
                frame = node["callFrame"]
                by_function[(frame["functionName"] or "(anonymous)", frame["url"],
                             frame["lineNumber"] + 1)] += node.get("hitCount", 0)
            print("page scripts, share of samples (idle included):")
            for (name, url, line), hits in by_function.most_common(25):
                print("  %5.1f%%  %s %s:%d" % (100.0 * hits / total, name, url or "-", line))
    finally:
        if program is not None:
            program.stop()
        desktop.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
