#!/usr/bin/env bash
# A GIF as a user makes one: Ctrl+Shift+8, drag an area wider than the GIF may
# be over a program whose picture is known at every moment
# (tests/support/recordanim), about 3 s, Ctrl+Shift+8 again. Then the GIF in
# the history is taken apart: its frames, their delays, its size and loop
# block, and the program's step counter read back out of its frames.
source "$(dirname "$0")/../support/journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the GIF journey needs ZORV_RECORD_ANIM}"
command -v ffprobe >/dev/null || { echo "journey: ffprobe missing"; exit 1; }

gif_fps=10
max_width=600
steps=60 # animation steps per second
export TMPDIR="$journey_dir/tmp"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=30\nrecordingCapturesSystemAudio=false\nrecordingCapturesMicrophone=false\ngifFPS=%s\ngifMaxWidth=%s\n' \
  "$gif_fps" "$max_width" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

hud_count() { xdotool search --onlyvisible --name '^Zorv Recording$' 2>/dev/null | grep -c . || true; }

xsetroot -solid '#3d6b8f'
# The area: 700 × 300 at (150, 190); the program inside it at (200, 200), 480 × 270.
"$ZORV_RECORD_ANIM" 200 200 480 270 "$steps" 100000 >"$journey_dir/anim.log" 2>&1 &
anim_pid=$!
# The toasts' texts, as their windows are titled, while the journey runs.
watch_toasts() {
  while sleep 0.05; do
    for id in $(xdotool search --onlyvisible --name 'GIF' 2>/dev/null); do
      xdotool getwindowname "$id" 2>/dev/null || true
    done
  done >>"$journey_dir/toasts.log"
}
watch_toasts &
watch_pid=$!
trap 'kill "$anim_pid" "$watch_pid" 2>/dev/null || true; stop_zorv' EXIT
wait_until 10 xdotool search --onlyvisible --name '^zorv-record-anim$'
start_zorv
xdotool mousemove --sync 100 100

select_area ctrl+shift+8 150 190 850 490
released=$(date +%s.%N)
check "the control window appears" wait_output 5 1 hud_count
hud_seen=$(date +%s.%N)
sleep 3
xdotool key ctrl+shift+8
stopped=$(date +%s.%N)
check "the control window goes at the stop" wait_output 5 0 hud_count
check "the GIF reaches the history" wait_output 60 1 history_count
kill "$anim_pid" 2>/dev/null || true
sleep 0.3
kill "$watch_pid" 2>/dev/null || true

