#!/usr/bin/env python3
"""GIF conversion: colour reducers side by side on the same recording.

    bench/gif.py build [seconds] [runs]     (default 10 s, 5 runs)

Makes a 1920x1080 30 fps H.264 recording of known animated content, then
converts it to a GIF at 12 fps fitting 900x900. The recording comes from
bench_gif_source (a drawn desktop recorded with Zorv's own video writer) when it
is built, else from ffmpeg's own sources (a moving gradient as the desktop, two
"windows" sliding over it, scrolling text). The converters:
  ffmpeg   Debian's ffmpeg, palettegen + paletteuse (two passes)
  gifski   gifski from the npm package (npm install --prefix BUILD/bench/node
           gifski), fed PNG frames that ffmpeg extracts; time includes that
  zorv     bench_gif_convert: Zorv's whole conversion from the video file
           (decoding, scaling, colour reduction, writing)
Quality: PSNR and SSIM (ffmpeg's filters, RGB) of every decoded GIF frame
against the source frames sampled and scaled the same way (lossless).
Time is wall-clock of the whole conversion, min / median / max over the runs
(the tools take turns, so a busy moment hits them alike); size and quality are
of the last run's GIF (every run makes the same file). gifski is installed
from npm into BUILD/bench/node on first use."""
import os, re, subprocess, sys, tempfile, time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
work = tempfile.mkdtemp(prefix="zorv-gif-bench.")
FPS, WIDTH, HEIGHT = 12, 900, 506  # 1920x1080 fitted into 900x900
# Frame i is the last source frame at or before i / FPS, as Zorv picks them
# (round=up; the default rounds to the nearest and so takes a later frame).
SAMPLE = f"fps={FPS}:round=up,scale={WIDTH}:{HEIGHT}:flags=lanczos"
gifski = os.path.join(build, "bench", "node", "node_modules", "gifski", "bin", "debian", "gifski")
zorv = os.path.join(build, "bench", "bench_gif_convert")
font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def ff(*args):
    run(["ffmpeg", "-y", "-v", "error", *args])


def make_source(path):
    source = os.path.join(build, "bench", "bench_gif_source")
    if os.access(source, os.X_OK):
        run([source, path, str(seconds), "1920", "1080", "30"],
            env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        return
    lines = "\\n".join(f"{i:04d} the quick brown fox jumps over the lazy dog {i * 7919 % 10007}"
                       for i in range(200))
    text = os.path.join(work, "text.txt")
    with open(text, "w") as f:
        f.write(lines.replace("\\n", "\n"))
    graph = (
        f"gradients=s=1920x1080:r=30:d={seconds}:speed=0.02:n=4:seed=7[bg];"
        f"testsrc2=s=640x400:r=30:d={seconds}[w1];"
        f"color=c=white:s=700x500:r=30:d={seconds},"
        f"drawtext=fontfile={font}:textfile={text}:fontsize=18:x=10:y=10-t*60[w2];"
        f"[bg][w1]overlay=x='100+t*90':y='80+t*30'[a];"
        f"[a][w2]overlay=x='1100-t*40':y=450,format=yuv420p"
    )
    ff("-filter_complex", graph, "-t", str(seconds), "-c:v", "libx264", "-preset", "veryfast",
       "-crf", "16", path)


def measure(gif, ref):
    # Decoded straight from the GIF, the comparison drifts out of step after
    # the first frames; a lossless copy of every decoded frame stays in step.
    frames = gif + ".mkv"
    ff("-i", gif, "-fps_mode", "passthrough", "-pix_fmt", "gbrp", "-c:v", "ffv1", frames)
    scores = {}
    for name in ("psnr", "ssim"):
        out = subprocess.run(
            ["ffmpeg", "-v", "info", "-i", frames, "-i", ref, "-lavfi",
             f"[0:v]setpts=N/({FPS}*TB),format=gbrp[a];"
             f"[1:v]setpts=N/({FPS}*TB),format=gbrp[b];[a][b]{name}",
             "-f", "null", "-"], capture_output=True, text=True).stderr
        m = re.search(r"average:([\d.]+|inf)" if name == "psnr" else r"All:([\d.]+)", out)
        scores[name] = float(m.group(1)) if m else float("nan")
    count = subprocess.run(
        ["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=nb_read_frames", "-of", "csv=p=0", frames], capture_output=True, text=True)
    scores["frames"] = int(count.stdout.strip() or 0)
    return scores


def ffmpeg_2pass(src, out):
    pal = os.path.join(work, "palette.png")
    ff("-i", src, "-vf", f"{SAMPLE},palettegen", pal)
    ff("-i", src, "-i", pal, "-lavfi", f"{SAMPLE}[x];[x][1:v]paletteuse", out)


def gifski_run(src, out):
    frames = os.path.join(work, "png")
    os.makedirs(frames, exist_ok=True)
    ff("-i", src, "-vf", SAMPLE, os.path.join(frames, "f%04d.png"))
    pngs = sorted(os.path.join(frames, p) for p in os.listdir(frames))
    run([gifski, "--fps", str(FPS), "-o", out, *pngs])


def zorv_run(src, out):
    run([zorv, src, out, str(FPS), str(max(WIDTH, HEIGHT))])


def ensure_gifski():
    if not os.access(gifski, os.X_OK):
        run(["npm", "install", "--prefix", os.path.join(build, "bench", "node"), "gifski@1.7"])


def main():
    ensure_gifski()
    src = os.path.join(work, "source.mp4")
    ref = os.path.join(work, "reference.mkv")
    make_source(src)
    ff("-i", src, "-vf", SAMPLE, "-c:v", "ffv1", ref)
    tools = [("ffmpeg", ffmpeg_2pass), ("gifski", gifski_run)]
    if os.access(zorv, os.X_OK):
        tools.append(("zorv", zorv_run))
    times = {name: [] for name, _ in tools}
    for _ in range(runs):
        for name, convert in tools:
            out = os.path.join(work, f"{name}.gif")
            if os.path.exists(out):
                os.remove(out)
            start = time.monotonic()
            convert(src, out)
            times[name].append(time.monotonic() - start)
    results = {}
    for name, _ in tools:
        out = os.path.join(work, f"{name}.gif")
        t = sorted(times[name])
        results[name] = dict(time=t[len(t) // 2], tmin=t[0], tmax=t[-1], size=os.path.getsize(out),
                             **measure(out, ref))
    print(f"{'tool':8} {'time s min / median / max':>26} {'size MB':>8} {'PSNR dB':>8} "
          f"{'SSIM':>7} {'frames':>6}")
    for name, r in results.items():
        print(f"{name:8} {r['tmin']:8.2f} {r['time']:8.2f} {r['tmax']:8.2f} "
              f"{r['size'] / 1e6:8.2f} {r['psnr']:8.2f} {r['ssim']:7.4f} {r['frames']:6d}")
    if "zorv" in results:
        z, g, f = results["zorv"], results["gifski"], results["ffmpeg"]
        print(f"zorv/gifski size {z['size'] / g['size']:.2f}, PSNR {z['psnr'] - g['psnr']:+.2f} dB,"
              f" SSIM {z['ssim'] - g['ssim']:+.4f}; zorv/ffmpeg median time {z['time'] / f['time']:.2f}")
    print(f"files in {work}")


main()
