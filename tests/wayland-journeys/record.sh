#!/usr/bin/env bash
# A screen recording on Wayland: `zorv recordVideo`, an area dragged in the overlay over a
# program whose picture is known at every moment (tests/support/recordanim), about 3 s through
# the recording's own ScreenCast session and PipeWire, `zorv recordVideo` again. The file in
# the history is then taken apart with ffprobe/ffmpeg: duration, size, rate, the sound track,
# and the program's step counter advancing from frame to frame.
source "$(dirname "$0")/../support/wayland-journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the recording journey needs ZORV_RECORD_ANIM}"
command -v ffprobe >/dev/null || { echo "journey: ffprobe missing"; exit 1; }

fps=30
steps=60 # animation steps per second
mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=%s\nrecordingShowsCursor=true\nrecordingShowsClicks=true\nrecordingCapturesSystemAudio=true\nrecordingCapturesMicrophone=false\n' \
  "$fps" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

# sway tiles new windows: the program floats at a place of its choosing, the overlay covers the
# output and Zorv's other windows (toasts, the recording's control window) float, out of the
# recorded area.
swaymsg 'for_window [title="^zorv-record-anim$"] "floating enable, resize set 480 270, move absolute position 200 200"' >/dev/null
swaymsg 'for_window [title="^Zorv Selection$"] fullscreen enable' >/dev/null
swaymsg 'for_window [app_id="^zorv$" title="^(?!Zorv Selection$)"] floating enable' >/dev/null
# The area: 500 × 300 at (190, 190); the program inside it at (200, 200), 480 × 270; no tone.
"$ZORV_RECORD_ANIM" 200 200 480 270 "$steps" 100000000 >"$journey_dir/anim.log" 2>&1 &
anim_pid=$!
trap 'kill "$anim_pid" 2>/dev/null || true; stop_zorv' EXIT
wait_until 10 window_shown zorv-record-anim
# A token the portal does not know (revoked, or from another desktop): the portal is asked
# afresh and the new token replaces it; the stills' own token is not the recording's.
tokens="$XDG_CONFIG_HOME/Zorv/Zorv"
mkdir -p "$tokens"
echo "0f7c2a60-stale-token" > "$tokens/screencast-recording-token"
start_zorv

x0=190 y0=190 x1=690 y1=490
"$ZORV_BINARY" recordVideo &
check "the overlay shows" wait_until 5 overlay_shown
pointer move "$x0" "$y0" wait 100 press left move $((x0 + 100)) $((y0 + 60)) move "$x1" "$y1" \
  wait 100 release left
released=$(date +%s.%N)
overlay_gone() { ! overlay_shown; }
check "the overlay goes" wait_until 5 overlay_gone
sleep 3
"$ZORV_BINARY" recordVideo
stopped=$(date +%s.%N)
check "the recording reaches the history" wait_output 20 1 history_count
kill "$anim_pid" 2>/dev/null || true
token=$(cat "$tokens/screencast-recording-token" 2>/dev/null || true)
check "the recording's session stored its own new token ($token)" \
  test -n "$token" -a "$token" != "0f7c2a60-stale-token"
check "the stills' session keeps a token of its own" \
  sh -c "test -s '$tokens/screencast-token' && ! cmp -s '$tokens/screencast-token' '$tokens/screencast-recording-token'"

file=$(/usr/bin/python3 -c 'import json,sys; e=json.load(open(sys.argv[1]))[0]; print(e["filePath"] if e["kind"]=="recording" else "")' \
  "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
check "the entry is a recording in an mp4 file" test -n "$file" -a "${file##*.}" = mp4 -a -f "$file"
[ -f "$file" ] || finish
cp "$file" "$journey_dir/recording.mp4"
report=$(grep -o 'recording: [0-9]* frames, [0-9]* dropped' "$journey_dir/zorv.log" | tail -1 || true)
echo "log: $report"

/usr/bin/python3 - "$file" "$fps" "$steps" "$released" "$stopped" <<'EOF' || failures=$((failures + 1))
import json, subprocess, sys
path, fps, steps = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
released, stopped = map(float, sys.argv[4:6])
failed = 0
def check(what, ok, detail=""):
    global failed
    print(("ok: " if ok else "FAIL: ") + what + (f" ({detail})" if detail else ""))
    failed += not ok

probe = json.loads(subprocess.check_output(["ffprobe", "-v", "error", "-count_frames",
    "-show_streams", "-show_format", "-of", "json", path]))
video = [s for s in probe["streams"] if s["codec_type"] == "video"]
audio = [s for s in probe["streams"] if s["codec_type"] == "audio"]
check("one video track and one sound track", len(video) == 1 and len(audio) == 1,
      f"{len(video)} video, {len(audio)} audio")
if not video:
    sys.exit(1)
v = video[0]
w, h = int(v["width"]), int(v["height"])
check("the area's size", (w, h) == (500, 300), f"{w}x{h}")
duration = float(probe["format"]["duration"])
check("duration about the time the recording ran", 2.0 < duration < stopped - released + 0.3,
      f"{duration:.2f} s of {stopped - released:.2f} s")
num, den = map(int, v["avg_frame_rate"].split("/"))
check("frame rate", den and abs(num / den - fps) <= fps * 0.1, v["avg_frame_rate"])

raw = subprocess.check_output(["ffmpeg", "-v", "fatal", "-i", path, "-map", "0:v", "-fps_mode",
    "passthrough", "-f", "rawvideo", "-pix_fmt", "gray", "-"])
count = len(raw) // (w * h)
# The program sits 10 px inside the area; its 12 blocks are 40 × 90.
def counter(i):
    return sum((raw[i * w * h + 55 * w + 10 + b * 40 + 20] > 128) << (11 - b) for b in range(12))
values = [counter(i) for i in range(count)]
distinct = len(set(values))
# The compositor sends at most 30 frames a second and a busy machine delays some, so a frame
# may repeat the one before; the steps covered show that the video keeps pace.
check("the animation advances in the frames", count > 0 and distinct >= count * 0.5 and
      values[-1] - values[0] >= (count - 1) * steps / fps * 0.8,
      f"{distinct} distinct of {count} frames, steps {values[0]}..{values[-1]}")
check("frames never go back in time", all(a <= b for a, b in zip(values, values[1:])))
sys.exit(1 if failed else 0)
EOF
finish
