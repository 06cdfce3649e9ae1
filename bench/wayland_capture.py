#!/usr/bin/env python3
"""Zorv's still captures on Wayland, through the portals, timed end to end.

Run inside the Wayland test desktop (with the portal lock, as the Wayland tests are):
    flock /tmp/zorv-wayland.lock scripts/wayland-desktop.sh run --build build -- \\
        env ZORV_SCROLL_PAGE=build/tests/zorv-scroll-page \\
        /usr/bin/python3 bench/wayland_capture.py build/zorv [runs]

Prints, min / median / max over `runs` (default 12) each:
  first use   `zorv fullScreen --output` in a freshly started Zorv, with a stored restore
              token: ScreenCast session set-up, the first frame or the Screenshot portal, PNG
  command → clipboard   `zorv fullScreen` until Zorv set the clipboard (in-process trace),
              checked afterwards with wl-paste
  command → wl-paste   `zorv fullScreen` until another program (wl-paste, polling) is offered
              image/png on an emptied clipboard
  command → file        `zorv fullScreen --output FILE` until the command ended
and Zorv's resident memory (all, and without mapped files) idle before the first capture,
with the session open, and after it was closed (ZORV_KEEP_MS=6000 so that capture buffers are
let go within the wait)."""
import os, subprocess, sys, tempfile, time
from procstats import own_mb, rss_mb, summary

zorv = os.path.abspath(sys.argv[1])
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 12
session_keep_s = 30  # DesktopCast::keepOpenMs
work = tempfile.mkdtemp(prefix="zorv-wlbench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           XDG_STATE_HOME=f"{work}/state", ZORV_TRACE_FILE=f"{work}/trace.log",
           ZORV_KEEP_MS="6000")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write("[General]\nplaySound=false\nshowQuickAccess=false\nhistoryLimit=5000\n")


def marks():
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [(int(t) / 1e6, n) for t, n in (line.split() for line in f if line.strip())]


def wait_for(name, after, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        for t, n in marks():
            if n == name and t >= after:
                return t
        time.sleep(0.002)
    raise RuntimeError(f"no {name} after {after}")


def start():
    open(env["ZORV_TRACE_FILE"], "w").close()
    p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
    wait_for("hotkeys-registered", 0)
    return p


def stop(p):
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()


def command(*args):
    t0 = time.time()
    r = subprocess.run([zorv, "fullScreen", *args], env=env, capture_output=True, text=True)
    if r.returncode != 0:
        raise RuntimeError(f"zorv fullScreen failed: {r.stderr.strip()}")
    return t0, time.time()


# Something detailed on screen (ZORV_SCROLL_PAGE: build/tests/zorv-scroll-page), as a
# screenshot's cost depends on it.
if os.environ.get("ZORV_SCROLL_PAGE"):
    subprocess.Popen([os.environ["ZORV_SCROLL_PAGE"], f"{work}/page-geometry"],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)

# The first session stores the restore token that the runs below use.
p = start()
command("--output", f"{work}/warm.png")
stop(p)

first_use, first_prepared = [], []
for i in range(3):
    p = start()
    t0, t1 = command("--output", f"{work}/first{i}.png")
    first_use.append((t1 - t0) * 1000)
    first_prepared.append((wait_for("capture-prepared", t0) - t0) * 1000)
    if i < 2:
        stop(p)

time.sleep(1)
with_session = rss_mb(p.pid), own_mb(p.pid)
to_clipboard, to_file, prepared, in_zorv = [], [], [], []
for i in range(runs):
    t0, _ = command()
    clip = wait_for("clipboard-set", t0)
    to_clipboard.append((clip - t0) * 1000)
    prepared.append((wait_for("capture-prepared", t0) - t0) * 1000)
    # From the moment the command's own process started (its start-up is not Zorv's work).
    in_zorv.append((clip - wait_for("process-start", t0)) * 1000)
    time.sleep(0.2)
pasted = subprocess.run(["wl-paste", "--list-types"], capture_output=True, text=True).stdout


def clipboard_has_png():
    listed = subprocess.run(["wl-paste", "--list-types"], capture_output=True, text=True)
    return "image/png" in listed.stdout.split()


# As another program sees it: the clipboard emptied, then `zorv fullScreen` until wl-paste
# (which reads through data-control, needing no focus) is offered the picture.
seen_outside = []
for i in range(runs):
    subprocess.run(["wl-copy", "--clear"])
    while clipboard_has_png():
        time.sleep(0.005)
    t0 = time.time()
    c = subprocess.Popen([zorv, "fullScreen"], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    while not clipboard_has_png() and time.time() - t0 < 10:
        pass
    seen_outside.append((time.time() - t0) * 1000 if clipboard_has_png() else None)
    c.wait()
    time.sleep(0.2)
for i in range(runs):
    t0, t1 = command("--output", f"{work}/run{i}.png")
    to_file.append((t1 - t0) * 1000)
    time.sleep(0.2)
after_runs = rss_mb(p.pid), own_mb(p.pid)
time.sleep(session_keep_s + 8)
closed = rss_mb(p.pid), own_mb(p.pid)
stop(p)

p = start()
time.sleep(2)
idle = rss_mb(p.pid), own_mb(p.pid)
stop(p)

size = subprocess.run(["identify", "-format", "%wx%h", f"{work}/run0.png"],
                      capture_output=True, text=True).stdout
print(f"Still captures through the portals at {size}, {runs} runs each:")
print(f"  first use, command → file     {summary(first_use)}")
print(f"    of it, until prepared        {summary(first_prepared)}")
print(f"  command → clipboard set       {summary(to_clipboard)}")
print(f"    of it, until prepared        {summary(prepared)}")
print(f"    command's process → clipboard {summary(in_zorv)}")
print(f"  command → wl-paste sees it   {summary(seen_outside)}")
print(f"  command → file (--output)     {summary(to_file)}")
print(f"  wl-paste offers image/png: {'yes' if 'image/png' in pasted.split() else 'no'}")
for name, (rss, own) in [("idle", idle), ("session open", with_session),
                         ("after the runs", after_runs), ("session closed", closed)]:
    print(f"RSS {name:15} {rss:6.1f} MB, of it not file-backed {own:6.1f} MB")
