#!/usr/bin/env bash
# The history window over 500 kept captures: open it from the command line,
# open a capture in the editor, search, delete the match from its menu, then
# clear everything after the confirmation. ZORV_SHOTS=DIR also keeps the screenshots there; with
# QT_SCALE_FACTOR=2 the same journey runs at scale 2.
source "$(dirname "$0")/../support/journey-lib.sh"

root="$XDG_DATA_HOME/Zorv"
python3 "$ZORV_SOURCE_DIR/scripts/history-fixture.py" "$root" 500 --size 1280x800 --broken
shot() { import -window root "$journey_dir/$1.png"; [ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/$1.png" "$ZORV_SHOTS/"; }
history_window() { xdotool search --onlyvisible --name '^Capture History$' 2>/dev/null | head -1; }
client() { # client WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
media_files() { find "$root/History" -type f | wc -l; }

start_zorv
"$ZORV_BINARY" --history
check "the history window opens" wait_until 10 history_window
win=$(history_window)
read -r x y w h < <(client "$win")
scale=${QT_SCALE_FACTOR:-1}
check "it is 860 × 620 points" test "$w $h" = "$((860 * scale)) $((620 * scale))"
sleep 1 # thumbnails of the first screenful
shot history-open

# A click opens the capture in the editor; closing it returns to the history.
xdotool mousemove $((x + 60 * scale)) $((y + 130 * scale)) sleep 0.1 click 1
check "a click opens the newest capture in the editor" \
  wait_until 10 xdotool search --onlyvisible --name '^Capture 0000\.png$'
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^Capture 0000\.png$' | head -1)" key alt+F4
check "the editor closes" \
  wait_until 5 bash -c '! xdotool search --onlyvisible --name "^Capture 0000\.png\$"'
xdotool windowactivate --sync "$win"

# Copy from the menu puts the picture on the clipboard.
xdotool mousemove $((x + 60 * scale)) $((y + 130 * scale)) sleep 0.1 click 3
sleep 0.5
xdotool key Down Down Return
clipboard_png_width() { xclip -selection clipboard -t image/png -o | python3 -c '
import struct, sys; print(struct.unpack(">I", sys.stdin.buffer.read()[16:20])[0])'; }
check "Copy puts the capture on the clipboard" wait_output 5 1280 clipboard_png_width
sleep 0.3
shot history-copied

# Search for one capture; the only cell left is its.
xdotool windowactivate --sync "$win" key ctrl+f
xdotool type --delay 20 "capture 0042"
sleep 0.5
shot history-search
xdotool mousemove $((x + 60 * scale)) $((y + 130 * scale)) sleep 0.1 click 3
sleep 0.5
shot history-menu
xdotool key Up Return
check "Delete removes the entry" wait_output 5 499 history_count
check "and its stored copy" test ! -e "$root/History/Capture 0042.png"
check "the others stay" test "$(media_files)" = 499

# Closed and opened again: same place, same size, same search.
xdotool key ctrl+w # closing destroys the X window: no --window
check "ctrl+w closes the window" wait_until 5 bash -c '! xdotool search --onlyvisible --name "^Capture History\$"'
sleep 1.5
"$ZORV_BINARY" --history
check "it opens again" wait_until 10 history_window
win=$(history_window)
check "at the same place and size" test "$(client "$win")" = "$x $y $w $h"
sleep 0.3
shot history-reopened

# Clear All asks first; Cancel keeps everything, Delete clears.
xdotool key --window "$win" ctrl+a BackSpace
xdotool key ctrl+f Tab space
sleep 0.5
shot history-confirm
xdotool key Escape
sleep 0.5
check "Cancel keeps the history" test "$(history_count)" = 499
xdotool key ctrl+f Tab space
sleep 0.5
xdotool key Return
check "Delete clears the history" wait_output 5 0 history_count
check "and the stored copies" test "$(media_files)" = 0
sleep 0.3
shot history-empty

finish
