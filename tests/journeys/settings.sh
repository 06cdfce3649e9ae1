#!/usr/bin/env bash
# The settings and welcome windows as a user meets them: first start, zorv
# --settings, keyboard and mouse changes read back from the file, and a new
# area shortcut that works at once.
source "$(dirname "$0")/../support/journey-lib.sh"

conf="$XDG_CONFIG_HOME/Zorv/Zorv.conf"
window_count() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }
setting() { # the stored line of a key, as a fresh reader of the file sees it
  grep "^$1=" "$conf" 2>/dev/null || true
}
click_in_settings() { # click_in_settings X Y: relative to the window's client area
  local id origin
  id=$(xdotool search --onlyvisible --name '^Zorv Settings$' | head -1)
  origin=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
  set -- $(( ${origin% *} + $1 )) $(( ${origin#* } + $2 ))
  xdotool mousemove "$1" "$2" click 1
}

# First start: the welcome window comes once, and any dismissal counts.
: > "$ZORV_TRACE_FILE"
"$ZORV_BINARY" >"$journey_dir/zorv.log" 2>&1 &
zorv_pid=$!
check "the welcome window appears on the first start" wait_until 5 \
  sh -c "xdotool search --onlyvisible --name '^Welcome to Zorv\$'"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Welcome to Zorv$' | head -1)"
xdotool key Return
check "Start Capturing closes it" wait_output 5 0 window_count 'Welcome to Zorv'
check "and marks it seen" test "$(setting hasSeenWelcome)" = hasSeenWelcome=true
stop_zorv
: > "$ZORV_TRACE_FILE"
"$ZORV_BINARY" >"$journey_dir/zorv.log" 2>&1 &
zorv_pid=$!
wait_until 10 grep -q hotkeys-registered "$ZORV_TRACE_FILE"
sleep 1.5
check "the next start shows no welcome" test "$(window_count 'Welcome to Zorv')" = 0

# One settings window, raised by a second request.
"$ZORV_BINARY" --settings
check "zorv --settings opens the window" wait_output 5 1 window_count 'Zorv Settings'
"$ZORV_BINARY" --settings
sleep 0.5
check "a second request keeps one window" test "$(window_count 'Zorv Settings')" = 1
check "opening wrote no option" test "$(grep -c '=' "$conf")" = 1

# Keyboard: from the sidebar, Tab reaches the controls in visual order.
sleep 0.3
xdotool key Tab Tab Tab Tab Tab space # path, Choose…, Reveal, template, "Copy to clipboard"
check "Space on a switch stores it" wait_output 5 copyToClipboard=false setting copyToClipboard
xdotool key Tab Tab Tab Tab Tab Right # … "Show quick access overlay", then its slider
check "an arrow key on the slider stores it" wait_output 5 quickAccessSeconds=7 \
  setting quickAccessSeconds
# Mouse: the "Play capture sound" switch, and the slider's track right of its
# handle (a page up: ten seconds).
click_in_settings 659 241
check "a click on a switch stores it" wait_output 5 playSound=false setting playSound
click_in_settings 610 350
check "a click on the slider's track stores it" wait_output 5 quickAccessSeconds=17 \
  setting quickAccessSeconds

# A new area shortcut: recording suspends Zorv's own, a taken one is refused
# with its owner's name, and the new one works at once.
click_in_settings 70 50
sleep 0.3
xdotool key Tab space ctrl+shift+3
sleep 0.5
check "recording swallowed the full-screen shortcut" test "$(history_count)" = 0
check "a combination of another action is refused" \
  sh -c "! grep -q '^hotkeys=' '$conf'"
xdotool key space ctrl+alt+a
check "the recorded combination is stored" wait_until 5 \
  sh -c "grep '^hotkeys=' '$conf' | grep -q 'area.*keyCode.*:0,.*modifiers.*:6144'"
xdotool key ctrl+alt+a
check "the new shortcut opens the selection overlay" wait_until 5 \
  sh -c "xdotool search --onlyvisible --name '^Zorv Selection\$'"
xdotool key Escape
finish
