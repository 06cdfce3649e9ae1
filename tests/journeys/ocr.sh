#!/usr/bin/env bash
# Text recognition: Control+Shift+9, drag over a terminal showing known text,
# the result window lists its lines, Copy All puts them on the clipboard, and
# nothing is added to the history. ZORV_SHOTS=DIR also keeps the screenshots
# there; with QT_SCALE_FACTOR=2 the same journey runs at scale 2.
source "$(dirname "$0")/../support/journey-lib.sh"

shot() { import -window root "$journey_dir/$1.png"; [ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/$1.png" "$ZORV_SHOTS/"; }
result_window() { xdotool search --onlyvisible --name '^Recognized Text$' 2>/dev/null | head -1; }
client() { # client WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
scale=${QT_SCALE_FACTOR:-1}

xterm -geometry 60x6+100+100 -fa 'DejaVu Sans Mono' -fs 14 -bg white -fg black -title journey-xterm \
  -e bash -c 'printf "Quarterly report ready\nTotal due 1284.50\n"; sleep 120' >/dev/null 2>&1 &
term=$!
wait_until 10 xdotool search --name '^journey-xterm$'
sleep 0.5
start_zorv

xdotool key ctrl+shift+9
sleep 0.5
xdotool mousemove --sync 102 122 mousedown 1 mousemove --sync 400 160 mousemove --sync 640 200 mouseup 1
check "the result window opens" wait_until 20 result_window
win=$(result_window)
read -r x y w h < <(client "$win")
check "it is 620 × 520 points" test "$w $h" = "$((620 * scale)) $((520 * scale))"
sleep 0.5
shot ocr-result

# Copy All sits at the right of the header.
xdotool mousemove --sync $((x + w - 60 * scale)) $((y + 42 * scale)) sleep 0.1 click 1
sleep 0.3
clip=$(xclip -selection clipboard -o 2>/dev/null || true)
check "Copy All puts the lines on the clipboard" \
  test "$clip" = "$(printf 'Quarterly report ready\nTotal due 1284.50')"
shot ocr-copied
check "nothing went to the history" test "$(history_count)" = 0

# A second recognition replaces the window: still one.
xdotool key ctrl+shift+9
sleep 0.5
xdotool mousemove --sync 900 600 mousedown 1 mousemove --sync 1000 650 mousemove --sync 1100 700 mouseup 1
check "an empty area gives \"No text found\" in a new window" \
  wait_until 20 bash -c '[ "$(xdotool search --onlyvisible --name "^Recognized Text\$" | wc -l)" = 1 ] && [ "$(xdotool search --onlyvisible --name "^Recognized Text\$")" != '"$win"' ]'
sleep 0.5
shot ocr-empty
kill "$term" 2>/dev/null || true # later journeys share this desktop
finish
