#!/usr/bin/env python3
"""Times the history window from outside Zorv over a generated history of
real PNG captures: from `zorv --history` until the grid has painted (the first
opening, which builds the window, and later ones), a scroll from top to bottom
with the CPU time of the GUI thread against the thumbnail threads (decoding
must stay off the GUI thread), a search keystroke until the grid repainted,
and Zorv's resident memory idle, while open and after closing.

Run inside scripts/desktop.sh:
    bench/history_window.py build/zorv [entries] [runs]"""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb, own_mb, summary

zorv = os.path.abspath(sys.argv[1])
entries = int(sys.argv[2]) if len(sys.argv) > 2 else 500
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
here = os.path.dirname(os.path.abspath(__file__))
work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write(f"[General]\nplaySound=false\nhistoryLimit={max(entries, 10)}\n")
size = "1920x1080" if entries <= 1000 else "1280x800"
subprocess.run([sys.executable, os.path.join(here, "..", "scripts", "history-fixture.py"),
                env["XDG_DATA_HOME"] + "/Zorv", str(entries), "--size", size], check=True)
open(env["ZORV_TRACE_FILE"], "w").close()


def marks(name, after):
    with open(env["ZORV_TRACE_FILE"]) as f:
        return [int(t) / 1e6 for t, n in (l.split() for l in f) if n == name and int(t) / 1e6 >= after]


def wait_mark(name, after, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        found = marks(name, after)
        if found:
            return found[0]
        time.sleep(0.002)
    return None


def memory(pid):
    return rss_mb(pid), own_mb(pid)


def cpu_ms(pid):
    """CPU time of the GUI thread (the process's first) and of all others."""
    tick = os.sysconf("SC_CLK_TCK")
    main = others = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except FileNotFoundError:
            continue
        used = (int(fields[11]) + int(fields[12])) * 1000 / tick
        if int(task) == pid:
            main += used
        else:
            others += used
    return main, others


def window():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Capture History$"],
                         capture_output=True, text=True).stdout.split()
    return out[0] if out else None


def open_window():
    start = time.time()
    subprocess.run([zorv, "--history"], env=env, check=True)
    painted = wait_mark("history-painted", start)
    return None if painted is None else (painted - start) * 1000


def close_window():
    w = window()
    if w:
        # As the user closes it (windowclose would destroy the X window under Qt).
        subprocess.run(["xdotool", "windowactivate", "--sync", w, "key", "ctrl+w"])
    end = time.time() + 5
    while window() and time.time() < end:
        time.sleep(0.01)
    time.sleep(0.3)


p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
try:
    if wait_mark("hotkeys-registered", 0, 15) is None:
        sys.exit("zorv did not start")
    time.sleep(2)
    idle = memory(p.pid)
    cold = open_window()
    time.sleep(1)
    first_open = memory(p.pid)
    close_window()
    warm = []
    for _ in range(runs):
        warm.append(open_window())
        time.sleep(0.3)
        close_window()

    open_window()
    time.sleep(1)
    w = window()
    geometry = subprocess.run(["xdotool", "getwindowgeometry", w], capture_output=True,
                              text=True).stdout
    pos = geometry.split("Position: ")[1].split()[0].split(",")
    subprocess.run(["xdotool", "mousemove", "--sync", str(int(pos[0]) + 400), str(int(pos[1]) + 300)])
    # Which threads open capture files while scrolling (strace, where it may attach).
    trace = f"{work}/opens.log"
    tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=openat", "-o", trace,
                               "-p", str(p.pid)], stderr=subprocess.DEVNULL) \
        if shutil.which("strace") else None
    time.sleep(0.5)
    before = cpu_ms(p.pid)
    start = time.time()
    # Wheel steps until the grid stops repainting: the bottom is reached.
    clicks = 0
    while True:
        subprocess.run(["xdotool", "click", "--repeat", "40", "--delay", "8", "5"])
        clicks += 40
        time.sleep(0.15)
        if not marks("history-painted", time.time() - 0.1) and clicks > 40:
            stamp = time.time()
            subprocess.run(["xdotool", "click", "5"])
            time.sleep(0.2)
            if not marks("history-painted", stamp):
                break
        if clicks > 20000:
            break
    scrolled = time.time() - start
    time.sleep(2)  # the last screenful's thumbnails
    after = cpu_ms(p.pid)
    while_open = memory(p.pid)
    opens = None
    if tracer:
        tracer.terminate()
        tracer.wait()
        opens = {"GUI thread": 0, "other threads": 0}
        with open(trace) as f:
            for line in f:
                if "/History/" in line and "= -1" not in line:
                    tid = int(line.split()[0])
                    opens["GUI thread" if tid == p.pid else "other threads"] += 1

    subprocess.run(["xdotool", "key", "ctrl+f"])
    typed = []
    for ch in "1234":
        stamp = time.time()
        subprocess.run(["xdotool", "key", ch])
        painted = wait_mark("history-painted", stamp, 5)
        typed.append(None if painted is None else (painted - stamp) * 1000)
    subprocess.run(["xdotool", "key", "ctrl+a", "BackSpace"])
    time.sleep(0.5)
    close_window()
    time.sleep(2)
    closed = memory(p.pid)

    print(f"history window, {entries} entries of {size}")
    print(f"  search keystroke to repaint: {summary(typed)}")
    print(f"  scroll top to bottom: {clicks} wheel steps in {scrolled:.1f} s; CPU of the GUI "
          f"thread {after[0] - before[0]:.0f} ms, of the thumbnail threads {after[1] - before[1]:.0f} ms")
    if opens is not None:
        print(f"  capture files opened while scrolling: {opens['GUI thread']} by the GUI thread, "
              f"{opens['other threads']} by other threads")
    for i, what in enumerate(["RSS", "RSS without mapped files"]):
        print(f"  {what}: idle {idle[i]:.1f} MB, first opening {first_open[i]:.1f} MB, after "
              f"scrolling {while_open[i]:.1f} MB, closed {closed[i]:.1f} MB "
              f"({closed[i] - idle[i]:+.1f} MB against idle)")
    print(f"  command to first paint: first {cold:.0f} ms; later {summary(warm)}")
finally:
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()
    shutil.rmtree(work, ignore_errors=True)
