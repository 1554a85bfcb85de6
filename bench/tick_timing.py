#!/usr/bin/env python3
"""Measures the real program's timers from outside, under its own Xvfb.

  tick_timing.py PATH_TO_WHITEOUT [--ticks N] [--passes N]

Sequence ticks: clicks the picture, then watches the window's _NET_WM_NAME
with xprop -spy. Every tick up to 59 sets the title anew (clearing it first),
so the first change after each 2.3 s step marks the tick; ticks 60 to 62
leave the title empty and cannot be seen this way. A tick whose random title
comes out the same as before is missed too, so ticks are matched to their
expected times rather than counted.

Noise period: traces the program's writes to the X server with strace for
1000 passes; each pass is one burst of writes every 60 ms.

Timestamps are taken in this process, the one that clicks and reads.
Prints figures only; never fails on them.
"""
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PERIOD_MS = 2300.0
NOISE_MS = 60.0


def main():
    program = os.path.abspath(sys.argv[1])
    ticks = int(sys.argv[sys.argv.index("--ticks") + 1]) if "--ticks" in sys.argv else 59
    passes = int(sys.argv[sys.argv.index("--passes") + 1]) if "--passes" in sys.argv else 1000
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    work = tempfile.mkdtemp()
    shutil.copytree(os.path.join(source, "demo"), os.path.join(work, "run"))
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    display = ":" + os.read(read, 16).decode().strip()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    processes = [xvfb]
    try:
        app = subprocess.Popen([program], cwd=os.path.join(work, "run"), env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(app)
        window = None
        for _ in range(500):
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(app.pid)], env=env,
                                 capture_output=True, text=True).stdout.split()
            if out:
                window = out[0]
                break
            time.sleep(0.02)
        if not window:
            sys.exit("no window")
        time.sleep(1.0)
        noise_period(app.pid, passes, env)
        sequence_ticks(window, ticks, env, processes)
    finally:
        for process in reversed(processes):
            process.kill()
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


def noise_period(pid, passes, env):
    trace = tempfile.NamedTemporaryFile(suffix=".strace", delete=False).name
    strace = subprocess.Popen(["strace", "-q", "-f", "-ttt", "-e", "trace=writev,sendmsg,write", "-o", trace,
                               "-p", str(pid)], env=env, stderr=subprocess.DEVNULL)
    time.sleep((passes + 2) * NOISE_MS / 1000)
    strace.terminate()
    strace.wait()
    stamps = []
    with open(trace) as lines:
        for line in lines:
            match = re.match(r"\s*(?:\d+\s+)?(\d+\.\d+)\s+(writev|sendmsg|write)\(", line)
            if match:
                stamps.append(float(match.group(1)) * 1000)
    os.unlink(trace)
    bursts = []
    for stamp in stamps:
        if not bursts or stamp - bursts[-1] > 20:
            bursts.append(stamp)
    gaps = [b - a for a, b in zip(bursts, bursts[1:])][:passes]
    if len(gaps) < 10:
        print("noise period: too few passes seen (%d)" % len(gaps))
        return
    print("noise period over %d passes: mean %.2f ms, median %.2f ms, min %.1f, max %.1f"
          % (len(gaps), statistics.mean(gaps), statistics.median(gaps), min(gaps), max(gaps)))


def sequence_ticks(window, ticks, env, processes):
    spy = subprocess.Popen(["xprop", "-spy", "-id", window, "_NET_WM_NAME"], env=env, stdout=subprocess.PIPE,
                           text=True, bufsize=1)
    processes.append(spy)
    spy.stdout.readline()  # the current value, not a change
    subprocess.run(["xdotool", "mousemove", "--window", window, "160", "160"], env=env, check=True)
    subprocess.run(["xdotool", "click", "--delay", "0", "1"], env=env, check=True)
    clicked = time.monotonic() * 1000
    changes = []
    deadline = clicked + (ticks + 0.5) * PERIOD_MS
    while True:
        left = deadline - time.monotonic() * 1000
        if left <= 0 or not select.select([spy.stdout], [], [], left / 1000)[0]:
            break
        if not spy.stdout.readline():
            break
        changes.append(time.monotonic() * 1000 - clicked)
    errors = {}
    for change in changes:
        k = round(change / PERIOD_MS)
        if 1 <= k <= ticks and k not in errors:
            errors[k] = change - k * PERIOD_MS
    if not errors:
        print("ticks: none seen")
        return
    values = list(errors.values())
    last = max(errors)
    print("ticks seen: %d of %d; error against k x 2300 ms after the click (includes the click's own latency):"
          % (len(errors), ticks))
    print("  mean %+.1f ms, min %+.1f, max %+.1f; tick %d: %+.1f ms; drift (tick %d - tick %d): %+.1f ms"
          % (statistics.mean(values), min(values), max(values), last, errors[last], last, min(errors),
             errors[last] - errors[min(errors)]))


if __name__ == "__main__":
    main()
