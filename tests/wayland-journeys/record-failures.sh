#!/usr/bin/env bash
# Recording on Wayland when the desktop lets go: the portal's screen-sharing backend dies
# mid-recording (the file up to then is kept and filed), the user declines to share the screen
# (told so, nothing filed), then the portal itself is gone (the next recording is refused with
# a message, nothing written, nothing hanging).
source "$(dirname "$0")/../support/wayland-journey-lib.sh"
: "${ZORV_RECORD_ANIM:?the recording journey needs ZORV_RECORD_ANIM}"
command -v ffprobe >/dev/null || { echo "journey: ffprobe missing"; exit 1; }

mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\nrecordingFPS=30\nrecordingCapturesSystemAudio=false\nrecordingCapturesMicrophone=false\n' \
  > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"
# See record.sh: the overlay covers the output, Zorv's other windows float.
swaymsg 'for_window [title="^Zorv Selection$"] fullscreen enable' >/dev/null
swaymsg 'for_window [app_id="^zorv$" title="^(?!Zorv Selection$)"] floating enable' >/dev/null
"$ZORV_RECORD_ANIM" 0 0 1920 1080 60 100000000 >/dev/null 2>&1 &
anim_pid=$!
trap 'kill "$anim_pid" 2>/dev/null || true; stop_zorv' EXIT
wait_until 10 window_shown zorv-record-anim
start_zorv

# The process that owns a D-Bus name on the desktop's bus.
owner_pid() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null | awk '/uint32/ {print $2}'
}
overlay_gone() { ! overlay_shown; }
record_area() {
  "$ZORV_BINARY" recordVideo &
  wait_until 5 overlay_shown || return 1
  pointer move 100 100 wait 100 press left move 300 200 move 740 460 wait 100 release left
  wait_until 5 overlay_gone
}

check "a recording starts" record_area
check "its control window shows" wait_until 10 window_titled "Zorv Recording"
sleep 1.5
backend=$(owner_pid org.freedesktop.impl.portal.desktop.wlr)
check "the screen-sharing backend is found" test -n "$backend"
[ -z "$backend" ] || kill "$backend"
check "the recording stops by itself" wait_until 10 sh -c "! swaymsg -t get_tree | grep -q '\"Zorv Recording\"'"
check "the user is told why" window_titled "Recording stopped: the screen is no longer shared"
check "what was recorded reaches the history" wait_output 20 1 history_count
file=$(/usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true)
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file" 2>/dev/null || echo 0)
check "the kept file plays for about the time recorded ($duration s)" \
  awk -v d="$duration" 'BEGIN { exit !(d > 1.0 && d < 4.0) }'

# The screen-sharing backend again, with a chooser that the user closes without choosing.
printf '[screencast]\nchooser_type=simple\nchooser_cmd=false\n' > "$journey_dir/xdpw.conf"
LD_PRELOAD="$(dirname "$ZORV_BINARY")/tests/zorv-screencopy-shm.so" \
  setsid /usr/libexec/xdg-desktop-portal-wlr -c "$journey_dir/xdpw.conf" >"$journey_dir/xdpw.log" 2>&1 &
chooser_pid=$!
trap 'kill "$anim_pid" "$chooser_pid" 2>/dev/null || true; stop_zorv' EXIT
backend_up() { test -n "$(owner_pid org.freedesktop.impl.portal.desktop.wlr)"; }
check "the backend is back" wait_until 5 backend_up
# As on first use: a stored token would skip the chooser.
token="$XDG_CONFIG_HOME/Zorv/Zorv/screencast-recording-token"
check "the first recording stored its token" test -s "$token"
rm -f "$token"
check "a recording asks for the screen" record_area
check "declining is told plainly" wait_until 10 window_titled "Recording cancelled: the screen was not shared."
check "no control window" sh -c "! swaymsg -t get_tree | grep -q '\"Zorv Recording\"'"
check "nothing is filed" test "$(history_count)" = 1
check "no token is stored" test ! -e "$token"
kill "$chooser_pid"

portal=$(owner_pid org.freedesktop.portal.Desktop)
check "the portal is found" test -n "$portal"
[ -z "$portal" ] || kill "$portal"
wait_until 5 sh -c "! kill -0 $portal 2>/dev/null"
asked=$(date +%s.%N)
# Without the portal not even the overlay's picture of the screen can be taken.
"$ZORV_BINARY" recordVideo >/dev/null 2>&1 &
refused() { window_titled "Zorv cannot take a picture of the screen" || window_titled "Recording failed"; }
check "the start is refused with a message" wait_until 15 refused
answered=$(date +%s.%N)
check "no overlay" sh -c "! swaymsg -t get_tree | grep -q '\"Zorv Selection\"'"
echo "refused after $(awk -v a="$asked" -v b="$answered" 'BEGIN { printf "%.2f", b - a }') s"
check "no control window" sh -c "! swaymsg -t get_tree | grep -q '\"Zorv Recording\"'"
sleep 1
check "nothing more in the history" test "$(history_count)" = 1
check "no half-written file left" sh -c "! ls /tmp/Zorv*.mp4 '${TMPDIR:-/tmp}'/Zorv*.mp4 2>/dev/null | grep -q ."
finish
