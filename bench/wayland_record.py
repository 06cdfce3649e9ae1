#!/usr/bin/env python3
"""Zorv's screen recording on Wayland: 1080p30 through the ScreenCast portal and PipeWire.

Run inside the headless Wayland desktop (one at a time: the portal backend is shared):
    flock /tmp/zorv-wayland.lock scripts/wayland-desktop.sh run --build build -- \\
        /usr/bin/python3 bench/wayland_record.py build [seconds] [runs]
Defaults: 10 s, 3 runs.

A full-screen animation (bench_recording_anim, 60 steps a second) changes the screen for
every frame the compositor sends (at most 30 a second here). Each run records the whole
1920x1080 output at 30 fps, H.264, with the pointer and system audio, through
bench_recording_driver (the recording engine as Zorv runs it, on the Wayland backend: its own
ScreenCast session, opened when the recording starts). For every run: frames dropped (the
engine's own count), frames in the file and new pictures among them (frames showing an
animation step the frame before did not), the time from start to the first frame, CPU in
cores and resident memory of the recording process while recording. Then min / median / max.
Last, Zorv itself (build/zorv) records the whole output once, started and stopped by
`zorv recordVideo` with the area dragged in its overlay, and its resident memory is read
every second while it records.
"""
import os, re, statistics, subprocess, sys, tempfile, time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
fps = 30
anim = os.path.join(build, "bench", "bench_recording_anim")
driver = os.path.join(build, "bench", "bench_recording_driver")
zorv = os.path.join(build, "zorv")
work = tempfile.mkdtemp(prefix="zorv-wayland-record-bench.")


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=nb_read_packets,width,height:format=duration", "-of", "default=nw=1", path],
        capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    audio = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=codec_name",
         "-of", "csv=p=0", path], capture_output=True, text=True).stdout.strip()
    return (int(values.get("nb_read_packets", 0)), float(values.get("duration", 0)),
            f"{values.get('width')}x{values.get('height')}", audio)


def distinct_steps(path):
    out = subprocess.run([anim, "psnr", path, "10"], capture_output=True, text=True).stdout
    d = re.search(r"distinct_steps (\d+)", out)
    return int(d.group(1)) if d else 0


def record(path):
    started = time.monotonic()
    p = subprocess.run([driver, "--seconds", str(seconds), "--fps", str(fps), "--codec", "h264",
                        "--no-clicks", "--out", path], capture_output=True, text=True,
                       timeout=seconds + 90)
    figures = dict(re.findall(r"(\w+)=([\d.]+)", p.stdout))
    m = re.search(r"recording: (\d+) frames, (\d+) dropped, ([\d.]+) s of silence", p.stderr)
    if p.returncode != 0 or not m:
        print(f"  driver failed ({p.returncode}): {p.stderr.strip()[-600:]}", flush=True)
        return None
    return {"frames_logged": int(m.group(1)), "dropped": int(m.group(2)),
            "cores": float(figures["cores"]), "rss_early": float(figures["rss_mb_early"]),
            "rss_end": float(figures["rss_mb_end"]),
            "overhead": time.monotonic() - started - seconds}


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS")) / 1024


def swaymsg(command):
    subprocess.run(["swaymsg", command], capture_output=True)


def overlay_shown():
    tree = subprocess.run(["swaymsg", "-t", "get_tree"], capture_output=True, text=True).stdout
    return '"Zorv Selection"' in tree


def wait_for(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.05)
    return False


