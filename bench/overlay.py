#!/usr/bin/env python3
"""Times the selection overlay from outside Zorv, as a user sees it: from the
Control+Shift+4 press (sent through XTEST) until one screen pixel, white
before, is darkened by the overlay's dimming; then Escape until it is white
again. The first opening after start (cold) is followed by `runs` openings at
each of a few spacings (pause between the overlay closing and the next press),
and by one opening after the kept windows were released. Also prints Zorv's
resident memory before the first use, while the overlay's windows are kept,
and after they were released.

Run inside scripts/desktop.sh (bench/run-all.sh does this at 1080p and 4K, with
and without a compositing manager):
    bench/overlay.py build/zorv [runs]

ZORV_KEEP_MS sets how long Zorv keeps large buffers after their last use (the
overlay's windows, the screen grab's shared memory and images; five minutes by
default). Unless it is set already, this script sets 6000 so that the release
can be measured; every spacing stays well below it."""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb, own_mb, switches, summary

zorv = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
CTRL, SHIFT, KEY_4, ESCAPE = "37", "50", "13", "9"  # X keycodes (evdev + 8)
SPACINGS = [0.3, 1.0, 3.0]
keep_ms = int(os.environ.get("ZORV_KEEP_MS", "6000"))
if keep_ms < 1000 * max(SPACINGS) + 2000:
    sys.exit("ZORV_KEEP_MS is too short for the spacings")

work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log", ZORV_KEEP_MS=str(keep_ms))
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write("[General]\nplaySound=false\n")
open(env["ZORV_TRACE_FILE"], "w").close()

info = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
width, height = (int(v) for v in
                 next(l.split()[1] for l in info.splitlines() if "dimensions:" in l).split("x"))
compositing = subprocess.run([presskey, "--compositing"], capture_output=True,
                             text=True).stdout.strip() == "1"
setting = "compositing" if compositing else "no compositor"
# The crosshair and the loupe follow the pointer; the polled pixel stays clear
# of them, of the instruction line at the top and of the tray at the bottom.
pointer = (width // 4, height // 4)
probe = (width * 3 // 4, height // 2)


def marks():
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [(int(t) / 1000.0, name) for t, name in (line.split() for line in f)]


def first_mark(name, after_ms):
    return next((t for t, n in marks() if n == name and t >= after_ms), None)


def press(key, mods, until):
    """Presses the key; returns (press time, ms until the pixel changed or None)."""
    out = subprocess.run([presskey, "--until", until, str(probe[0]), str(probe[1]), key, *mods],
                         capture_output=True, text=True, check=True).stdout.split()
    changed = int(out[1])
    return int(out[0]) / 1000.0, (changed / 1000.0 if changed >= 0 else None)


def server_pid():
    # scripts/desktop.sh starts the X server first and records its PID first.
    try:
        with open(os.path.join(os.environ["ZORV_DESKTOP_STATE"], "pids")) as f:
            return int(f.readline())
    except (KeyError, OSError, ValueError):
        return None


inside = []  # key event seen by Zorv to its first paint handed to the server
failures = []


def open_close(opened, closed):
    pressed, ms = press(KEY_4, [CTRL, SHIFT], "dark")
    if ms is None:
        failures.append("open")
        subprocess.run(["xdotool", "key", "Escape"])
        time.sleep(1)
        return
    opened.append(ms)
    key = first_mark("hotkey-pressed", pressed)
    painted = first_mark("overlay-painted", pressed)
    if key is not None and painted is not None:
        inside.append(painted - key)
    _, ms = press(ESCAPE, [], "white")
    if ms is None:
        failures.append("close")
        time.sleep(1)
    else:
        closed.append(ms)


subprocess.run([presskey, "--white-root"], check=True)
subprocess.run(["xdotool", "mousemove", "--sync", str(pointer[0]), str(pointer[1])], check=True)
time.sleep(0.5)  # a compositing manager repaints the root
p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
try:
    end = time.time() + 15
    while first_mark("hotkeys-registered", 0) is None:
        if time.time() > end:
            sys.exit("zorv did not register its shortcuts")
        time.sleep(0.01)
    time.sleep(3)
    xserver = server_pid()
    idle_rss, idle_own = rss_mb(p.pid), own_mb(p.pid)
    server_idle = rss_mb(xserver) if xserver else None

    closes, cold, warm, after_release = [], [], {}, []
    open_close(cold, closes)
    for spacing in SPACINGS:
        warm[spacing] = []
        for _ in range(runs):
            time.sleep(spacing)
            open_close(warm[spacing], closes)
    last_close = time.time()
    time.sleep(1)
    kept_rss, kept_own = rss_mb(p.pid), own_mb(p.pid)
    server_kept = rss_mb(xserver) if xserver else None
    s0 = switches(p.pid)
    time.sleep(3)
    kept_wakeups = (switches(p.pid) - s0) / 3
    time.sleep(max(0.0, last_close + keep_ms / 1000 + 2 - time.time()))
    released_rss, released_own = rss_mb(p.pid), own_mb(p.pid)
    server_released = rss_mb(xserver) if xserver else None
    open_close(after_release, closes)
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)

print(f"overlay at {width}x{height} ({setting}): Control+Shift+4 press to dimmed pixel")
print(f"first opening (cold)           {summary(cold)}")
for spacing in SPACINGS:
    print(f"later openings, {spacing:3.1f} s apart   {summary(warm[spacing])}")
print(f"first opening after release    {summary(after_release)}")
print(f"inside Zorv: key to 1st paint  {summary(inside)}")
print(f"closing: Escape to white pixel {summary(closes)}")
if failures:
    print(f"timeouts: {len(failures)} ({', '.join(failures)})")
print(f"wake-ups while kept            {kept_wakeups:6.1f} /s")
line = (f"Zorv RSS: idle {idle_rss:.1f} MB, kept {kept_rss:.1f} MB, "
        f"released {released_rss:.1f} MB (without library and font files: "
        f"{idle_own:.1f}, {kept_own:.1f}, {released_own:.1f} MB)")
if xserver:
    line += (f"; X server RSS: idle {server_idle:.1f} MB, kept {server_kept:.1f} MB, "
             f"released {server_released:.1f} MB")
print(line)
all_warm = [v for values in warm.values() for v in values]
nan = float("nan")
print(f"overlay {width}x{height} ({setting}): cold {cold[0] if cold else nan:.0f} ms, "
      f"later median {statistics.median(all_warm) if all_warm else nan:.0f} ms, "
      f"max {max(all_warm) if all_warm else nan:.0f} ms; RSS idle {idle_rss:.0f} / "
      f"kept {kept_rss:.0f} / released {released_rss:.0f} MB")
