#!/usr/bin/python3
"""Lumio against a bare Qt WebEngine program (bench/peers/lumio-peer).

Both run side by side in one private desktop session (Xvfb, openbox, session
bus) and stay up for the whole run; short blocks of each figure alternate
between them, pair after pair, so that a machine whose load changes over the
run weighs on both alike. Each figure is the median over the pairs, with the
smallest and largest block beside it. The start and idle-memory figures come
from fresh starts of each program, alternated the same way.

    make bench                     # builds, then runs this
    /usr/bin/python3 bench/run_bench.py [--pairs N] [--no-write]

The page of both programs is the same: bench/run_bench.py writes it (an
index.html whose first script notes the time, a 16 MiB file and a 2 MiB
script), packs it into lumio.pak for Lumio and serves the folder to the peer.
Everything the page is asked to do comes through the DevTools protocol.
"""

import argparse
import datetime
import json
import os
import platform
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from lumio_session import (  # noqa: E402
    DevTools, Desktop, Lumio, SessionError, UserDirs, free_port, make_root, wait_for,
    _read_fd_line)

BUILD = os.environ.get("LUMIO_BUILD") or os.path.join(ROOT, "build")
PEER = os.path.join(BUILD, "bench", "peers", "lumio-peer")
RESULTS = os.path.join(HERE, "RESULTS.md")
# Each platform's run has a section of its own, between marks that name it, and the
# table of every platform's ratios is made anew from those sections.
BEGIN_MARK = "<!-- run_bench.py: begin %s -->"
END_MARK = "<!-- run_bench.py: end %s -->"
PLATFORMS_BEGIN = "<!-- run_bench.py: platforms begin -->"
PLATFORMS_END = "<!-- run_bench.py: platforms end -->"

SMALL_REQUEST = json.dumps({"command": "OrbitToastHide"})
SEQUENTIAL = 5000
BURST = 10000
MIB = 1024 * 1024

INDEX_HTML = """<!DOCTYPE html>
<meta charset="utf-8">
<title>bench</title>
<script>window.__firstScript = Date.now();</script>
<body>bench</body>
"""

# Defined in the page through DevTools once each program is up. Every timing is
# taken inside the page, over a whole block, so performance.now()'s coarse
# resolution does not matter.
BENCH_JS = r"""
window.__bench = (function () {
  function fail(reject, what) {
    return function (code, message) { reject(new Error(what + ': ' + code + ' ' + message)); };
  }
  return {
    // |n| round trips one after the other; ms for all of them.
    sequential: function (n, request) {
      return new Promise(function (resolve, reject) {
        var left = n, t0 = performance.now();
        function next() {
          if (left-- === 0) { resolve(performance.now() - t0); return; }
          window.cefQuery({request: request, onSuccess: next,
                           onFailure: fail(reject, 'sequential')});
        }
        next();
      });
    },
    // |n| queries issued at once; ms until the last first answer, and counts.
    burst: function (n, request) {
      return new Promise(function (resolve) {
        var seen = new Uint8Array(n), answered = 0, extra = 0, failed = 0, ms = -1;
        var t0 = performance.now();
        function finish() {
          resolve({ms: ms, answered: answered, extra: extra, failed: failed});
        }
        function answer(i, ok) {
          if (!ok) failed++;
          if (seen[i]++) { extra++; return; }
          if (++answered === n) {
            ms = performance.now() - t0;
            setTimeout(finish, 300);  // any late second answer would show here
          }
        }
        for (var i = 0; i < n; i++) {
          (function (i) {
            window.cefQuery({request: request,
                             onSuccess: function () { answer(i, true); },
                             onFailure: function () { answer(i, false); }});
          })(i);
        }
        setTimeout(finish, 90000);
      });
    },
    // |reps| requests of |size| bytes one after the other; ms of each.
    large: function (size, reps) {
      var head = '{"command":"OrbitToastHide","pad":"', tail = '"}';
      var request = head + 'x'.repeat(size - head.length - tail.length) + tail;
      var times = [];
      return new Promise(function (resolve, reject) {
        function next() {
          if (times.length === reps) { resolve(times); return; }
          var t0 = performance.now();
          // echo: false asks the peer to answer "{}", as Lumio does.
          window.cefQuery({request: request, echo: false,
                           onSuccess: function () { times.push(performance.now() - t0); next(); },
                           onFailure: fail(reject, 'large')});
        }
        next();
      });
    },
    xhr: function (url) {
      return new Promise(function (resolve, reject) {
        var x = new XMLHttpRequest(), t0 = performance.now();
        x.open('GET', url);
        x.responseType = 'arraybuffer';
        x.onload = function () {
          resolve({ms: performance.now() - t0, bytes: x.response ? x.response.byteLength : -1});
        };
        x.onerror = function () { reject(new Error('XHR of ' + url + ' failed')); };
        x.send();
      });
    },
    script: function (url) {
      return new Promise(function (resolve, reject) {
        var s = document.createElement('script'), before = window.__bigScript || 0;
        var t0 = performance.now();
        s.onload = function () {
          s.remove();
          resolve({ms: performance.now() - t0, ran: (window.__bigScript || 0) - before});
        };
        s.onerror = function () { reject(new Error('script ' + url + ' failed')); };
        s.src = url;
        document.head.appendChild(s);
      });
    }
  };
})();
true
"""


