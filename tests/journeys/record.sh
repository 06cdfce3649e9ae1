#!/usr/bin/env bash
# A screen recording as a user makes one: Ctrl+Shift+7, drag an area over a
# program whose picture is known at every moment (tests/support/recordanim),
# about 5 s with a pointer move and a click and a tone, Ctrl+Shift+7 again.
# Then the file in the history is taken apart with ffprobe/ffmpeg: duration,
# rate, frame count against the log's report, known frames at their times, the
# tone at the time its band shows, pointer and click mark where xdotool put
# them, no control window in the picture, the index before the media data.
source "$(dirname "$0")/../support/journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the recording journey needs ZORV_RECORD_ANIM}"
command -v ffprobe >/dev/null || { echo "journey: ffprobe missing"; exit 1; }

fps=30
steps=60       # animation steps per second
tone_step=270  # the tone starts 4.5 s after the animation
mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=%s\nrecordingShowsCursor=true\nrecordingShowsClicks=true\nrecordingCapturesSystemAudio=true\nrecordingCapturesMicrophone=false\n' \
  "$fps" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

hud_count() { xdotool search --onlyvisible --name '^Zorv Recording$' 2>/dev/null | grep -c . || true; }

xsetroot -solid '#3d6b8f'
# The area: 500 × 300 at (190, 190); the program inside it at (200, 200), 480 × 270.
"$ZORV_RECORD_ANIM" 200 200 480 270 "$steps" "$tone_step" >"$journey_dir/anim.log" 2>&1 &
anim_pid=$!
trap 'kill "$anim_pid" 2>/dev/null || true; stop_zorv' EXIT
wait_until 10 xdotool search --onlyvisible --name '^zorv-record-anim$'
start_zorv
xdotool mousemove --sync 100 100

