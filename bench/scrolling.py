#!/usr/bin/env python3
"""Zorv's memory around a scrolling capture, read from outside: idle, the
peak while grabbing a 1920x1040 region of a page scrolled by the wheel, and
what is left a few seconds after Done and after cancel. The budget while
capturing is the frames' (maxFrames × one grab) plus 10 %.

Run inside the virtual desktop:
    scripts/desktop.sh run --monitors 1920x1080 -- \
        bench/scrolling.py build/zorv build/tests/zorv-scroll-page [runs]"""
import os, statistics, subprocess, sys, tempfile, time
from procstats import own_mb, start_zorv

zorv = os.path.abspath(sys.argv[1])
page_program = os.path.abspath(sys.argv[2])
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log", ZORV_KEEP_MS="1000")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write("[General]\nplaySound=false\nshowQuickAccess=false\ncopyToClipboard=false\n")
open(env["ZORV_TRACE_FILE"], "w").close()


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def settle_mb(pid, seconds):
    """The smallest resident figure over a few seconds: freed memory comes back."""
    end, low = time.time() + seconds, own_mb(pid)
    while time.time() < end:
        time.sleep(0.2)
        low = min(low, own_mb(pid))
    return low


page = subprocess.Popen([page_program, f"{work}/geometry"], stderr=subprocess.DEVNULL)
time.sleep(1.5)
vx, vy, vw, vh = map(int, open(f"{work}/geometry").read().split())
p = start_zorv(zorv, env)
time.sleep(2)
idle = settle_mb(p.pid, 2)
peaks, after_done, after_cancel = [], [], []
for run in range(runs):
    for ending in ("Return", "Escape"):
        xdotool("key", "ctrl+shift+6")
        time.sleep(0.6)
        # The whole screen but the tray: every grab is a full-width frame.
        xdotool("mousemove", "--sync", 0, 0, "mousedown", 1, "mousemove", "--sync", 900, 500,
                "mousemove", "--sync", 1919, 1039, "mouseup", 1)
        xdotool("mousemove", "--sync", vx + vw // 2, vy + vh // 2)
        peak = 0
        for _ in range(12):
            xdotool("click", "--repeat", 2, "--delay", 30, 5)
            t = time.time() + 0.5
            while time.time() < t:
                peak = max(peak, own_mb(p.pid))
                time.sleep(0.05)
        peaks.append(peak - idle)
        xdotool("key", ending)
        time.sleep(1)
        left = settle_mb(p.pid, 4) - idle
        (after_done if ending == "Return" else after_cancel).append(left)
        # Back to the top of the page for the next round.
        for _ in range(30):
            xdotool("click", "--repeat", 3, "--delay", 5, 4)

frame_mb = 1920 * 1040 * 4 / 2**20
print(f"one grab {frame_mb:.1f} MB; budget per capture "
      f"{min(120, max(8, 335544320 // (1920 * 1040 * 4))) * frame_mb * 1.1:.0f} MB")
for name, values in (("while capturing, above idle", peaks),
                     ("after Done, above idle", after_done),
                     ("after cancel, above idle", after_cancel)):
    print(f"{name:30s} min {min(values):6.1f}  median {statistics.median(values):6.1f}  "
          f"max {max(values):6.1f} MB (n={len(values)})")
print(f"idle {idle:.1f} MB")
p.terminate()
p.wait()
page.terminate()
