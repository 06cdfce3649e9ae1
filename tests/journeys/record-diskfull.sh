#!/usr/bin/env bash
# A recording whose temporary folder fills up: the recording stops by itself,
# the user is told, and what was written is in the history and plays. The
# temporary folder is a small tmpfs (this needs root, as the test desktop has;
# without it the journey says so and is skipped).
source "$(dirname "$0")/../support/journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the recording journey needs ZORV_RECORD_ANIM}"

small="$journey_dir/small-tmp"
mkdir -p "$small"
if ! mount -t tmpfs -o size=4m tmpfs "$small" 2>/dev/null; then
  echo "journey: cannot mount a tmpfs here (not root?); skipped"
  exit 0
fi
export TMPDIR="$small"
mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=30\nrecordingCapturesSystemAudio=false\n' \
  > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

hud_count() { xdotool search --onlyvisible --name '^Zorv Recording$' 2>/dev/null | grep -c . || true; }

xsetroot -solid '#3d6b8f'
# Fast-changing content fills the folder within seconds.
ZORV_ANIM_NOISE=1 "$ZORV_RECORD_ANIM" 0 0 1280 720 60 100000 >/dev/null 2>&1 &
anim_pid=$!
trap 'kill "$anim_pid" 2>/dev/null || true; stop_zorv; umount "$small" 2>/dev/null || true' EXIT
wait_until 10 xdotool search --onlyvisible --name '^zorv-record-anim$'
start_zorv
xdotool key ctrl+shift+7
wait_until 5 xdotool search --onlyvisible --name '^Zorv Selection$'
xdotool mousemove --sync 0 0 mousedown 1 mousemove --sync 600 400 mousemove --sync 1279 719 mouseup 1
check "the recording starts" wait_output 5 1 hud_count
check "a full disk stops the recording by itself" wait_output 60 0 hud_count
check "the user is told why" \
  wait_until 10 grep -q 'Zorv: recording stopped: .*disk' "$journey_dir/zorv.log"
import -window root "$journey_dir/desktop-diskfull.png"
[ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/desktop-diskfull.png" "$ZORV_SHOTS/"
check "what was recorded reaches the history" wait_output 20 1 history_count
# The saved toast replaces the one that said why: it must say it again.
check "the saved toast still says why" \
  wait_until 5 xdotool search --name '^Recording saved .* stopped early: the disk is full$'
file=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames \
  -of csv=p=0 "$file" 2>/dev/null || echo 0)
echo "frames decoded: $frames"
check "the file plays" test "${frames:-0}" -gt 0
check "nothing is left in the temporary folder" test -z "$(ls -A "$small")"
finish