def write_web(folder, large):
    """The page both programs show; with |large|, the files the serving figures load."""
    os.makedirs(folder, exist_ok=True)
    files = {"index.html": INDEX_HTML.encode()}
    if large:
        files["big16.bin"] = random.Random(16).randbytes(16 * MIB)
        lines = ["window.__bigScript = (window.__bigScript || 0) + 1;\n"]
        size, i = len(lines[0]), 0
        while size < 2 * MIB - 64:
            line = "function f%d(a, b) { return a * %d + b; }\n" % (i, i)
            lines.append(line)
            size += len(line)
            i += 1
        files["big2.js"] = "".join(lines).encode()
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return folder


def write_big_pack(path, unpacked=50 * MIB):
    """A pack like a large web application's: index.html and scripts of generated
    source text, deflated, |unpacked| bytes in all. Returns the unpacked size."""
    rng = random.Random(50)
    words = ["function", "return", "const", "value", "index", "length", "this", "data",
             "element", "=>", "{", "}", "(", ")", ";", "if", "else", "for", "await"]
    total = len(INDEX_HTML)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("index.html", INDEX_HTML)
        part = 0
        while total < unpacked:
            lines, size = [], 0
            while size < 512 * 1024 and total + size < unpacked:
                line = " ".join(rng.choice(words) for _ in range(12)) + " %d;\n" % rng.getrandbits(32)
                lines.append(line)
                size += len(line)
            text = "".join(lines)
            z.writestr("js/part%04d.js" % part, text)
            total += len(text)
            part += 1
    return total


def pack_bytes(folder):
    path = folder.rstrip("/") + ".pak"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(os.listdir(folder)):
            z.write(os.path.join(folder, name), name)
    with open(path, "rb") as f:
        return f.read()


# -- processes --

def process_tree(pid):
    """|pid| and every process descended from it."""
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        children.setdefault(int(fields[1]), []).append(int(name))
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo.extend(children.get(p, []))
    return tree


def cpu_seconds(pid):
    """User plus system time of the whole tree, in seconds."""
    ticks = 0
    for p in process_tree(pid):
        try:
            with open("/proc/%d/stat" % p) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
        except (OSError, IndexError):
            pass
    return ticks / os.sysconf("SC_CLK_TCK")


def memory_kib(pid):
    """(PSS, private) of the whole tree in KiB, from smaps_rollup."""
    pss = private = 0
    for p in process_tree(pid):
        try:
            with open("/proc/%d/smaps_rollup" % p) as f:
                for line in f:
                    key, _, rest = line.partition(":")
                    if key == "Pss":
                        pss += int(rest.split()[0])
                    elif key in ("Private_Clean", "Private_Dirty"):
                        private += int(rest.split()[0])
        except OSError:
            pass
    return pss, private


def connect_page(port, prefix, alive, timeout=60):
    """DevTools connection to the page target whose address starts with |prefix|."""
    import urllib.request

    def probe():
        if not alive():
            raise SessionError("the program exited before its page came up")
        try:
            with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port,
                                        timeout=2) as r:
                targets = json.load(r)
        except (OSError, ValueError):
            return None
        for t in targets:
            if (t.get("type") == "page" and t.get("url", "").startswith(prefix)
                    and t.get("webSocketDebuggerUrl")):
                return t
        return None
    target = wait_for(probe, timeout, interval=0.05, what="a page at " + prefix)
    return DevTools(target["webSocketDebuggerUrl"])


