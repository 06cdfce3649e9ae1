#!/usr/bin/env python3
"""Times the quick-access panel from outside Zorv: from the Control+Shift+3
press (sent through XTEST) until a screen pixel inside the panel's
bottom-right corner, white before (the desktop is made white), turns dark.
Also prints the part of it after the capture was delivered (history copy
written, Zorv's "delivery-finished" trace mark) until that pixel changed,
which is what the panel itself costs. The panel closes by itself after two
seconds between runs.

Run inside scripts/desktop.sh (bench/run-all.sh does this at 1080p and 4K):
    bench/quick_access.py build/zorv [runs]

The probe is found from the first panel's window; PROBE=X,Y overrides it."""
import os, shutil, subprocess, sys, tempfile, time
from procstats import summary, start_zorv

zorv = os.path.abspath(sys.argv[1])
runs = max(10, int(sys.argv[2]) if len(sys.argv) > 2 else 10)
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
CTRL, SHIFT, KEY_3 = "37", "50", "12"  # X keycodes (evdev + 8)
SECONDS = 2

work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write(f"[General]\nplaySound=false\nquickAccessSeconds={SECONDS}\nhistoryLimit=5000\n")
open(env["ZORV_TRACE_FILE"], "w").close()


def marks(name, after_ms):
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [int(t) / 1000.0 for t, n in (l.split() for l in f)
                if n == name and int(t) / 1000.0 >= after_ms]


def panels():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zorv Quick Access$"],
                          capture_output=True, text=True).stdout.split()


def wait_gone():
    end = time.time() + SECONDS + 5
    while panels() and time.time() < end:
        time.sleep(0.1)
    time.sleep(0.3)


def press(probe):
    """(press time in ms, ms until the probe turned dark or None)."""
    out = subprocess.run([presskey, "--until", "dark", str(probe[0]), str(probe[1]),
                          "--timeout", "10000", KEY_3, CTRL, SHIFT],
                         capture_output=True, text=True, check=True).stdout.split()
    changed = int(out[1])
    return int(out[0]) / 1000.0, (changed / 1000.0 if changed >= 0 else None)


subprocess.run([presskey, "--white-root"], check=True)
subprocess.run(["xdotool", "mousemove", "--sync", "20", "20"], check=True)
time.sleep(0.5)
p = start_zorv(zorv, env)
try:
    time.sleep(2)

    # A first panel, to find where its corner lies (the work area decides).
    subprocess.run(["xdotool", "key", "ctrl+shift+3"], check=True)
    end = time.time() + 10
    while not panels():
        if time.time() > end:
            sys.exit("no quick-access panel appeared")
        time.sleep(0.05)
    info = subprocess.run(["xwininfo", "-id", panels()[0]], capture_output=True, text=True).stdout
    g = {k: int(l.split()[-1]) for l in info.splitlines()
         for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
         if l.strip().startswith(k)}
    right = g["Absolute upper-left X"] + g["Width"]
    bottom = g["Absolute upper-left Y"] + g["Height"]
    scale = float(os.environ.get("QT_SCALE_FACTOR", "1"))
    # Inside the sheet (24-px shadow margin), in the padding right of the last tile.
    probe = (int(right - 32 * scale), int(bottom - 64 * scale))
    if "PROBE" in os.environ:
        probe = tuple(int(v) for v in os.environ["PROBE"].split(","))
    wait_gone()

    total, after_delivery = [], []
    for _ in range(runs):
        pressed, changed = press(probe)
        total.append(changed)
        time.sleep(0.2)
        delivered = marks("delivery-finished", pressed)
        if changed is not None and delivered:
            after_delivery.append(pressed + changed - delivered[0])
        wait_gone()
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)

info = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
size = next(l.split()[1] for l in info.splitlines() if "dimensions:" in l)
print(f"quick-access panel at {size} (probe {probe[0]},{probe[1]})")
print(f"  Control+Shift+3 press to panel painted  {summary(total)}")
print(f"  capture delivered to panel painted      {summary(after_delivery)}")
