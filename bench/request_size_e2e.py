#!/usr/bin/python3
"""What a large bridge request costs the real program, by size.

Starts lumio-app in a private desktop (as the end-to-end tests do), has the page
send requests of a given size and reports, per request, the time until the page
gets its answer and the CPU time that lumio-app's main thread spent meanwhile:
while the main thread works on a request, the windows neither paint nor take
input. Run from the repository root after building:

  /usr/bin/python3 bench/request_size_e2e.py [size in MiB ...]
"""

import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))

import lumio_session as ls  # noqa: E402

# A request of |size| characters for a command that does not exist: the whole
# path runs (page script, web channel, router, parse) and the answer is short.
SEND = r"""
(function (size) {
  var filler = size - 40;
  var request = '{"command":"BenchNoSuchCommand","data":"' + 'x'.repeat(filler) + '"}';
  return new Promise(function (resolve) {
    var start = performance.now();
    window.cefQuery({request: request,
                     onSuccess: function () { resolve(['success', performance.now() - start]); },
                     onFailure: function (code, message) {
                       resolve([code + ' ' + message, performance.now() - start]);
                     }});
  });
})(%d)
"""


def main_thread_cpu_ms(pid):
    with open("/proc/%d/task/%d/stat" % (pid, pid)) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime, stime
    return ticks * 1000.0 / os.sysconf("SC_CLK_TCK")


def measure(app, size, repeats):
    answers, round_trips, cpu = set(), [], []
    for _ in range(repeats):
        before = main_thread_cpu_ms(app.pid)
        answer, elapsed = app.devtools.evaluate(SEND % size, timeout=300)
        time.sleep(0.5)  # let the main thread finish whatever follows the answer
        cpu.append(main_thread_cpu_ms(app.pid) - before)
        round_trips.append(elapsed)
        answers.add(answer)
    return answers, sorted(round_trips)[len(round_trips) // 2], sorted(cpu)[len(cpu) // 2]


def main():
    sizes = [float(a) for a in sys.argv[1:]] or [1, 4, 10, 16, 32]
    root = ls.make_root("lumio-bench-")
    desktop = ls.Desktop(root)
    try:
        desktop.start()
        run = os.path.join(root, "run")
        os.makedirs(run)
        app = ls.Lumio(desktop, run).start()
        app.wait_page_ready()
        idle = main_thread_cpu_ms(app.pid)
        time.sleep(2)
        idle = (main_thread_cpu_ms(app.pid) - idle) / 4  # per 0.5 s of waiting
        print("main thread idle: %.0f ms CPU per 0.5 s" % idle)
        print("| size | answer | round trip (median) | main thread CPU (median) |")
        print("| --- | --- | --- | --- |")
        for mib in sizes:
            size = int(mib * 1024 * 1024)
            repeats = 5 if mib <= 16 else 3
            answers, trip, cpu = measure(app, size, repeats)
            print("| %g MiB | %s | %.0f ms | %.0f ms |"
                  % (mib, " / ".join(sorted(answers)), trip, cpu - idle))
            sys.stdout.flush()
        app.stop()
    finally:
        desktop.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