def wait_first_script(devtools, timeout=60):
    devtools.wait_js("typeof window.__firstScript === 'number' && "
                     "typeof window.cefQuery === 'function'", timeout)
    return devtools.evaluate("window.__firstScript")


class Ours:
    name = "Lumio"

    def __init__(self, desktop, root, pack, bus=None):
        env = {"DBUS_SESSION_BUS_ADDRESS": bus} if bus else None
        self.app = Lumio(desktop, root, pack=pack, env=env)

    def start(self):
        self.app.start()
        return self

    @property
    def pid(self):
        return self.app.pid

    def ready(self):
        """Waits for the page; shows the window as the page's handshake does."""
        devtools = self.app.connect(timeout=60)
        first = wait_first_script(devtools)
        answer = self.app.handshake()
        if "success" not in answer:
            raise SessionError("handshake failed: %r" % answer)
        devtools.wait_js("document.visibilityState === 'visible'", 20)
        return devtools, first

    def stop(self):
        self.app.stop()


class Peer:
    name = "peer"

    def __init__(self, desktop, root, url, serve=None):
        self.desktop = desktop
        self.root = root
        self.url = url
        self.serve = serve
        self.user = UserDirs(os.path.join(root, "user"))
        self.proc = None
        self.port = None
        self.devtools = None

    def start(self):
        self.port = free_port()
        env = self.desktop.base_env()
        env.update(self.user.env())
        if os.geteuid() == 0:
            env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        env["QTWEBENGINE_REMOTE_DEBUGGING"] = "127.0.0.1:%d" % self.port
        argv = [PEER] + (["--serve", self.serve] if self.serve else []) + [self.url]
        with open(os.path.join(self.root, "peer.log"), "ab") as log:
            self.proc = subprocess.Popen(argv, env=env, cwd=self.user.home,
                                         stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=subprocess.STDOUT, start_new_session=True)
        return self

    @property
    def pid(self):
        return self.proc.pid

    def ready(self):
        prefix = self.url.rsplit("/", 1)[0] + "/"
        self.devtools = connect_page(self.port, prefix, lambda: self.proc.poll() is None)
        first = wait_first_script(self.devtools)
        self.devtools.wait_js("document.visibilityState === 'visible'", 20)
        return self.devtools, first

    def stop(self):
        if self.devtools is not None:
            self.devtools.close()
        if self.proc is not None and self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait(10)


def start_bus(desktop, root):
    """A second session bus, so that fresh starts of Lumio do not find the
    long-running one there (Lumio allows one instance per session)."""
    r, w = os.pipe()
    desktop._spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    "--address=unix:path=" + os.path.join(root, "bus2"),
                    "--print-address=%d" % w], "dbus2", pass_fds=(w,))
    os.close(w)
    try:
        return _read_fd_line(r, 10, "second session bus address")
    finally:
        os.close(r)


# -- figures --

class Figures:
    def __init__(self):
        self.samples = {}  # (figure, who) -> [value]

    def add(self, figure, who, value):
        self.samples.setdefault((figure, who), []).append(value)

    def get(self, figure, who):
        return self.samples.get((figure, who), [])


def timed_block(devtools, pid, expression, timeout=180):
    cpu0 = cpu_seconds(pid)
    value = devtools.evaluate(expression, timeout=timeout)
    return value, cpu_seconds(pid) - cpu0


def bridge_blocks(figures, who, devtools, pid):
    ms, cpu = timed_block(devtools, pid, "window.__bench.sequential(%d, %s)"
                          % (SEQUENTIAL, json.dumps(SMALL_REQUEST)))
    figures.add("rt_us", who, ms * 1000 / SEQUENTIAL)
    figures.add("cpu_seq_us", who, cpu * 1e6 / SEQUENTIAL)
    time.sleep(0.3)
    result, cpu = timed_block(devtools, pid, "window.__bench.burst(%d, %s)"
                              % (BURST, json.dumps(SMALL_REQUEST)))
    if result["answered"] != BURST or result["extra"] or result["failed"]:
        raise SessionError("%s: burst answered %r" % (who, result))
    figures.add("burst_qps", who, BURST / (result["ms"] / 1000))
    figures.add("cpu_burst_us", who, cpu * 1e6 / BURST)
    time.sleep(0.3)
    for size, reps, key in ((MIB, 5, "large1_ms"), (4 * MIB, 3, "large4_ms")):
        times = devtools.evaluate("window.__bench.large(%d, %d)" % (size, reps), timeout=180)
        figures.add(key, who, statistics.median(times))


