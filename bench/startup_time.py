#!/usr/bin/env python3
"""Start-up to first frame of the real program, under its own Xvfb.

  startup_time.py PATH_TO_WHITEOUT [RUNS] [FOLDER]

Starts the program RUNS times (default 10) in a copy of FOLDER (default
demo/) and takes the time from the start until the window is mapped and its
centre pixel shows the picture, polling every 5 ms from this process. Also
prints the program's peak RSS from /proc. Prints figures; never fails on them.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def centre_is_drawn(window, env):
    out = subprocess.run(["import", "-window", window, "-crop", "1x1+160+160", "-depth", "8", "rgb:-"],
                         env=env, capture_output=True).stdout
    return len(out) == 3 and out != b"\x00\x00\x00"


def main():
    program = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[3] if len(sys.argv) > 3 else os.path.join(source, "demo")
    work = tempfile.mkdtemp()
    shutil.copytree(folder, os.path.join(work, "run"))
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    env = dict(os.environ, DISPLAY=":" + os.read(read, 16).decode().strip(), QT_QPA_PLATFORM="xcb")
    times, peaks = [], []
    try:
        for _ in range(runs):
            started = time.monotonic()
            app = subprocess.Popen([program], cwd=os.path.join(work, "run"), env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            window = None
            while time.monotonic() - started < 20:
                if not window:
                    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(app.pid)], env=env,
                                           capture_output=True, text=True).stdout.split()
                    window = found[0] if found else None
                if window and centre_is_drawn(window, env):
                    times.append((time.monotonic() - started) * 1000)
                    break
                time.sleep(0.005)
            time.sleep(1)
            with open("/proc/%d/status" % app.pid) as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        peaks.append(int(line.split()[1]) / 1024)
            app.terminate()
            app.wait()
    finally:
        xvfb.kill()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    if times:
        print("start-up to first frame over %d runs: median %.0f ms, min %.0f, max %.0f (polling adds up to ~20 ms)"
              % (len(times), statistics.median(times), min(times), max(times)))
    if peaks:
        print("peak RSS: median %.1f MB, max %.1f MB" % (statistics.median(peaks), max(peaks)))


if __name__ == "__main__":
    main()
