#!/usr/bin/env python3
"""Times the tray panel from outside Zorv, as a user sees it: from the click on
the tray icon (sent through XTEST) until a pixel inside the panel's sheet,
white before, is dark; then Escape until it is white again. The first opening
after start (cold) is followed by `runs` later openings. Also prints Zorv's
resident memory idle with the tray icon, after the panel was used and closed,
and the wake-ups of an idle Zorv (context switches of all its threads over
10 s) before and after the panel was used.

Run inside scripts/desktop.sh, which starts a tray (trayer) at the bottom:
    bench/tray.py build/zorv [runs]"""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb, switches, summary

zorv = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
ESCAPE = "9"
IDLE_SECONDS = 10

work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
open(env["ZORV_TRACE_FILE"], "w").close()
compositing = subprocess.run([presskey, "--compositing"], capture_output=True,
                             text=True).stdout.strip() == "1"
setting = "compositing" if compositing else "no compositor"


def marks():
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [name for _, name in (line.split() for line in f)]


def icon_centre():
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        if '"Zorv": ("zorv" "Zorv")' in line:
            size, absolute = line.split()[-2:]
            w, h = (int(v) for v in size.split("+")[0].split("x"))
            _, x, y = absolute.split("+")
            return int(x) + w // 2, int(y) + h // 2
    return None


def idle_wakeups(pid):
    s0 = switches(pid)
    time.sleep(IDLE_SECONDS)
    return switches(pid) - s0


def timed(args):
    out = subprocess.run([presskey, *args], capture_output=True, text=True, check=True).stdout
    changed = int(out.split()[1])
    return changed / 1000.0 if changed >= 0 else None


subprocess.run([presskey, "--white-root"], check=True)
time.sleep(0.5)
p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
failures = 0
try:
    end = time.time() + 15
    while "tray-installed" not in marks() or icon_centre() is None:
        if time.time() > end:
            sys.exit("no tray icon appeared (is a tray running?)")
        time.sleep(0.05)
    time.sleep(3)
    idle_rss = rss_mb(p.pid)
    idle_switches = idle_wakeups(p.pid)
    ix, iy = icon_centre()
    # Plain dark glass between the chips and the footer, near the notch, so
    # that the entrance animation's first frame (grown out of the notch)
    # covers it too.
    probe = (ix - 150, iy - 102) if iy > 540 else (ix - 150, iy + 102)
    cold, warm, closes = [], [], []
    for n in range(runs + 1):
        opened = timed(["--until", "dark", str(probe[0]), str(probe[1]), "--click", str(ix), str(iy)])
        if opened is None:
            failures += 1
        else:
            (cold if n == 0 else warm).append(opened)
        time.sleep(0.45)  # the entrance animation ends
        closed = timed(["--until", "white", str(probe[0]), str(probe[1]), ESCAPE])
        if closed is None:
            failures += 1
        else:
            closes.append(closed)
        time.sleep(0.4)  # past the reopening guard
    time.sleep(2)
    used_rss = rss_mb(p.pid)
    used_switches = idle_wakeups(p.pid)
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)

print(f"tray panel ({setting}): click on the tray icon to a dark pixel inside the sheet")
print(f"first opening (cold)      {summary(cold)}")
print(f"later openings            {summary(warm)}")
print(f"closing: Escape to white  {summary(closes)}")
if failures:
    print(f"timeouts: {failures}")
print(f"idle wake-ups over {IDLE_SECONDS} s: {idle_switches} before the panel was used, "
      f"{used_switches} after")
nan = float("nan")
print(f"tray ({setting}): cold {cold[0] if cold else nan:.0f} ms, later median "
      f"{statistics.median(warm) if warm else nan:.0f} ms, max {max(warm) if warm else nan:.0f} ms; "
      f"RSS idle {idle_rss:.1f} MB, after closing {used_rss:.1f} MB")