def serving_blocks(figures, who, devtools, reps=3):
    xhr, js = [], []
    for _ in range(reps):
        r = devtools.evaluate("window.__bench.xhr('big16.bin?r=%d')"
                              % random.getrandbits(48), timeout=120)
        if r["bytes"] != 16 * MIB:
            raise SessionError("%s: XHR got %r" % (who, r))
        xhr.append(r["ms"])
        r = devtools.evaluate("window.__bench.script('big2.js?r=%d')"
                              % random.getrandbits(48), timeout=120)
        if r["ran"] != 1:
            raise SessionError("%s: the script did not run: %r" % (who, r))
        js.append(r["ms"])
    figures.add("xhr16_ms", who, statistics.median(xhr))
    figures.add("script2_ms", who, statistics.median(js))


def vm_rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def big_pack_sample(figures, desktop, root, bus, i, packs, big_path):
    """One fresh start of Lumio with the small pack and one with the large, in
    alternating order, and one run of unzip -p over the large pack at |big_path|."""
    order = ["small", "big"] if i % 2 == 0 else ["big", "small"]
    for kind in order:
        program = Ours(desktop, os.path.join(root, "pack-%s-%d" % (kind, i)), packs[kind],
                       bus=bus)
        t0 = time.time()
        program.start()
        try:
            _, first = program.ready()
            figures.add("pack_start_ms", kind, first - t0 * 1000)
            time.sleep(1)
            figures.add("pack_rss_mib", kind, vm_rss_kib(program.pid) / 1024)
        finally:
            program.stop()
        time.sleep(0.5)
    t0 = time.monotonic()
    subprocess.run(["unzip", "-p", big_path], stdout=subprocess.DEVNULL, check=True)
    figures.add("unzip_ms", "unzip", (time.monotonic() - t0) * 1000)


def big_pack_table(figures, unpacked):
    start = [b - s for b, s in zip(figures.get("pack_start_ms", "big"),
                                   figures.get("pack_start_ms", "small"))]
    rss = [b - s for b, s in zip(figures.get("pack_rss_mib", "big"),
                                 figures.get("pack_rss_mib", "small"))]
    unzip = figures.get("unzip_ms", "unzip")
    if not start or not unzip:
        return ""
    mib = unpacked / MIB
    ms, mu, mr = statistics.median(start), statistics.median(unzip), statistics.median(rss)
    return "\n".join([
        "| figure | Lumio | baseline | Lumio / baseline | Lumio range | baseline range | n |",
        "| --- | ---: | ---: | ---: | --- | --- | ---: |",
        "| extra start-up with a %.0f MiB pack, vs `unzip -p` of it | %s ms | %s ms | %.2f "
        "| %s–%s ms | %s–%s ms | %d |" % (mib, fmt(ms), fmt(mu), ms / mu, fmt(min(start)),
                                         fmt(max(start)), fmt(min(unzip)), fmt(max(unzip)),
                                         len(start)),
        "| extra resident memory of lumio-app with it, vs its unpacked size | %s MiB "
        "| %s MiB | %.2f | %s–%s MiB | | %d |" % (fmt(mr), fmt(mib), mr / mib, fmt(min(rss)),
                                                fmt(max(rss)), len(rss)),
    ])


def start_sample(figures, who, make, idle_seconds):
    program = make()
    t0 = time.time()
    program.start()
    try:
        devtools, first = program.ready()
        figures.add("start_ms", who, first - t0 * 1000)
        time.sleep(idle_seconds)
        pss, private = memory_kib(program.pid)
        figures.add("pss_mib", who, pss / 1024)
        figures.add("private_mib", who, private / 1024)
    finally:
        program.stop()


# -- report --