select_area ctrl+shift+7 190 190 690 490
released=$(date +%s.%N)
check "the control window appears" wait_output 5 1 hud_count
hud_seen=$(date +%s.%N)
hud=$(xdotool search --onlyvisible --name '^Zorv Recording$' | head -1)
read -r hx hy hw hh < <(xwininfo -id "$hud" | awk '/Absolute upper-left X/ {x=$NF}
  /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
check "the control window stays out of the recorded area" \
  test $((hy + hh)) -le 190 -o "$hy" -ge 490 -o $((hx + hw)) -le 190 -o "$hx" -ge 690
import -window root "$journey_dir/desktop-recording.png"
[ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/desktop-recording.png" "$ZORV_SHOTS/record-hud-scale${QT_SCALE_FACTOR:-1}.png"
sleep 2
# The pointer rests at (430, 380) and clicks there (inside the program's grey).
moved=$(date +%s.%N)
xdotool mousemove --sync 430 380
sleep 0.5
clicked=$(date +%s.%N)
xdotool click 1
sleep 2.5
xdotool key ctrl+shift+7
stopped=$(date +%s.%N)
check "the control window goes at the stop" wait_output 5 0 hud_count
check "the recording reaches the history" wait_output 20 1 history_count
kill "$anim_pid" 2>/dev/null || true

file=$(python3 -c 'import json,sys; e=json.load(open(sys.argv[1]))[0]; print(e["filePath"] if e["kind"]=="recording" else "")' \
  "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
check "the entry is a recording in an mp4 file" test -n "$file" -a "${file##*.}" = mp4 -a -f "$file"
[ -f "$file" ] || finish
cp "$file" "$journey_dir/recording.mp4"
report=$(grep -o 'recording: [0-9]* frames, [0-9]* dropped' "$journey_dir/zorv.log" | tail -1 || true)
echo "log: $report"

python3 - "$file" "$journey_dir" "$fps" "$steps" "$released" "$hud_seen" "$moved" "$clicked" "$stopped" "$report" \
  "$journey_dir/anim.log" <<'EOF' || failures=$((failures + 1))
import json, re, struct, subprocess, sys
path, folder, fps, steps = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
released, hud_seen, moved, clicked, stopped = map(float, sys.argv[5:10])
report = sys.argv[10]
# What the animation program put on screen, on its own clock: the first paint
# of each step, and the moment its tone starts to sound.
paints, tone_at, tone_note = {}, None, ""
for line in open(sys.argv[11]):
    f = line.split()
    if len(f) == 3 and f[0] == "paint":
        paints.setdefault(int(f[1]), int(f[2]) / 1e9)
    elif len(f) == 2 and f[0] == "tone-at-ns":
        tone_at = int(f[1]) / 1e9
    elif len(f) == 2 and f[0] == "tone-latency-us":
        tone_note = line.strip()
painted = sorted(paints)
failed = 0
def check(what, ok, detail=""):
    global failed
    print(("ok: " if ok else "FAIL: ") + what + (f" ({detail})" if detail else ""))
    failed += not ok

probe = json.loads(subprocess.check_output(["ffprobe", "-v", "error", "-count_frames",
    "-show_streams", "-show_format", "-of", "json", path]))
video = [s for s in probe["streams"] if s["codec_type"] == "video"]
audio = [s for s in probe["streams"] if s["codec_type"] == "audio"]
check("one video and one audio track", len(video) == 1 and len(audio) == 1)
v = video[0]
duration = float(probe["format"]["duration"])
# The recording starts after the area is chosen and before its window shows.
check("duration about the time the recording ran",
      stopped - hud_seen - 0.3 < duration < stopped - released + 0.3,
      f"{duration:.2f} s, between {stopped - hud_seen:.2f} s and {stopped - released:.2f} s")
# Frames carry their grab times, so ffprobe's guessed rate varies; the average holds.
num, den = map(int, v["avg_frame_rate"].split("/"))
check("frame rate", den and abs(num / den - fps) <= fps * 0.05, v["avg_frame_rate"])
frames = int(v["nb_read_frames"])
m = re.search(r"(\d+) frames, (\d+) dropped", report)
check("the log reports frames and drops", m is not None, report)
if m:
    written, dropped = int(m.group(1)), int(m.group(2))
    check("frame count matches the log's report", frames == written, f"{frames} decoded, {written} reported, {dropped} dropped")
    check("written plus dropped fill the duration", abs(written + dropped - duration * fps) <= fps * 0.2,
          f"{written}+{dropped} against {duration * fps:.0f}")

with open(path, "rb") as f:
    data = f.read()
atoms, pos = [], 0
while pos + 8 <= len(data):
    size, kind = struct.unpack(">I4s", data[pos:pos + 8])
    if size == 1:
        size = struct.unpack(">Q", data[pos + 8:pos + 16])[0]
    atoms.append(kind.decode("latin1"))
    if size < 8:
        break
    pos += size
check("moov before mdat", "moov" in atoms and "mdat" in atoms and atoms.index("moov") < atoms.index("mdat"), " ".join(atoms))

# Every frame, grey, at the video's own size, with its time.
w, h = int(v["width"]), int(v["height"])
# Passthrough: ffmpeg would otherwise repeat frames to fill the gaps of dropped ones.
raw = subprocess.check_output(["ffmpeg", "-v", "fatal", "-i", path, "-map", "0:v", "-fps_mode",
    "passthrough", "-f", "rawvideo", "-pix_fmt", "gray", "-"])
times = [float(t.strip(",")) for t in subprocess.check_output(["ffprobe", "-v", "error",
    "-select_streams", "v", "-show_entries", "frame=pts_time", "-of", "csv=p=0", path]).decode().split()
    if t.strip(",")]
count = min(len(times), len(raw) // (w * h))
check("one picture per frame", count == frames == len(raw) // (w * h), f"{count} of {frames}")
def px(i, x, y):
    return raw[i * w * h + y * w + x]
# The program sits 10 px inside the area; its 12 blocks are 40 × 90.
def counter(i):
    return sum((px(i, 10 + b * 40 + 20, 10 + 45) > 128) << (11 - b) for b in range(12))
values = [counter(i) for i in range(count)]
# A frame showing step c was grabbed while c was on screen: from c's first
# paint until the program painted a later step. A loaded machine can starve
# the program, which then shows an older step for a while; that is its own
# lag, not the recording's, and its paint log says so. The video's time line
# sits at a fixed offset from the program's clock: the median over frames.
def shown_until(c):
    later = next((s for s in painted if s > c), None)
    return paints[later] - 1 / steps if later is not None else float("inf")
offsets = sorted(t - paints[c] for t, c in zip(times, values) if c in paints)
middle = offsets[len(offsets) // 2] if offsets else 0.0
tol = 1 / fps + 1 / steps
misplaced = [(round(t, 3), c) for t, c in zip(times, values)
             if c not in paints or not paints[c] - tol <= t - middle <= shown_until(c) + tol]
stale = sum(1 for s, n in zip(painted, painted[1:]) if n - s > 2)
check("known frames at their times", count > 0 and not misplaced,
      f"{len(misplaced)} of {count} frames off, first {misplaced[:3]}; the program skipped steps {stale} times")
check("frames never go back in time", all(a <= b for a, b in zip(values, values[1:])))

# The band shows from the step at which the tone began to sound: the tone
# belongs at that moment's place on the video's time line.
band = next((times[i] for i in range(count) if px(i, 10 + 240, 10 + 270 - 20) > 200), None)
samples = subprocess.check_output(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-ac", "1",
    "-ar", "48000", "-f", "f32le", "-"])
pcm = struct.unpack(f"<{len(samples) // 4}f", samples)
onset = next((i / 48000 for i, s in enumerate(pcm) if abs(s) > 0.1), None)
check("the tone and its band are both recorded", band is not None and onset is not None and tone_at is not None,
      f"band {band}, tone {onset}, {tone_note}, tone at {tone_at}")
if band is not None and onset is not None and tone_at is not None:
    # A frame shows what was painted during the interval before it: on
    # average half a frame before its time stamp.
    expected = tone_at + middle - 0.5 / fps
    check("tone within one frame of its place in the video", abs(onset - expected) <= 1 / fps,
          f"tone {onset:.3f} s, its moment at {expected:.3f} s, band first seen {band:.3f} s")

# The pointer at (430, 380) is (240, 190) in the video; the program's grey is 40.
near = lambda i, r0, r1: [px(i, 240 + dx, 190 + dy) for dx in range(-r1, r1 + 1) for dy in range(-r1, r1 + 1)
                           if r0 * r0 <= dx * dx + dy * dy <= r1 * r1]
pointer = lambda i: max(abs(p - 40) for p in near(i, 0, 6)) > 60
# Where the pointer arrives fixes the click's place on the video's time line.
arrived = next((i for i in range(count) if pointer(i)), None)
check("the pointer is drawn where xdotool put it", arrived is not None and times[arrived] > 0.5 and
      all(pointer(i) for i in range(arrived, count) if times[i] < times[arrived] + clicked - moved - 0.1))
if arrived is not None:
    click_at = times[arrived] + clicked - moved
    ring = [i for i in range(count) if click_at - 0.1 < times[i] < click_at + 0.5]
    later = [i for i in range(count) if click_at + 1.2 < times[i] < click_at + 2.0]
    changed = lambda i: sum(abs(p - 40) > 30 for p in near(i, 12, 24))
    check("a click mark shows around the click, then fades", ring and later and
          max(changed(i) for i in ring) > max(changed(i) for i in later) + 40,
          f"{[changed(i) for i in ring]} then {[changed(i) for i in later][:3]}")
subprocess.run(["ffmpeg", "-v", "error", "-y", "-ss", "2", "-i", path, "-frames:v", "1", f"{folder}/frame-2s.png"])
sys.exit(1 if failed else 0)
EOF
check "the control window is not in the frames" \
  sh -c "! ffmpeg -v error -i '$file' -vf 'crop=iw:ih:0:0,format=rgb24' -f rawvideo - | python3 -c '
import sys; d=sys.stdin.buffer.read()
red=sum(1 for i in range(0, len(d) - 2, 3 * 97) if d[i] > 220 and d[i+1] < 90 and d[i+2] < 80)
sys.exit(0 if red > 50 else 1)'"
[ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/frame-2s.png" "$journey_dir/recording.mp4" "$ZORV_SHOTS/"
finish
