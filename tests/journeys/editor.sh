#!/usr/bin/env bash
# The editor as a user meets it: a full-screen capture opens it; draw with the
# tools by their keys, undo and redo, crop, beautify, save (twice: one file),
# copy, show the file in the file manager, and open a history capture in a
# second editor. Screenshots of each mode go to the journey folder (and to
# ZORV_SHOTS=DIR when set); with QT_SCALE_FACTOR=2 the same journey runs at
# scale 2 (give it a 3840x2160 desktop).
source "$(dirname "$0")/../support/journey-lib.sh"

scale=${QT_SCALE_FACTOR:-1}
saved="$journey_dir/saved"
mkdir -p "$XDG_CONFIG_HOME/Zorv" "$saved"
printf '[General]\nsaveDirectoryPath=%s\nopenEditorAfterCapture=true\nplaySound=false\n' \
  "$saved" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

# Something to capture: a coloured desktop and a terminal with text.
xsetroot -solid '#3d6b8f'
xterm -geometry "80x24+$((500 * scale))+$((300 * scale))" -fa Mono -fs $((14 * scale)) -title journey-xterm \
  -e sh -c 'seq 1 200 | tr "\n" " "; sleep 120' >/dev/null 2>&1 &
term=$!
wait_until 10 xdotool search --onlyvisible --name '^journey-xterm$'
sleep 0.5

# The file manager answers on the session bus and notes what it was asked.
shown="$journey_dir/file-manager.log"
/usr/bin/python3 "$ZORV_SOURCE_DIR/tests/support/filemanager-stub.py" "$shown" &
stub=$!
wait_until 10 test -e "$shown" || fail "the file manager stub started"