def record_app():
    """Zorv itself, 1920x1080 at 30 fps: its resident memory while it records."""
    home = tempfile.mkdtemp(prefix="app.", dir=work)
    env = dict(os.environ, XDG_CONFIG_HOME=f"{home}/config", XDG_DATA_HOME=f"{home}/data",
               XDG_STATE_HOME=f"{home}/state")
    os.makedirs(f"{home}/config/Zorv")
    with open(f"{home}/config/Zorv/Zorv.conf", "w") as f:
        f.write("[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=30\n"
                "recordingShowsCursor=true\nrecordingCapturesSystemAudio=true\n"
                "recordingCapturesMicrophone=false\n")
    # sway tiles new windows: the overlay is made to cover the output, the rest floats.
    swaymsg('for_window [title="^Zorv Selection$"] fullscreen enable')
    swaymsg('for_window [app_id="^zorv$" title="^(?!Zorv Selection$)"] floating enable')
    log = open(f"{home}/zorv.log", "w")
    app = subprocess.Popen([zorv, "--no-welcome"], env=env, stdout=log, stderr=log)
    try:
        time.sleep(2)
        idle = rss_mb(app.pid)
        subprocess.Popen([zorv, "recordVideo"], env=env)
        if not wait_for(overlay_shown, 5):
            print("  app: the overlay did not show")
            return None
        subprocess.run([os.environ["ZORV_WL_POINTER"], "move", "0", "0", "wait", "100", "press",
                        "left", "move", "900", "500", "move", "1919", "1079", "wait", "100",
                        "release", "left"])
        samples = []
        for _ in range(int(seconds)):
            time.sleep(1)
            samples.append(rss_mb(app.pid))
        subprocess.run([zorv, "recordVideo"], env=env)
        time.sleep(3)
        after = rss_mb(app.pid)
    finally:
        subprocess.run([zorv, "--quit"], env=env)
        try:
            app.wait(timeout=10)
        except subprocess.TimeoutExpired:
            app.kill()
        log.close()
    report = re.findall(r"recording: (\d+) frames, (\d+) dropped", open(f"{home}/zorv.log").read())
    print(f"  app: rss idle {idle:.1f} MB, while recording {spread(samples, ' MB')}, "
          f"after the stop {after:.1f} MB; {report[-1][0] + ' frames, ' + report[-1][1] + ' dropped' if report else 'no recording logged'}",
          flush=True)
    return samples


def spread(values, unit=""):
    values = [v for v in values if v is not None]
    if not values:
        return "n/a"
    return (f"min {min(values):.2f} median {statistics.median(values):.2f} "
            f"max {max(values):.2f}{unit} (n={len(values)})")


def main():
    shown = subprocess.Popen([anim, "show", "60"])
    time.sleep(2)
    rows = []
    try:
        for run in range(runs):
            path = os.path.join(work, f"run-{run}.mp4")
            figures = record(path)
            if figures is None or not os.path.exists(path):
                continue
            frames, duration, size, audio = probe(path)
            figures.update(frames=frames, duration=duration, distinct=distinct_steps(path))
            print(f"  run {run + 1}: {size} {frames} frames in {duration:.2f} s "
                  f"({figures['frames_logged']} grabbed), "
                  f"{figures['distinct']} new pictures, dropped {figures['dropped']}, "
                  f"cpu {figures['cores']:.2f} cores, rss {figures['rss_early']:.1f} -> "
                  f"{figures['rss_end']:.1f} MB, audio {audio or 'none'}, start and stop "
                  f"{figures['overhead']:.2f} s", flush=True)
            rows.append(figures)
        app_rss = record_app()
    finally:
        shown.terminate()
        shown.wait()
    expected = round(seconds * fps)
    print(f"wayland 1920x1080@{fps} h264, {seconds:.0f} s ({expected} frames due), "
          f"{len(rows)} of {runs} runs:")
    for key, label, unit in (("dropped", "dropped frames", ""), ("frames", "frames in file", ""),
                             ("distinct", "new pictures", ""), ("cores", "cpu", " cores"),
                             ("rss_end", "rss while recording", " MB"),
                             ("overhead", "start + stop", " s")):
        print(f"  {label:20} {spread([r[key] for r in rows], unit)}")
    print(f"  {'zorv rss recording':20} {spread(app_rss or [], ' MB')}")
    print(f"recordings kept in {work}")
    return 0 if len(rows) == runs and app_rss else 1


sys.exit(main())
