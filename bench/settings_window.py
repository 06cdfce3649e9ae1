#!/usr/bin/env python3
"""Times the settings window from outside Zorv: from starting `zorv --settings`
until a pixel of the window's sidebar (the selected page's highlight, on a
white desktop) is on screen; the window is closed with Ctrl+W between runs.
Also prints Zorv's resident memory at idle before the first opening, with the
window open, and after it was closed again.

Run inside scripts/desktop.sh at 1920x1080 (the pixel is placed for that size):
    bench/settings_window.py build/zorv [runs]"""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb, own_mb

zorv = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
SHIFT = "50"  # pressed only to start the pixel poll; the window ignores it

work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log")
open(env["ZORV_TRACE_FILE"], "w").close()

info = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
width, height = (int(v) for v in
                 next(l.split()[1] for l in info.splitlines() if "dimensions:" in l).split("x"))
# The window (700 x 690) is centred; the selected sidebar row is near its top left.
probe = ((width - 700) // 2 + 80, (height - 690) // 2 + 32)


def settings_windows():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zorv Settings$"],
                         capture_output=True, text=True).stdout
    return out.split()


def open_once():
    start = time.time()
    client = subprocess.Popen([zorv, "--settings"], env=env)
    out = subprocess.run([presskey, "--until", "dark", str(probe[0]), str(probe[1]), SHIFT],
                         capture_output=True, text=True, check=True).stdout.split()
    client.wait()
    pressed, changed = int(out[0]) / 1e6, int(out[1])
    return None if changed < 0 else (pressed - start) * 1000 + changed / 1000


def close():
    for window in settings_windows():
        subprocess.run(["xdotool", "windowactivate", "--sync", window, "key", "ctrl+w"])
    end = time.time() + 5
    while settings_windows() and time.time() < end:
        time.sleep(0.05)
    subprocess.run([presskey, "--white-root"], check=True)
    time.sleep(0.3)


subprocess.run([presskey, "--white-root"], check=True)
time.sleep(0.5)
p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
try:
    end = time.time() + 15
    while "hotkeys-registered" not in open(env["ZORV_TRACE_FILE"]).read():
        if time.time() > end:
            sys.exit("zorv did not start")
        time.sleep(0.01)
    time.sleep(3)
    idle, idle_own = rss_mb(p.pid), own_mb(p.pid)
    times, failures = [], 0
    first = open_once()
    time.sleep(1)
    shown, shown_own = rss_mb(p.pid), own_mb(p.pid)
    close()
    for _ in range(runs):
        ms = open_once()
        if ms is None:
            failures += 1
        else:
            times.append(ms)
        close()
    time.sleep(2)
    closed, closed_own = rss_mb(p.pid), own_mb(p.pid)
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)

nan = float("nan")
print(f"first opening {first if first is not None else nan:.0f} ms; later: min "
      f"{min(times, default=nan):.0f}, median "
      f"{statistics.median(times) if times else nan:.0f}, max {max(times, default=nan):.0f} ms "
      f"(n={len(times)}, timeouts {failures})")
print(f"RSS idle {idle:.1f}, open {shown:.1f}, closed {closed:.1f} MB; without library "
      f"and font files: {idle_own:.1f}, {shown_own:.1f}, {closed_own:.1f} MB")
print(f"settings window {width}x{height}: open to first paint {first if first is not None else nan:.0f}"
      f" ms first, {statistics.median(times) if times else nan:.0f} ms median; RSS idle "
      f"{idle:.1f} / open {shown:.1f} / closed {closed:.1f} MB ({closed - idle:+.1f} MB after "
      f"{runs + 1} openings; {closed_own - idle_own:+.1f} MB without mapped files)")
