#!/usr/bin/env bash
# Quitting while a recording runs: by `zorv --quit`, and by SIGTERM as a
# logout sends it. Each time the recording is finished and filed in the
# history before Zorv ends, it plays, and nothing stays in the temporary folder.
source "$(dirname "$0")/../support/journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the recording journey needs ZORV_RECORD_ANIM}"
command -v ffprobe >/dev/null || { echo "journey: ffprobe missing"; exit 1; }

export TMPDIR="$journey_dir/tmp"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=30\nrecordingCapturesSystemAudio=false\n' \
  > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

hud_count() { xdotool search --onlyvisible --name '^Zorv Recording$' 2>/dev/null | grep -c . || true; }
gone() { ! kill -0 "$zorv_pid" 2>/dev/null; }
newest_duration() {
  local file
  file=$(python3 -c 'import json,sys; e=json.load(open(sys.argv[1]))[0]; print(e["filePath"] if e["kind"]=="recording" else "")' \
    "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
  [ -f "$file" ] && ffprobe -v error -show_entries format=duration -of csv=p=0 "$file"
}

xsetroot -solid '#3d6b8f'
"$ZORV_RECORD_ANIM" 200 200 480 270 60 100000 >/dev/null 2>&1 &
anim_pid=$!
trap 'kill "$anim_pid" 2>/dev/null || true; stop_zorv' EXIT
wait_until 10 xdotool search --onlyvisible --name '^zorv-record-anim$'

round=0
for how in command signal; do
  round=$((round + 1))
  start_zorv
  xdotool key ctrl+shift+7
  wait_until 5 xdotool search --onlyvisible --name '^Zorv Selection$'
  xdotool mousemove --sync 190 190 mousedown 1 mousemove --sync 400 300 mousemove --sync 690 490 mouseup 1
  check "$how: the recording starts" wait_output 5 1 hud_count
  sleep 2
  if [ "$how" = command ]; then "$ZORV_BINARY" --quit >/dev/null 2>&1 || true; else kill -TERM "$zorv_pid"; fi
  check "$how: Zorv ends" wait_until 30 gone
  wait "$zorv_pid" 2>/dev/null || true
  zorv_pid=""
  check "$how: the recording is in the history" test "$(history_count)" = "$round"
  duration=$(newest_duration || true)
  check "$how: it plays for about the time it ran (${duration:-none} s)" \
    python3 -c 'import sys; sys.exit(not 1.5 < float(sys.argv[1] or 0) < 4)' "${duration:-0}"
  check "$how: nothing is left in the temporary folder" test -z "$(ls -A "$TMPDIR")"
done
finish