ROWS = [
    # key, label, unit, better, whose figures are compared
    ("rt_us", "sequential round trip, small request (%d in a row)" % SEQUENTIAL,
     "µs", "lower", "peer"),
    ("burst_qps", "%d queries issued at once, each answered once" % BURST,
     "queries/s", "higher", "peer"),
    ("large1_ms", "request of 1 MiB, round trip", "ms", "lower", "peer"),
    ("large4_ms", "request of 4 MiB, round trip", "ms", "lower", "peer"),
    ("rt_us", "sequential round trip, vs the peer answering in the call's reply",
     "µs", "lower", "peer-reply"),
    ("burst_qps", "%d at once, vs the peer answering in the call's reply" % BURST,
     "queries/s", "higher", "peer-reply"),
    ("large1_ms", "request of 1 MiB, vs the peer answering in the call's reply", "ms",
     "lower", "peer-reply"),
    ("large4_ms", "request of 4 MiB, vs the peer answering in the call's reply", "ms",
     "lower", "peer-reply"),
    ("xhr16_ms", "16 MiB entry by XHR, vs app:// from disk", "ms", "lower", "peer"),
    ("xhr16_ms", "16 MiB entry by XHR, vs file://", "ms", "lower", "peer-file"),
    ("script2_ms", "2 MiB script loaded by the page, vs app:// from disk", "ms", "lower",
     "peer"),
    ("script2_ms", "2 MiB script loaded by the page, vs file://", "ms", "lower",
     "peer-file"),
    ("start_ms", "start: spawn to the page's first script", "ms", "lower", "peer"),
    ("pss_mib", "idle memory, PSS of every process", "MiB", "lower", "peer"),
    ("private_mib", "idle memory, private pages of every process", "MiB", "lower", "peer"),
    ("cpu_seq_us", "CPU per query, sequential (every process)", "µs", "lower", "peer"),
    ("cpu_burst_us", "CPU per query, %d at once (every process)" % BURST, "µs", "lower",
     "peer"),
    ("cpu_seq_us", "CPU per query, sequential, vs the peer answering in the call's reply",
     "µs", "lower", "peer-reply"),
    ("cpu_burst_us", "CPU per query, %d at once, vs the peer answering in the call's reply"
     % BURST, "µs", "lower", "peer-reply"),
]


def fmt(v):
    if v >= 1000:
        return "%.0f" % v
    if v >= 100:
        return "%.0f" % v
    if v >= 10:
        return "%.1f" % v
    return "%.2f" % v


def table(figures):
    lines = ["| figure | unit | Lumio | peer | Lumio / peer | Lumio range | peer range "
             "| ratio within pairs | n |",
             "| --- | --- | ---: | ---: | ---: | --- | --- | --- | ---: |"]
    for key, label, unit, better, other in ROWS:
        ours, theirs = figures.get(key, "ours"), figures.get(key, other)
        if not ours or not theirs:
            continue
        mo, mp = statistics.median(ours), statistics.median(theirs)
        # The samples of one pair were taken seconds apart, under the same load.
        ratios = [o / p for o, p in zip(ours, theirs) if p]
        lines.append("| %s | %s (%s is better) | %s | %s | %.2f | %s–%s | %s–%s "
                     "| %.2f (%.2f–%.2f) | %d |" % (
                         label, unit, better, fmt(mo), fmt(mp),
                         mo / mp if mp else float("nan"), fmt(min(ours)), fmt(max(ours)),
                         fmt(min(theirs)), fmt(max(theirs)), statistics.median(ratios),
                         min(ratios), max(ratios), min(len(ours), len(theirs))))
    return "\n".join(lines)


def machine():
    model = ""
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    cores = subprocess.run(["nproc"], capture_output=True, text=True).stdout.strip()
    return "%s, %s cores (nproc), %s" % (model or platform.processor(), cores,
                                          platform.platform())


def load_note(loads):
    text = "Load average %.2f at the start, %.2f at the end." % (loads[0], loads[1])
    if max(loads) > 0.5:
        text = ("**Other work shared the machine's cores during this run** (load average "
                "%.2f at the start, %.2f at the end), so single samples are noisy."
                % (loads[0], loads[1]))
    return text


def platform_name():
    """The distribution and release, e.g. "Debian 12": what a section is kept under."""
    fields = {}
    try:
        with open("/etc/os-release") as f:
            for line in f:
                key, _, value = line.strip().partition("=")
                fields[key] = value.strip('"')
    except OSError:
        pass
    name = fields.get("NAME", platform.system()).split()[0]
    return ("%s %s" % (name, fields.get("VERSION_ID", ""))).strip()


