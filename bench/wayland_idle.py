#!/usr/bin/env python3
"""Zorv's resident memory on the headless Wayland desktop: idle after start, and, with
--after-capture SECONDS, again that many seconds after a full-screen capture (when the
capture's portal session should have been closed). Each run starts a fresh Zorv.

Run inside scripts/wayland-desktop.sh:
    scripts/wayland-desktop.sh run --build build -- bench/wayland_idle.py build/zorv [runs]
        [--after-capture SECONDS]"""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb, own_mb, start_zorv

args = [a for a in sys.argv[1:] if not a.startswith("--")]
zorv = os.path.abspath(args[0])
runs = int(args[1]) if len(args) > 1 else 5
after = None
if "--after-capture" in sys.argv:
    after = float(sys.argv[sys.argv.index("--after-capture") + 1])
    args = [a for a in args if a != str(sys.argv[sys.argv.index("--after-capture") + 1])]
SETTLE_SECONDS = 5


def mb(values):
    return (f"min {min(values):5.1f}  median {statistics.median(values):5.1f}  "
            f"max {max(values):5.1f} MB")


idle, idle_own, later, later_own = [], [], [], []
for _ in range(runs):
    work = tempfile.mkdtemp(prefix="zorv-bench.")
    env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
               ZORV_TRACE_FILE=f"{work}/trace.log")
    os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
    open(env["ZORV_TRACE_FILE"], "w").close()
    p = start_zorv(zorv, env)
    try:
        time.sleep(SETTLE_SECONDS)
        idle.append(rss_mb(p.pid))
        idle_own.append(own_mb(p.pid))
        if after is not None:
            subprocess.run([zorv, "fullScreen", "--output", f"{work}/shot.png"], env=env,
                           check=True, stdout=subprocess.DEVNULL, timeout=30)
            time.sleep(after)
            later.append(rss_mb(p.pid))
            later_own.append(own_mb(p.pid))
    finally:
        subprocess.run([zorv, "--quit"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        p.wait(timeout=15)
        shutil.rmtree(work, ignore_errors=True)

print(f"Wayland idle RSS after {SETTLE_SECONDS} s: {mb(idle)}  (own pages {mb(idle_own)}, n={runs})")
if later:
    print(f"{after:g} s after a full-screen capture: {mb(later)}  (own pages {mb(later_own)})")
