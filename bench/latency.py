#!/usr/bin/env python3
"""The spread of Zorv's full-screen capture latency, press by press.

Run inside scripts/desktop.sh (bench/run-all.sh does this at 1080p and 4K):
    bench/latency.py build/zorv [presses] [spacing …]
Defaults: 20 presses at each of the spacings 0.2, 1 and 3 s (the quiet time
between the end of one delivery and the next press), and 3 cold presses (the
first press of a freshly started Zorv, each in a new process).

For every press, from the moment the X server had Control+Shift+3:
  owned    a new owner took the CLIPBOARD selection (seen from outside, XFixes)
  targets  that owner answered TARGETS (what a paste asks first)
  history  the history file and index were written (in-process trace)
and the in-process steps in between, to show where the spread comes from.
Prints min / median / max of each, then Zorv's resident memory (VmRSS) idle
before the first press, right after the presses, and once the capture
buffers were released.

ZORV_KEEP_MS sets how long Zorv keeps capture buffers after their last use
(five minutes by default). Unless it is set already, this script sets 6000 so
that the release can be measured; every spacing must stay below it."""
import os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import rss_mb

zorv = os.path.abspath(sys.argv[1])
presses = int(sys.argv[2]) if len(sys.argv) > 2 else 20
spacings = [float(s) for s in sys.argv[3:]] or [0.2, 1.0, 3.0]
cold_starts = 3
keep_ms = int(os.environ.get("ZORV_KEEP_MS", "6000"))
if keep_ms < 1000 * max(spacings) + 2000:
    sys.exit("ZORV_KEEP_MS is too short for the spacings")
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
CTRL, SHIFT, KEY_3 = "37", "50", "12"  # X keycodes (evdev + 8)
work = tempfile.mkdtemp(prefix="zorv-latency.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log", ZORV_KEEP_MS=str(keep_ms))
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write("[General]\nplaySound=false\nhistoryLimit=5000\n")  # sound off: measure the capture
open(env["ZORV_TRACE_FILE"], "w").close()
size = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
size = next(l.split()[1] for l in size.splitlines() if "dimensions:" in l)


class Trace:
    """Reads the trace file as it grows, without reading it all again."""

    def __init__(self, path):
        self.file = open(path)
        self.marks = []

    def read(self):
        for line in self.file.readlines():
            t, name = line.split()
            self.marks.append((int(t) / 1e6, name))
        return self.marks

    def wait_for(self, name, after, timeout=15):
        end = time.time() + timeout
        while time.time() < end:
            for t, n in reversed(self.read()):
                if t < after:
                    break
                if n == name:
                    return t
            time.sleep(0.005)
        raise RuntimeError(f"no {name} after {after}")

    def between(self, start, end):
        return [(t, n) for t, n in self.marks if start <= t <= end]


trace = Trace(env["ZORV_TRACE_FILE"])


def start():
    t0 = time.time()
    p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
    trace.wait_for("hotkeys-registered", t0)
    time.sleep(2)  # start-up work done, as after a login
    return p


def stop(p):
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()


def press():
    out = subprocess.run([presskey, "--clipboard", KEY_3, CTRL, SHIFT], capture_output=True,
                         text=True).stdout.split()
    pressed, owned, answered = (int(v) / 1e6 for v in out)
    if not owned or not answered:
        raise RuntimeError("the clipboard did not change hands")
    done = trace.wait_for("history-written", pressed)
    figures = {"owned": owned - pressed, "targets": answered - pressed,
               "history": done - pressed}
    # In-process steps, each from the previous mark; the first from the press.
    previous = pressed
    for t, name in trace.between(pressed, done):
        figures.setdefault("  " + name, t - previous)
        previous = t
    return figures


def row(label, values):
    ms = sorted(v * 1000 for v in values)
    return (f"{label:26} {ms[0]:7.1f} {statistics.median(ms):7.1f} {ms[-1]:7.1f}"
            f"   n={len(ms)}")


def table(title, runs):
    print(f"{title:26} {'min':>7} {'median':>7} {'max':>7}   (ms)")
    names = []
    for figures in runs:
        names += [n for n in figures if n not in names]
    for name in names:
        values = [f[name] for f in runs if name in f]
        print(row(name, values))


cold = []
for _ in range(cold_starts - 1):
    p = start()
    cold.append(press())
    stop(p)

p = start()
idle_rss = rss_mb(p.pid)
cold.append(press())  # this process's first press is a cold one too
warm = {}
for spacing in spacings:
    warm[spacing] = []
    for _ in range(presses):
        warm[spacing].append(press())
        time.sleep(spacing)
last_press = time.time()
kept_rss = rss_mb(p.pid)
time.sleep(max(0.0, last_press + keep_ms / 1000 + 2 - time.time()))
released_rss = rss_mb(p.pid)
stop(p)

load = os.getloadavg()[0]
print(f"desktop {size}, load average {load:.1f}; press to clipboard owned, to TARGETS "
      f"answered, to history written; indented rows are the steps in between")
table(f"cold first press ({cold_starts}x)", cold)
for spacing in spacings:
    table(f"{presses} presses {spacing:g} s apart", warm[spacing])
print(f"Zorv RSS: idle {idle_rss:.1f} MB, after the presses {kept_rss:.1f} MB, "
      f"released {released_rss:.1f} MB")
every = [f for runs in warm.values() for f in runs]
print(row("all warm presses: owned", [f["owned"] for f in every]))
print(row("all warm presses: history", [f["history"] for f in every]))
shutil.rmtree(work, ignore_errors=True)