def engine_name(app):
    """The engine lumio-app runs with, from its --version."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    out = subprocess.run([app, "--version"], capture_output=True, text=True, env=env,
                         timeout=60)
    lines = dict(line.rsplit(" ", 1) for line in out.stdout.splitlines() if " " in line)
    if out.returncode != 0 or "Qt WebEngine" not in lines or "Chromium" not in lines:
        sys.exit("%s --version did not name its engine:\n%s%s" % (app, out.stdout, out.stderr))
    patch = lines.get("Chromium security patches up to")
    return "Qt WebEngine %s (Chromium %s%s)" % (
        lines["Qt WebEngine"], lines["Chromium"],
        ", security patches up to %s" % patch if patch else "")


def report(figures, args, started, loads, elapsed, unpacked, where, engine):
    text = [BEGIN_MARK % where, "", "## Lumio against a bare Qt WebEngine program: %s"
            % where, "",
            "`bench/run_bench.py` (`make bench`), %s UTC, %s; %s, %s, RelWithDebInfo "
            "build. Medians over %d interleaved pairs (start and "
            "memory: %d fresh starts of each), with the smallest and largest sample."
            % (started.strftime("%Y-%m-%d %H:%M"), machine(), where, engine, args.pairs,
               args.starts),
            "",
            load_note(loads) + " The pairs alternate who goes first and run seconds "
            "apart, so a change of load weighs on both sides alike. The run took %.0f s."
            % elapsed, "",
            table(figures), "",
            "*Lumio / peer* is the ratio of the two medians; *ratio within pairs* is the "
            "median (and range) of the ratios of the two samples of each pair.", "",
            "A large pack (%d fresh starts with each pack, alternating; the start as "
            "above, the memory lumio-app's VmRSS 1 s after the page is up, both taken as "
            "the difference to the same program with a pack of only `index.html`):"
            % args.starts, "",
            big_pack_table(figures, unpacked), "",
            "What is compared:", "",
            "- *peer* is `build/bench/peers/lumio-peer` (bench/peers/): one "
            "`QWebEngineView`, a `QWebChannel` object in the page's main world that "
            "answers each request with the request itself (or `{}` for the 1 MiB and "
            "4 MiB requests, as Lumio answers them), the callback run in the page; "
            "app:// served from the folder on disk by a bare "
            "`QWebEngineUrlSchemeHandler` that replies with the opened `QFile`. "
            "*peer-file* is the same program showing the same folder through "
            "`file://`. *peer-reply* is the same peer with each answer sent back as "
            "the web channel's reply to the call (`bridge.answer(request, callback)`) "
            "instead of as a signal after it: one message back instead of two, as "
            "Lumio's router does.",
            "- Lumio answers `{\"command\":\"OrbitToastHide\"}` (a command that does "
            "nothing on Linux) with `{}`, through the whole path a page's query takes: "
            "the page's stub, the isolated world, the web channel, the router, the "
            "command table, and back. The large requests are the same command with a "
            "`pad` member.",
            "- Lumio serves the files from `lumio.pak` (read into memory at start); the "
            "peer opens each file on each request. Every load carries a fresh query "
            "string, so no cache answers it.",
            "- Start: from spawning the program to `Date.now()` in the page's first "
            "inline script, each start with a fresh profile folder and a page of only "
            "`index.html`. Memory: %d s after that page is up (Lumio's window shown by "
            "its handshake), PSS and private pages summed over the program and every "
            "engine process it started (`/proc/<pid>/smaps_rollup`). Both programs map "
            "the same Qt libraries, so PSS splits those pages between them and with "
            "any other Qt WebEngine program running then; the private figure does not."
            % args.idle,
            "- CPU per query: user and system time from `/proc/<pid>/stat` of the "
            "program and all its engine processes over a block, divided by the queries "
            "of the block (clock ticks of 10 ms; blocks of several seconds).",
            "- Lumio runs its engine with `disable-web-security` and `site-per-process` "
            "and a request interceptor; the peer with the engine's defaults.",
            "",
            "Reproduce: `make bench` (or, once built, `/usr/bin/python3 bench/run_bench.py"
            " --pairs %d --starts %d`)." % (args.pairs, args.starts), "",
            END_MARK % where]
    return "\n".join(text) + "\n"


def sections(text):
    """{platform: its section's text} for every platform's section in |text|."""
    found = {}
    head = BEGIN_MARK.split("%s")[0]
    for part in text.split(head)[1:]:
        where = part.split(" -->", 1)[0]
        end = END_MARK % where
        if end in part:
            found[where] = part.split(end, 1)[0]
    return found


def platforms_table(text):
    """Lumio / peer of every figure, a column for each platform's latest run."""
    columns = {}
    for where, section in sections(text).items():
        rows = {}
        for line in section.splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            # The main table: figure, unit, Lumio, peer, Lumio / peer, ...
            if len(cells) == 9 and cells[4] not in ("Lumio / peer", "---:"):
                rows[(cells[0], cells[1])] = "%s / %s (%s)" % (cells[2], cells[3], cells[4])
        m = re.search(r"Qt WebEngine ([\d.]+) \(Chromium ([\d.]+)", section)
        engine = "Qt %s, Chromium %s" % m.groups() if m else "engine not recorded"
        columns[where] = (engine, rows)
    names = sorted(columns)
    figures = []
    for where in names:
        figures += [f for f in columns[where][1] if f not in figures]
    lines = [PLATFORMS_BEGIN, "", "## Lumio / peer on each platform", "",
             "Each platform's latest `make bench` (its section below), figure by "
             "figure: Lumio's median / the peer's median (their ratio). The peer runs on "
             "the same engine as Lumio in each column.", "",
             "| figure | unit | %s |" % " | ".join(
                 "%s (%s)" % (w, columns[w][0]) for w in names),
             "| --- | --- |" + " ---: |" * len(names)]
    for figure, unit in figures:
        lines.append("| %s | %s | %s |" % (figure, unit, " | ".join(
            columns[w][1].get((figure, unit), "") for w in names)))
    lines += ["", PLATFORMS_END]
    return "\n".join(lines) + "\n"


def write_results(section, where):
    try:
        with open(RESULTS) as f:
            current = f.read()
    except OSError:
        current = "# Benchmark results\n"
    begin, end = BEGIN_MARK % where, END_MARK % where
    if begin in current and end in current:
        head, rest = current.split(begin, 1)
        tail = rest.split(end, 1)[1].lstrip("\n")
        current = head + section + ("\n" + tail if tail else "")
    elif sections(current):
        # Beside the other platforms' sections.
        last = END_MARK % sorted(sections(current), key=current.index)[-1]
        head, tail = current.split(last, 1)
        current = head + last + "\n\n" + section.rstrip("\n") + tail
    else:
        current = current.rstrip("\n") + "\n\n" + section
    summary = platforms_table(current)
    if PLATFORMS_BEGIN in current and PLATFORMS_END in current:
        head, rest = current.split(PLATFORMS_BEGIN, 1)
        current = head + summary.rstrip("\n") + rest.split(PLATFORMS_END, 1)[1]
    else:
        head = BEGIN_MARK.split("%s")[0]
        before, after = current.split(head, 1)
        current = before + summary + "\n" + head + after
    with open(RESULTS, "w") as f:
        f.write(current)


def log(*parts):
    print("[%s]" % time.strftime("%H:%M:%S"), *parts, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--starts", type=int, default=6)
    parser.add_argument("--idle", type=int, default=3, help="seconds before memory is read")
    parser.add_argument("--no-write", action="store_true", help="leave RESULTS.md alone")
    parser.add_argument("--keep", action="store_true", help="keep the run's folder")
    args = parser.parse_args()
    for path in (PEER, os.path.join(BUILD, "stage", "bin", "lumio-app")):
        if not os.path.exists(path):
            sys.exit("%s is missing: build first (make bench builds it)" % path)
    os.environ["LUMIO_STAGE"] = os.path.join(BUILD, "stage")
    where = platform_name()
    engine = engine_name(os.path.join(BUILD, "stage", "bin", "lumio-app"))
    log("measuring on %s, %s" % (where, engine))

    started = datetime.datetime.utcnow()
    loads = [os.getloadavg()[0]]
    t_start = time.monotonic()
    root = make_root("lumio-bench-")
    web = write_web(os.path.join(root, "web"), large=True)
    small = write_web(os.path.join(root, "web-small"), large=False)
    pack, small_pack = pack_bytes(web), pack_bytes(small)
    big_path = os.path.join(root, "big-web.pak")
    unpacked = write_big_pack(big_path)
    with open(big_path, "rb") as f:
        big_pack = f.read()
    desktop = Desktop(os.path.join(root, "desktop")).start()
    figures = Figures()
    programs = []
    try:
        bus2 = start_bus(desktop, root)
        log("starting Lumio, the peer and the peer on file://")
        ours = Ours(desktop, os.path.join(root, "ours"), pack)
        peer = Peer(desktop, os.path.join(root, "peer"), "app://lumio/index.html", serve=web)
        peer_file = Peer(desktop, os.path.join(root, "peer-file"),
                         "file://%s/index.html" % web)
        for p in (ours, peer, peer_file):
            programs.append(p)
            p.start()
        pages = {}
        for who, p in (("ours", ours), ("peer", peer), ("peer-file", peer_file)):
            devtools, _ = p.ready()
            devtools.evaluate(BENCH_JS)
            pages[who] = (devtools, p.pid)

        # The same peer, answering each query through the call's own reply.
        devtools, pid = pages["peer"]
        pages["peer-reply"] = (devtools, pid)

        def peer_blocks(figs, who):
            if who == "ours":
                bridge_blocks(figs, who, *pages[who])
                return
            devtools, pid = pages[who]
            devtools.evaluate("window.__peerAnswersInReply = %s; true"
                              % ("true" if who == "peer-reply" else "false"))
            bridge_blocks(figs, who, devtools, pid)

        log("warming up")
        scratch = Figures()
        for who in ("ours", "peer", "peer-reply"):
            peer_blocks(scratch, who)
        for who in ("ours", "peer", "peer-file"):
            serving_blocks(scratch, who, pages[who][0], reps=1)

        for i in range(args.pairs):
            order = ["ours", "peer", "peer-reply"]
            order = order[i % 3:] + order[:i % 3]
            if i % 2:
                order.reverse()
            for who in order:
                peer_blocks(figures, who)
                time.sleep(0.5)
            serve_order = ["ours", "peer", "peer-file"]
            serve_order = serve_order[i % 3:] + serve_order[:i % 3]
            for who in serve_order:
                serving_blocks(figures, who, pages[who][0])
                time.sleep(0.5)
            log("pair %d/%d: round trip %.1f / %.1f / %.1f µs, burst %.0f / %.0f / %.0f q/s" % (
                i + 1, args.pairs, figures.get("rt_us", "ours")[-1],
                figures.get("rt_us", "peer")[-1], figures.get("rt_us", "peer-reply")[-1],
                figures.get("burst_qps", "ours")[-1], figures.get("burst_qps", "peer")[-1],
                figures.get("burst_qps", "peer-reply")[-1]))

        log("fresh starts")
        for i in range(args.starts):
            makers = [
                ("ours", lambda i=i: Ours(desktop, os.path.join(root, "start-ours-%d" % i),
                                          small_pack, bus=bus2)),
                ("peer", lambda i=i: Peer(desktop, os.path.join(root, "start-peer-%d" % i),
                                          "app://lumio/index.html", serve=small)),
            ]
            if i % 2:
                makers.reverse()
            for who, make in makers:
                start_sample(figures, who, make, args.idle)
                time.sleep(0.5)
            log("start %d/%d: %.0f / %.0f ms, PSS %.0f / %.0f MiB" % (
                i + 1, args.starts, figures.get("start_ms", "ours")[-1],
                figures.get("start_ms", "peer")[-1], figures.get("pss_mib", "ours")[-1],
                figures.get("pss_mib", "peer")[-1]))
        log("fresh starts with a %.0f MiB pack" % (unpacked / MIB))
        packs = {"small": small_pack, "big": big_pack}
        for i in range(args.starts):
            big_pack_sample(figures, desktop, root, bus2, i, packs, big_path)
            log("pack start %d/%d: %.0f ms more than with the small pack, unzip -p %.0f ms" % (
                i + 1, args.starts, figures.get("pack_start_ms", "big")[-1] -
                figures.get("pack_start_ms", "small")[-1], figures.get("unzip_ms", "unzip")[-1]))
    finally:
        for p in programs:
            try:
                p.stop()
            except Exception as e:  # keep tearing down
                log("stopping %s: %s" % (p.name, e))
        desktop.stop()
        if not args.keep:
            shutil.rmtree(root, ignore_errors=True)

    loads.append(os.getloadavg()[0])
    section = report(figures, args, started, loads, time.monotonic() - t_start, unpacked,
                     where, engine)
    print(section)
    if not args.no_write:
        write_results(section, where)
        log("wrote", RESULTS)


if __name__ == "__main__":
    main()