shot() { # shot NAME [root]: the editor window alone, or the screen with its menus
  import -window "${2:-$win}" "$journey_dir/$1.png"
  [ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/$1.png" "$ZORV_SHOTS/$1@${scale}x.png"
}
window_named() { # xdotool's search fails when a window (a toast) goes while it looks
  local found
  for _ in $(seq 40); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$found" ] &&
      { echo "$found"; return 0; }
    sleep 0.05
  done
  return 1
}
editors() { xdotool search --onlyvisible --name '\.png$' 2>/dev/null || true; }
editor_count() { editors | grep -c . || true; }
client() { # client WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# Points inside the window (scaled to pixels) and inside its canvas, whose
# centre lies between the tool rail and the 268-point inspector.
at() { echo $((x + $1 * scale)) $((y + $2 * scale)); }
drag() { # drag X1 Y1 X2 Y2 …: canvas points relative to its centre
  local first=1
  while [ $# -ge 2 ]; do
    local px=$((cx + $1 * scale)) py=$((cy + $2 * scale)); shift 2
    if [ $first = 1 ]; then xdotool mousemove --sync $px $py mousedown 1; first=0
    else xdotool mousemove --sync $(( (px + lx) / 2 )) $(( (py + ly) / 2 )) mousemove --sync $px $py; fi
    lx=$px; ly=$py
  done
  xdotool mouseup 1
  sleep 0.15
}
click() { xdotool mousemove --sync $((cx + $1 * scale)) $((cy + $2 * scale)) click 1; sleep 0.15; }
canvas_grab() { import -window root -crop "$((w - 268 * scale - 120 * scale))x$((h - 60 * scale))+$((x + 60 * scale))+$((y + 56 * scale))" "$journey_dir/$1.png"; }
same() { test "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0; }
differs() { ! same "$1" "$2"; }
png_size() { identify -format %wx%h "$1"; }
width_of() { identify -format %w "$1"; }

start_zorv
# The capture and the editor take the screen under the pointer: the terminal's.
xdotool mousemove --sync $((200 * scale)) $((200 * scale))
"$ZORV_BINARY" fullScreen
check "a full-screen capture opens the editor" wait_output 10 1 editor_count
win=$(editors | head -1)
name=$(xdotool getwindowname "$win")
check "titled with a file name from the template" \
  sh -c "echo '$name' | grep -q '^Zorv .* at .*\.png$'"
sleep 0.5
read -r x y w h < <(client "$win")
check "sized for a 16:9 capture: 1600 × 826 points" \
  test "$w $h" = "$((1600 * scale)) $((826 * scale))"
cx=$((x + (w - 268 * scale + 80 * scale) / 2)); cy=$((y + (h + 52 * scale) / 2))
check "the editor has the focus" test "$(xdotool getactivewindow)" = "$win"
shot editor-opened

# One of each: arrow, rectangle, pen, text, two numbers, blur.
xdotool key a; drag -420 -230 -300 -140
xdotool key r; drag -240 -240 -120 -140
xdotool key p; drag -60 -230 -20 -160 30 -200 80 -140
xdotool key t; click 160 -200
xdotool type --delay 30 "Journey"
xdotool key Return; sleep 0.2
xdotool key n; click -400 60; click -330 60
xdotool key b; drag -200 -110 60 -10 # over the terminal's text
xdotool key Escape # nothing selected: the grabs below show the picture alone
xdotool mousemove --sync $((x + 4)) $((y + h - 4)) # off the canvas: no hover marks
sleep 0.3
shot editor-annotate
canvas_grab drawn

xdotool key ctrl+z; sleep 0.3
canvas_grab undone
xdotool key ctrl+shift+z Escape; sleep 0.3
canvas_grab redone
check "undo changes the picture" differs "$journey_dir/drawn.png" "$journey_dir/undone.png"
check "redo restores it" same "$journey_dir/drawn.png" "$journey_dir/redone.png"

# Crop to the middle, then save.
xdotool key c; drag -380 -250 0 0 380 200
sleep 0.2
shot editor-crop
xdotool key Return; sleep 0.3
xdotool key ctrl+s
check "Ctrl+S writes a PNG into the save folder" wait_until 5 sh -c "ls '$saved'/*.png"
file=$(ls "$saved"/*.png | head -1)
check "named as the window is titled" test "$(basename "$file")" = "$name"
sleep 0.3
cropped=$(png_size "$file")
captured=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "the saved image is the cropped one" \
  test "$(width_of "$file")" -lt "$(width_of "$captured")" -a "$(width_of "$file")" -gt "$(( $(width_of "$captured") / 3 ))"

# Beautify (the switcher's third segment) adds the backdrop around the crop.
read -r bx by < <(at $((w / 2 / scale + 96)) 26)
xdotool mousemove --sync "$bx" "$by" click 1
sleep 0.6
shot editor-beautify
xdotool key ctrl+s
check "the second save writes the same file again, with the backdrop" wait_until 5 \
  sh -c "test \"\$(identify -format %wx%h '$file' 2>/dev/null)\" != '$cropped'"
check "saving twice leaves one file" test "$(ls "$saved" | wc -l)" = 1
check "the backdrop makes the image larger" test "$(width_of "$file")" -gt "${cropped%x*}"

# Copy puts exactly the saved picture on the clipboard.
xdotool key ctrl+c
sleep 0.5
xclip -selection clipboard -t image/png -o > "$journey_dir/clip.png" 2>/dev/null || true
check "the clipboard holds the saved picture pixel for pixel" same "$journey_dir/clip.png" "$file"

# Export menu, its last item: Show in File Manager.
read -r ex ey < <(at $((w / scale - 16 - 48)) 26)
xdotool mousemove --sync "$ex" "$ey" click 1
sleep 0.5
shot editor-export-menu root
xdotool key Up Return
uri="file://$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$file")"
check "Show in File Manager asks the file manager to show the saved file" \
  wait_until 5 grep -qxF "ShowItems $uri" "$shown"

# From the history window: the capture opens in a second editor.
history_name=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["fileName"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
"$ZORV_BINARY" --history
check "the history window opens" wait_until 10 window_named '^Capture History$'
hist=$(window_named '^Capture History$')
read -r hx hy _ _ < <(client "$hist")
sleep 0.8
xdotool mousemove --sync $((hx + 60 * scale)) $((hy + 130 * scale)) click 1
check "a click opens the capture in another editor" wait_output 10 2 editor_count
check "titled with the history entry's name" \
  wait_until 5 window_named "^${history_name//./\\.}\$"

kill "$stub" "$term" 2>/dev/null || true
finish
