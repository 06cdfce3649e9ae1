#!/usr/bin/env python3
"""Times the editor window from outside Zorv, as a user sees it: with "Open
editor immediately" on, from the Control+Shift+3 press (sent through XTEST)
until one screen pixel inside the editor's inspector, white before (the desktop
is made white), turns dark. The first opening after start (cold) is followed by
`runs` more, each closed again (Alt+F4, as the window manager closes it).
Also prints Zorv's resident memory idle, with one editor open, and after it
closed (once the capture's kept buffers were released).

Run inside scripts/desktop.sh (bench/run-all.sh does this at 1080p and 4K):
    bench/editor_window.py build/zorv [runs]

The probe pixel sits in the inspector of a window centred on the screen; the
window is 1600 points wide for any 16:9 capture. PROBE=X,Y overrides it."""
import os, shutil, subprocess, sys, tempfile, time
from procstats import rss_mb, own_mb, summary, start_zorv

zorv = os.path.abspath(sys.argv[1])
runs = max(10, int(sys.argv[2]) if len(sys.argv) > 2 else 10)
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
CTRL, SHIFT, KEY_3 = "37", "50", "12"  # X keycodes (evdev + 8)
keep_ms = int(os.environ.get("ZORV_KEEP_MS", "3000"))

work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log", ZORV_KEEP_MS=str(keep_ms))
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write(f"[General]\nplaySound=false\nopenEditorAfterCapture=true\nhistoryLimit=5000\n"
            f"saveDirectoryPath={work}/saved\n")
open(env["ZORV_TRACE_FILE"], "w").close()

info = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
width, height = (int(v) for v in
                 next(l.split()[1] for l in info.splitlines() if "dimensions:" in l).split("x"))
if "PROBE" in os.environ:
    probe = tuple(int(v) for v in os.environ["PROBE"].split(","))
else:
    # Half-way across the 268-point inspector, below its controls.
    probe = (width // 2 + 800 - 134, height // 2 + 300)


def editors():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", r"\.png$"],
                         capture_output=True, text=True).stdout.split()
    return out


def marks(name, after):
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [int(t) / 1e6 for t, n in (l.split() for l in f) if n == name and int(t) / 1e6 >= after]


def open_editor():
    """Presses the shortcut; ms until the probe pixel turned dark, or None."""
    out = subprocess.run([presskey, "--until", "dark", str(probe[0]), str(probe[1]),
                          "--timeout", "10000", KEY_3, CTRL, SHIFT],
                         capture_output=True, text=True, check=True).stdout.split()
    return int(out[1]) / 1000.0 if int(out[1]) >= 0 else None


def close_editors():
    end = time.time() + 10
    while editors() and time.time() < end:
        subprocess.run(["xdotool", "windowactivate", "--sync", editors()[0], "key", "alt+F4"])
        time.sleep(0.2)
    time.sleep(0.3)


def draw_marks(geometry):
    """A blur, a pixelate and an arrow across the canvas, as a user marks a capture."""
    g = {k: int(l.split()[-1]) for l in geometry.splitlines()
         for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")
         if l.strip().startswith(k)}
    cx = g["Absolute upper-left X"] + (g["Width"] - 268 + 60) // 2
    cy = g["Absolute upper-left Y"] + (g["Height"] + 52) // 2
    for key, (x1, y1, x2, y2) in (("b", (-200, -150, 0, 0)), ("x", (20, 20, 200, 150)),
                                  ("a", (-100, 100, 100, 200))):
        subprocess.run(["xdotool", "key", key, "mousemove", "--sync", str(cx + x1), str(cy + y1),
                        "mousedown", "1", "mousemove", "--sync", str(cx + (x1 + x2) // 2),
                        str(cy + (y1 + y2) // 2), "mousemove", "--sync", str(cx + x2),
                        str(cy + y2), "mouseup", "1"], check=True)
        time.sleep(0.2)


subprocess.run([presskey, "--white-root"], check=True)
# The pointer away from the probe: the window opens on the screen under it.
subprocess.run(["xdotool", "mousemove", "--sync", "20", "20"], check=True)
time.sleep(0.5)
p = start_zorv(zorv, env)
try:
    time.sleep(3)
    idle = rss_mb(p.pid), own_mb(p.pid)

    cold = open_editor()
    time.sleep(1)
    if not editors():
        sys.exit("no editor window opened")
    geometry = subprocess.run(["xwininfo", "-id", editors()[0]], capture_output=True,
                              text=True).stdout
    draw_marks(geometry)
    time.sleep(1)
    opened = rss_mb(p.pid), own_mb(p.pid)
    close_editors()
    time.sleep(keep_ms / 1000 + 2)
    closed = rss_mb(p.pid), own_mb(p.pid)

    warm = []
    for _ in range(runs):
        time.sleep(0.5)
        warm.append(open_editor())
        time.sleep(0.3)
        close_editors()
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)

size = [l.split()[-1] for l in geometry.splitlines() if l.strip().startswith(("Width", "Height"))]
print(f"editor at {width}x{height}: Control+Shift+3 press to editor painted "
      f"(window {'x'.join(size)}, probe {probe[0]},{probe[1]})")
print(f"  first opening (cold)  {summary([cold])}")
print(f"  later openings        {summary(warm)}")
for i, what in enumerate(["RSS", "RSS without mapped files"]):
    print(f"  {what}: idle {idle[i]:.1f} MB, one editor open with a blur, a pixelate and an arrow {opened[i]:.1f} MB "
          f"({opened[i] - idle[i]:+.1f}), closed {closed[i]:.1f} MB ({closed[i] - idle[i]:+.1f})")