entry=$(python3 -c 'import json,sys; e=json.load(open(sys.argv[1]))[0]; print(e["kind"], e["pixelWidth"], e["pixelHeight"], e["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
read -r kind pw ph file <<<"$entry"
check "the entry is a GIF of the area's pixel size ($entry)" \
  test "$kind $pw $ph" = "gif 700 300" -a "${file##*.}" = gif -a -f "$file"
[ -f "${file:-}" ] || finish
cp "$file" "$journey_dir/recording.gif"
check "the progress and the result were announced ($(sort -u "$journey_dir/toasts.log" | paste -sd '|'))" \
  sh -c "grep -q '^Building GIF…' '$journey_dir/toasts.log' && grep -qx 'GIF ready' '$journey_dir/toasts.log'"
check "no video or GIF is left in the temporary folder" \
  test -z "$(find "$TMPDIR" -name 'zorv-*.mp4' -o -name 'zorv-*.gif')"

report=$(grep -o 'recording: [0-9]* frames, [0-9]* dropped' "$journey_dir/zorv.log" | tail -1 || true)
python3 - "$file" "$gif_fps" "$max_width" "$steps" "$released" "$hud_seen" "$stopped" "$journey_dir" "$report" <<'EOF' || failures=$((failures + 1))
import json, re, subprocess, sys
path, fps, max_width, steps = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
released, hud_seen, stopped = map(float, sys.argv[5:8])
folder, report = sys.argv[8], sys.argv[9]
failed = 0
def check(what, ok, detail=""):
    global failed
    print(("ok: " if ok else "FAIL: ") + what + (f" ({detail})" if detail else ""))
    failed += not ok

# The file's own blocks: frames, their delays, the loop count.
data = open(path, "rb").read()
check("a GIF89a file", data[:6] == b"GIF89a", data[:6])
width, height, packed = data[6] | data[7] << 8, data[8] | data[9] << 8, data[10]
pos = 13 + (3 << ((packed & 7) + 1) if packed & 0x80 else 0)
def skip_sub_blocks(pos):
    while data[pos]:
        pos += data[pos] + 1
    return pos + 1
delays, frames, loops = [], 0, None
while pos < len(data) and data[pos] != 0x3B:
    if data[pos] == 0x21:
        label = data[pos + 1]
        if label == 0xF9:
            delays.append(data[pos + 4] | data[pos + 5] << 8)
        elif label == 0xFF and data[pos + 3:pos + 14] == b"NETSCAPE2.0" and data[pos + 15] == 1:
            loops = data[pos + 16] | data[pos + 17] << 8
        pos = skip_sub_blocks(pos + 2)
    elif data[pos] == 0x2C:
        frames += 1
        p = data[pos + 9]
        pos += 10 + (3 << ((p & 7) + 1) if p & 0x80 else 0)
        pos = skip_sub_blocks(pos + 1)  # after the LZW code size
    else:
        break
check("the file ends with its trailer", pos < len(data) and data[pos] == 0x3B, f"at {pos} of {len(data)}")
check("it loops forever (NETSCAPE2.0 loop count 0)", loops == 0, loops)

# The recording ran from between the release and the control window's
# appearance until the stop.
shortest, longest = stopped - hud_seen - 0.3, stopped - released + 0.3
lo, hi = int(shortest * fps) - 1, int(longest * fps) + 1
check("frame count fits the duration at the GIF's rate", lo <= frames <= hi, f"{frames} frames, {lo}…{hi}")
# The video's own length, from the engine's report of its 30 fps frames.
m = re.search(r"(\d+) frames, (\d+) dropped", report)
check("the log reports the video's frames", m is not None, report)
if m:
    video = (int(m.group(1)) + int(m.group(2))) / 30
    expected = int(video * fps)
    check("frame count is the video's length at the GIF's rate", abs(frames - expected) <= 1,
          f"{frames} frames for {video:.2f} s at {fps} fps")
check("a delay per frame", len(delays) == frames, f"{len(delays)} delays")
total = sum(delays) / 100
check("the delays add up to the duration", shortest - 0.1 <= total <= longest + 0.1,
      f"{total:.2f} s, {shortest:.2f}…{longest:.2f} s")
check("the delays keep real time", abs(total - frames / fps) <= 0.011, f"{total:.2f} s for {frames} frames")

probe = json.loads(subprocess.check_output(["ffprobe", "-v", "error", "-show_streams", "-of", "json", path]))
v = probe["streams"][0]
check("ffprobe reads a GIF", v["codec_name"] == "gif", v["codec_name"])
w, h = int(v["width"]), int(v["height"])
check("the size fits the maximum width keeping the area's shape",
      (w, h) == (width, height) and w == max_width and abs(h - max_width * 300 / 700) <= 1, f"{w} × {h}")

# Every frame as the browser shows it, with the program's counter read back:
# it sits 10 px inside the area at (50, 10), twelve blocks of 40 × 90.
raw = subprocess.check_output(["ffmpeg", "-v", "fatal", "-i", path, "-fps_mode", "passthrough",
                               "-f", "rawvideo", "-pix_fmt", "rgb24", "-"])
count = len(raw) // (w * h * 3)
check("ffmpeg decodes every frame", count == frames, f"{count} of {frames}")
s = w / 700
def rgb(i, x, y):
    o = (i * w * h + int(y * s) * w + int(x * s)) * 3
    return raw[o:o + 3]
def block(i, b):
    level = sum(rgb(i, 50 + b * 40 + 20, 10 + 45)) / 3
    return None if 60 < level < 195 else level > 128
counters = []
for i in range(count):
    bits = [block(i, b) for b in range(12)]
    counters.append(None if None in bits else sum(bit << (11 - b) for b, bit in enumerate(bits)))
check("every frame shows clean counter blocks", None not in counters, counters[:5])
known = [c for c in counters if c is not None]
steps_between = sorted(b - a for a, b in zip(known, known[1:]))
middle = steps_between[len(steps_between) // 2] if steps_between else 0
check("the counter never goes back", all(d >= 0 for d in steps_between))
check("frames are 1/fps apart on the program's clock", abs(middle - steps / fps) <= 1,
      f"median {middle} steps, expected {steps / fps:.0f}")
bg = rgb(count // 2, 10, 290)
check("the desktop around the program keeps its colour", all(abs(a - b) <= 12 for a, b in zip(bg, (0x3d, 0x6b, 0x8f))),
      tuple(bg))
grey = rgb(count // 2, 50 + 460, 10 + 250)
check("the program's grey keeps its colour", all(abs(c - 40) <= 12 for c in grey), tuple(grey))
subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", path, "-vf", f"select=eq(n\\,{count // 2})",
                "-frames:v", "1", f"{folder}/frame-middle.png"], check=False)
sys.exit(1 if failed else 0)
EOF
[ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/recording.gif" "$journey_dir/frame-middle.png" "$ZORV_SHOTS/"
finish
