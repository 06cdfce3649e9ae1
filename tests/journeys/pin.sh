#!/usr/bin/env bash
# Pinned screenshots: pin the last capture, move and resize it, keep it above
# windows raised later, close one of several, and refuse a missing capture.
source "$(dirname "$0")/../support/journey-lib.sh"

pins() { xdotool search --onlyvisible --name '^Zorv Pin$' 2>/dev/null || true; }
pin_count() { pins | grep -c . || true; }
geometry() { # geometry WINDOW → "x y w h" of its client area
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
active_window() { printf '0x%x' "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')"; }

xterm -geometry 40x8+100+100 -title journey-xterm -e sleep 120 >/dev/null 2>&1 &
term_pid=$!
wait_until 10 xdotool search --name '^journey-xterm$'
term=$(xdotool search --name '^journey-xterm$' | head -1)
start_zorv

# Something to pin: a 300 × 180 area.
xdotool key ctrl+shift+4
sleep 0.5
xdotool mousemove --sync 500 400 mousedown 1 mousemove --sync 650 500 mousemove --sync 800 580 mouseup 1
check "an area was captured" wait_output 10 1 history_count

xdotool windowactivate --sync "$term"
xdotool key ctrl+shift+p
check "the pin appears" wait_output 5 1 pin_count
pin=$(pins | head -1)
sleep 0.3
read -r x y w h < <(geometry "$pin")
check "the pin has the capture's size" test "$w $h" = "300 180"
check "the pin did not take the focus" test "$(active_window)" = "$(printf '0x%x' "$term")"

# Drag from its middle: it moves by the pointer's travel.
xdotool mousemove --sync $((x + 150)) $((y + 90)) mousedown 1
xdotool mousemove --sync $((x + 50)) $((y + 40)) mousemove --sync $((x - 150)) $((y - 110)) mouseup 1
sleep 0.3
read -r mx my mw mh < <(geometry "$pin")
check "the pin moved by the drag" test "$((x - mx)) $((y - my)) $mw $mh" = "300 200 300 180"

# Drag its bottom-right corner 100 to the right: 400 wide, aspect kept.
xdotool mousemove --sync $((mx + mw - 4)) $((my + mh - 4)) mousedown 1
xdotool mousemove --sync $((mx + mw + 40)) $((my + mh)) mousemove --sync $((mx + mw + 96)) $((my + mh - 4)) mouseup 1
sleep 0.3
read -r rx ry rw rh < <(geometry "$pin")
check "resized from the corner keeping the aspect ratio" test "$rx $ry $rw $rh" = "$mx $my 400 240"

# A window raised afterwards over the pin stays below it.
xdotool windowmove "$term" "$rx" "$ry"
xdotool windowactivate --sync "$term"
xdotool windowraise "$term"
sleep 0.3
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
pos_of() { local i=0 w; for w in $stacking; do [ "$(printf '0x%x' "$w")" = "$(printf '0x%x' "$1")" ] && echo $i; i=$((i + 1)); done; }
check "the pin stays above a window raised later" test "$(pos_of "$pin")" -gt "$(pos_of "$term")"
import -window root "$journey_dir/pin-over-window.png"

# Any number of pins; closing one from its menu leaves the other.
xdotool key ctrl+shift+p
check "a second pin" wait_output 5 2 pin_count
second=$(pins | grep -v "^$pin\$" | head -1)
read -r sx sy sw sh < <(geometry "$second")
xdotool mousemove --sync $((sx + 60)) $((sy + 60)) click 3
sleep 0.5
import -window root "$journey_dir/pin-menu.png"
xdotool key Up Return
check "Close from the menu closes that pin only" wait_output 5 1 pin_count
check "the first pin is still there" test "$(pins)" = "$pin"

# The history copy is gone: nothing to pin.
file=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
rm -f "$file"
xdotool key ctrl+shift+p
sleep 0.8
check "no pin without a readable capture" test "$(pin_count)" = 1

kill "$term_pid" 2>/dev/null || true
finish
