#!/usr/bin/env python3
"""Times Zorv's full-screen capture end to end in the virtual desktop and
compares it with `flameshot full -p` on the same desktop.

Run inside scripts/desktop.sh (bench/run-all.sh does this at 1080p and 4K):
    bench/fullscreen.py build/zorv [runs]
Every figure is the median of `runs` (default 20)."""
import json, os, shutil, statistics, subprocess, sys, tempfile, time
from procstats import switches

zorv = os.path.abspath(sys.argv[1])
presskey = os.path.join(os.path.dirname(zorv), "bench", "bench_presskey")
CTRL, SHIFT, KEY_3 = "37", "50", "12"  # X keycodes (evdev + 8)
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
work = tempfile.mkdtemp(prefix="zorv-bench.")
env = dict(os.environ, XDG_DATA_HOME=f"{work}/data", XDG_CONFIG_HOME=f"{work}/config",
           ZORV_TRACE_FILE=f"{work}/trace.log")
os.makedirs(env["XDG_CONFIG_HOME"] + "/Zorv", exist_ok=True)
with open(env["XDG_CONFIG_HOME"] + "/Zorv/Zorv.conf", "w") as f:
    f.write("[General]\nplaySound=false\nhistoryLimit=5000\n")  # sound off: measure the capture
size = subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout
size = next(l.split()[1] for l in size.splitlines() if "dimensions:" in l)


def marks():
    out = []
    with open(env["ZORV_TRACE_FILE"]) as f:
        for line in f:
            t, name = line.split()
            out.append((int(t) / 1e6, name))
    return out


def wait_for(name, after, timeout=15):
    end = time.time() + timeout
    while time.time() < end:
        for t, n in marks():
            if n == name and t >= after:
                return t
        time.sleep(0.002)
    raise RuntimeError(f"no {name} after {after}")


def ms(values):
    return f"{statistics.median(values) * 1000:7.1f} ms"


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(next(l.split()[1] for l in f if l.startswith("VmRSS")))


open(env["ZORV_TRACE_FILE"], "w").close()
startups, internal_startups = [], []
for _ in range(min(runs, 10)):
    t0 = time.time()
    p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
    reg = wait_for("hotkeys-registered", t0)
    start = max(t for t, n in marks() if n == "process-start" and t >= t0)
    startups.append(reg - t0)
    internal_startups.append(reg - start)
    subprocess.run([zorv, "--quit"], env=env)
    p.wait()

p = subprocess.Popen([zorv, "--no-welcome"], env=env, stderr=subprocess.DEVNULL)
wait_for("hotkeys-registered", 0)
time.sleep(3)
idle_rss = rss_kb(p.pid)
s0 = switches(p.pid)
time.sleep(10)
wakeups = (switches(p.pid) - s0) / 10

to_clipboard, to_paste, key_to_clip_internal, cli_to_history, key_to_history = [], [], [], [], []
for i in range(runs):
    t0 = int(subprocess.run([presskey, KEY_3, CTRL, SHIFT], capture_output=True,
                            text=True).stdout) / 1e6
    clip = wait_for("clipboard-set", t0)
    pressed = wait_for("hotkey-pressed", t0)
    to_clipboard.append(clip - t0)
    key_to_clip_internal.append(clip - pressed)
    # Until another program can paste the PNG.
    while subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        pass
    to_paste.append(time.time() - t0)
    key_to_history.append(wait_for("history-written", t0) - t0)
    time.sleep(0.2)
for i in range(runs):
    t0 = time.time()
    subprocess.run([zorv, "fullScreen"], env=env)
    cli_to_history.append(wait_for("history-written", t0) - t0)
    time.sleep(0.2)
idle_after_rss = rss_kb(p.pid)
subprocess.run([zorv, "--quit"], env=env)
p.wait()
items = json.load(open(f"{work}/data/Zorv/history.json"))
png_size = os.path.getsize(items[0]["filePath"])

flameshot = []
if shutil.which("flameshot"):
    fdir = f"{work}/flameshot"
    os.makedirs(fdir)
    for i in range(runs):
        before = set(os.listdir(fdir))
        t0 = time.time()
        subprocess.run(["flameshot", "full", "-p", fdir], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        while set(os.listdir(fdir)) == before:
            time.sleep(0.001)
        flameshot.append(time.time() - t0)
    subprocess.run(["pkill", "-x", "flameshot"])

print(f"desktop {size}, {runs} runs, medians")
print(f"start-up to shortcuts registered (command start)  {ms(startups)}")
print(f"start-up to shortcuts registered (inside process) {ms(internal_startups)}")
print(f"idle RSS                                          {idle_rss / 1024:7.1f} MB")
print(f"RSS after {2 * runs} captures                     {idle_after_rss / 1024:7.1f} MB")
print(f"idle wake-ups                                     {wakeups:7.1f} /s")
print(f"shortcut press to clipboard ownership             {ms(to_clipboard)}"
      f"  (from X key event: {ms(key_to_clip_internal).strip()})")
print(f"shortcut press to PNG pastable by another program {ms(to_paste)}")
print(f"shortcut press to history file written            {ms(key_to_history)}")
print(f"PNG size                                          {png_size / 1e6:7.2f} MB")
if flameshot:
    print(f"flameshot full -p to file                         {ms(flameshot)}")
    print(f"zorv fullScreen to history file written           {ms(cli_to_history)}"
          f"  ({statistics.median(flameshot) / statistics.median(cli_to_history):.1f}x faster than flameshot)")
else:
    print(f"zorv fullScreen to history file written           {ms(cli_to_history)}")
shutil.rmtree(work, ignore_errors=True)
