#!/usr/bin/env python3
"""GIF conversion memory: a 4K (3840x2160) 30 fps recording of 10 s and of 60 s
(known animated content, x264 ultrafast) converted at 30 fps into at most
900x900. 60 s at 30 fps passes the 900-frame cap; the peak RSS must not grow
with the video's length, since frames are converted one after another.

    bench/gif_memory.py [build] [seconds ...]      (default: build 10 60)

Prints, per length: conversion time, peak RSS, frames written."""
import os, re, subprocess, sys, tempfile

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
lengths = [float(s) for s in sys.argv[2:]] or [10.0, 60.0]
work = tempfile.mkdtemp(prefix="zorv-gif-memory.")
convert = os.path.join(build, "bench", "bench_gif_convert")


def make_source(path, seconds):
    graph = (
        f"gradients=s=3840x2160:r=30:d={seconds}:speed=0.02:n=4:seed=7[bg];"
        f"testsrc2=s=1280x800:r=30:d={seconds}[w];"
        f"[bg][w]overlay=x='200+t*40':y='160+t*15',format=yuv420p"
    )
    subprocess.run(["ffmpeg", "-y", "-v", "error", "-filter_complex", graph, "-t", str(seconds),
                    "-c:v", "libx264", "-preset", "ultrafast", "-crf", "23", path], check=True)


print(f"{'length s':>8} {'time s':>7} {'peak RSS MB':>12} {'frames':>6}")
for seconds in lengths:
    src = os.path.join(work, f"source-{seconds:g}.mp4")
    make_source(src, seconds)
    out = subprocess.run([convert, src, os.path.join(work, f"{seconds:g}.gif"), "30", "900"],
                         check=True, capture_output=True, text=True).stdout
    m = re.search(r"time ([\d.]+) s, peak RSS (\d+) MB, frames (\d+)", out)
    print(f"{seconds:8g} {float(m.group(1)):7.2f} {int(m.group(2)):12d} {int(m.group(3)):6d}")
    os.remove(src)
print(f"files in {work}")
