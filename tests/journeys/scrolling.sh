#!/usr/bin/env bash
# Scrolling capture: Ctrl+Shift+6, drag over a tall page's viewport, scroll it
# with the wheel while Zorv grabs, press Done; the history file must equal the
# page pixel for pixel over the stitched height. Done before scrolling says so
# and keeps nothing.
source "$(dirname "$0")/../support/journey-lib.sh"
: "${ZORV_SCROLL_PAGE:?the scrolling journey needs ZORV_SCROLL_PAGE}"

hud_name='^Zorv Scrolling Capture$'
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
client() { # client WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
history_field() { # history_field INDEX KEY
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[int(sys.argv[2])][sys.argv[3]])' \
    "$XDG_DATA_HOME/Zorv/history.json" "$1" "$2"
}

geometry_file="$journey_dir/page-geometry"
"$ZORV_SCROLL_PAGE" "$geometry_file" >/dev/null 2>&1 &
page_pid=$!
wait_until 10 test -s "$geometry_file" || { fail "the page program started"; finish; }
read -r vx vy vw vh < "$geometry_file"
page=$(xdotool search --onlyvisible --name '^zorv-scroll-page$' | head -1)
start_zorv
xdotool windowactivate --sync "$page" 2>/dev/null || true

# The region: the viewport less 20 pixels on every side.
x1=$((vx + 20)); y1=$((vy + 20)); x2=$((vx + vw - 20)); y2=$((vy + vh - 20))
select_region() {
  xdotool key ctrl+shift+6
  sleep 0.6
  xdotool mousemove --sync "$x1" "$y1" mousedown 1 mousemove --sync $(((x1 + x2) / 2)) $(((y1 + y2) / 2)) \
    mousemove --sync "$x2" "$y2" mouseup 1
  wait_until 5 window_named "$hud_name"
}

select_region
hud=$(window_named "$hud_name" || true)
check "the panel shows" test -n "$hud"
read -r hx hy hw hh < <(client "$hud")
check "the panel is 300 × 54" test "$hw $hh" = "300 54"
check "the panel keeps off the region" test $((hy + hh)) -le "$y1" -o "$hy" -ge "$y2" \
  -o $((hx + hw)) -le "$x1" -o "$hx" -ge "$x2"
check "the page keeps the focus" test "$(xdotool getactivewindow getwindowname)" = zorv-scroll-page
import -window root "$journey_dir/scrolling-panel.png"
[ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/scrolling-panel.png" "$ZORV_SHOTS/"

# Two wheel notches (120 rows) at a time, each held for longer than a grab interval.
for _ in $(seq 8); do
  xdotool click --repeat 2 --delay 40 5
  sleep 0.7
done
import -window "$hud" "$journey_dir/scrolling-panel-counted.png"
# Done sits left of ✕ at the panel's right end.
xdotool mousemove --sync $((hx + hw - 14 - 22 - 10 - 25)) $((hy + hh / 2)) click 1
check "Done delivers one history entry" wait_output 15 1 history_count
check "the panel goes" wait_until 3 sh -c "! xdotool search --onlyvisible --name '$hud_name'"
check "the entry is a scrolling capture" test "$(history_field 0 kind)" = scrolling
file=$(history_field 0 filePath)
height=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(struct.unpack(">I", d[20:24])[0])' "$file")
check "the page was stitched beyond one screen ($height rows)" test "$height" -gt $((y2 - y1 + 600))
result=$("$ZORV_SCROLL_PAGE" --compare "$file" 20 20 || true)
echo "$result"
check "the stitched image equals the page" test "${result%%:*}" = match

# Done before scrolling: the Return key ends it; nothing is kept.
xdotool mousemove --sync "$x2" "$y2"
select_region
check "the panel is back for the next capture" test -n "$(window_named "$hud_name")"
xdotool key Return
check "the user is told to scroll further" \
  wait_until 3 window_named '^Scroll further to capture more than one screen$'
sleep 0.5
check "nothing more in the history" test "$(history_count)" = 1

# Escape cancels and says so.
select_region
xdotool click 5
sleep 0.6
xdotool key Escape
check "Escape cancels" wait_until 3 window_named '^Scrolling capture cancelled$'
check "still nothing more in the history" test "$(history_count)" = 1

# Quitting mid-capture gives the keys back and ends cleanly.
select_region
"$ZORV_BINARY" --quit >/dev/null 2>&1 || true
status=0
wait "$zorv_pid" || status=$?
zorv_pid=""
check "quitting mid-capture ends cleanly" test "$status" = 0

kill "$page_pid" 2>/dev/null || true
finish
