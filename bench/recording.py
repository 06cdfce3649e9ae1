#!/usr/bin/env python3
"""Zorv's screen recording against ffmpeg's x11grab on the same animated content.

Run inside the virtual desktop (its PulseAudio null sink carries a tone):
    scripts/desktop.sh run --monitors 1920x1080 -- bench/recording.py build [seconds] [runs]
Defaults: 60 s, 1 run of each.

A full-screen animation (bench_recording_anim) shows known content that
changes every frame, a 440 Hz tone plays into the default sink, and the pointer
clicks once a second in the bottom-right corner. Then, one after the other:
  zorv     bench_recording_driver: the recording engine as Zorv runs it, with
           pointer, click marks and system audio
  ffmpeg   ffmpeg -f x11grab (pointer drawn), libx264 / libx265 preset
           ultrafast, video only: with a second input (-f pulse) x11grab is
           read in bursts and repeats most frames, which would flatter nobody
each at 1920x1080 H.264 60 fps and HEVC 30 fps. For every recording: frames in
the file, new pictures among them (frames showing an animation step the frame
before did not), frames dropped (the engine's own count; for ffmpeg the frames
the duration called for that bring no new picture, since x11grab repeats a frame
it was late for), CPU of the recording process in cores
(/proc/PID/stat over the recording), file size, and PSNR of every 10th decoded
frame against the animation frame it shows (its step number is drawn in it).
With several runs, min / median / max of each figure."""
import os, re, statistics, subprocess, sys, tempfile, threading, time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 1
anim = os.path.join(build, "bench", "bench_recording_anim")
driver = os.path.join(build, "bench", "bench_recording_driver")
work = tempfile.mkdtemp(prefix="zorv-recording-bench.")
tick = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=nb_read_packets:format=duration", "-of", "default=nw=1", path],
        capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    audio = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=codec_name",
         "-of", "csv=p=0", path], capture_output=True, text=True).stdout.strip()
    return int(values.get("nb_read_packets", 0)), float(values.get("duration", 0)), audio


def psnr(path):
    out = subprocess.run([anim, "psnr", path, "10"], capture_output=True, text=True).stdout
    m = re.search(r"median ([\d.]+)", out)
    d = re.search(r"distinct_steps (\d+)", out)
    return float(m.group(1)) if m else None, int(d.group(1)) if d else 0, out.strip()


def record_zorv(codec, fps, path):
    p = subprocess.Popen([driver, "--seconds", str(seconds), "--fps", str(fps), "--codec", codec,
                          "--out", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         text=True)
    out, err = p.communicate(timeout=seconds + 60)
    figures = dict(re.findall(r"(\w+)=([\d.]+)", out))
    m = re.search(r"recording: (\d+) frames, (\d+) dropped, ([\d.]+) s of silence", err)
    if p.returncode != 0 or not m:
        print(f"  driver failed ({p.returncode}): {err.strip()[-400:]}")
        return None
    return {"dropped": int(m.group(2)), "cores": float(figures["cores"]),
            "padded": float(m.group(3))}


def record_ffmpeg(codec, fps, path):
    encoder = {"h264": "libx264", "hevc": "libx265"}[codec]
    cmd = ["ffmpeg", "-v", "error", "-y", "-f", "x11grab", "-framerate", str(fps),
           "-video_size", "1920x1080", "-draw_mouse", "1", "-i", os.environ["DISPLAY"] + "+0,0",
           "-t", str(seconds), "-c:v", encoder, "-preset", "ultrafast", "-pix_fmt", "yuv420p",
           path]
    p = subprocess.Popen(cmd, stderr=subprocess.PIPE, text=True)
    time.sleep(2)
    first, t1 = cpu_seconds(p.pid), time.monotonic()
    time.sleep(max(1, seconds - 3))
    last, t2 = cpu_seconds(p.pid), time.monotonic()
    _, err = p.communicate(timeout=seconds + 60)
    if p.returncode != 0:
        print(f"  ffmpeg failed: {err.strip()[-400:]}")
        return None
    return {"cores": (last - first) / (t2 - t1), "dropped": None, "padded": None}


def spread(values, unit=""):
    values = [v for v in values if v is not None]
    if not values:
        return "n/a"
    if len(values) == 1:
        return f"{values[0]:.2f}{unit}"
    return (f"min {min(values):.2f} median {statistics.median(values):.2f} "
            f"max {max(values):.2f}{unit} (n={len(values)})")


def main():
    shown = subprocess.Popen([anim, "show", "60"])
    tone = subprocess.run(["pactl", "load-module", "module-sine", "sink=vd_sink",
                           "frequency=440"], capture_output=True, text=True).stdout.strip()
    stop = threading.Event()

    def clicker():
        subprocess.run(["xdotool", "mousemove", "1800", "1000"])
        while not stop.wait(1.0):
            subprocess.run(["xdotool", "click", "1"])

    clicking = threading.Thread(target=clicker)
    clicking.start()
    time.sleep(2)
    try:
        for codec, fps in (("h264", 60), ("hevc", 30)):
            for tool, record in (("zorv", record_zorv), ("ffmpeg", record_ffmpeg)):
                rows = []
                for run in range(runs):
                    path = os.path.join(work, f"{tool}-{codec}-{run}.mp4")
                    figures = record(codec, fps, path)
                    if figures is None or not os.path.exists(path):
                        continue
                    frames, duration, audio = probe(path)
                    value, distinct, detail = psnr(path)
                    expected = round(seconds * fps)
                    if figures["dropped"] is None:
                        # ffmpeg repeats a frame it could not grab in time: what
                        # is missing is a new picture.
                        figures["dropped"] = max(0, expected - distinct)
                    figures.update(frames=frames, distinct=distinct, duration=duration, audio=audio,
                                   mb=os.path.getsize(path) / 1e6, psnr=value,
                                   fps=frames / duration if duration else 0)
                    print(f"  {tool} {codec} run {run + 1}: {frames} frames in {duration:.2f} s "
                          f"({figures['fps']:.1f} fps, {distinct} new pictures), "
                          f"dropped {figures['dropped']}, "
                          f"cpu {figures['cores']:.2f} cores, {figures['mb']:.1f} MB, "
                          f"audio {audio or 'none'}; {detail}", flush=True)
                    rows.append(figures)
                print(f"{tool:6} {codec} 1920x1080@{fps}: "
                      f"frames {spread([r['frames'] for r in rows])}, "
                      f"new pictures {spread([r['distinct'] for r in rows])}, "
                      f"fps {spread([r['fps'] for r in rows])}, "
                      f"dropped {spread([r['dropped'] for r in rows])}, "
                      f"cpu {spread([r['cores'] for r in rows], ' cores')}, "
                      f"size {spread([r['mb'] for r in rows], ' MB')}, "
                      f"psnr {spread([r['psnr'] for r in rows], ' dB')}", flush=True)
    finally:
        stop.set()
        clicking.join()
        shown.terminate()
        shown.wait()
        if tone.isdigit():
            subprocess.run(["pactl", "unload-module", tone])


main()
