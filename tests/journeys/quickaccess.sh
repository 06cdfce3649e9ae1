#!/usr/bin/env bash
# The quick-access panel after each capture: it appears in its corner without
# taking the focus; Copy, Pin and Delete do their jobs; the thumbnail drags the
# picture and the stored file into another program, also while a new capture
# arrives. Screenshots of the panel, without and with a compositor, go to the
# journey folder (and to ZORV_SHOTS=DIR when set); with QT_SCALE_FACTOR=2 the
# same journey runs at scale 2.
source "$(dirname "$0")/../support/journey-lib.sh"

scale=${QT_SCALE_FACTOR:-1}
mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nquickAccessSeconds=20\n' > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

panels() { xdotool search --onlyvisible --name '^Zorv Quick Access$' 2>/dev/null || true; }
panel_count() { panels | grep -c . || true; }
pin_count() { xdotool search --onlyvisible --name '^Zorv Pin$' 2>/dev/null | grep -c . || true; }
geometry() { # geometry WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
active_window() { printf '0x%x' "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')"; }
history_paths() {
  python3 -c 'import json,sys; [print(i["filePath"]) for i in json.load(open(sys.argv[1]))]' \
    "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || true
}
shot() { # shot NAME: the screen with the panel
  import -window root "$journey_dir/$1.png"
  [ -z "${ZORV_SHOTS:-}" ] || cp "$journey_dir/$1.png" "$ZORV_SHOTS/$1-scale$scale.png"
}
capture() { # a full-screen capture from the command line, then its panel
  local before; before=$(history_count)
  "$ZORV_BINARY" fullScreen
  wait_output 10 $((before + 1)) history_count && wait_output 5 1 panel_count
}
# Where a part of the panel lies on screen: offsets in logical pixels inside the window.
panel_point() { # panel_point DX DY → "X Y"
  local id px py pw ph; id=$(panels | head -1)
  [ -n "$id" ] || { echo 0 0; return; } # xwininfo without a window would wait for a click
  read -r px py pw ph < <(geometry "$id")
  echo $((px + $1 * scale)) $((py + $2 * scale))
}
# Tile i of the row: 24 margin + 14 padding + 168 thumbnail + 14 gap, 58 wide, 6 apart.
tile_point() { panel_point $((220 + $1 * 64 + 29)) $((94 + 28)); }
click_tile() { # click_tile INDEX
  local x y; read -r x y < <(tile_point "$1")
  xdotool mousemove --sync "$x" "$y" click 1
}

xsetroot -solid '#3d6b8f'
xterm -geometry 60x10+200+150 -title journey-xterm -e sleep 300 >/dev/null 2>&1 &
term_pid=$!
wait_until 10 xdotool search --onlyvisible --name '^journey-xterm$'
term=$(xdotool search --onlyvisible --name '^journey-xterm$' | head -1)
start_zorv
xdotool windowactivate --sync "$term"
xdotool mousemove --sync 5 5

check "the panel appears after a capture" capture
panel=$(panels | head -1)
check "the panel did not take the focus" test "$(active_window)" = "$(printf '0x%x' "$term")"
read -r x y w h < <(geometry "$panel")
read -r sw sh < <(xdotool getdisplaygeometry)
# Bottom-right corner of the work area: 22 px from its edges, plus the shadow margin.
check "the panel sits in the bottom-right corner" \
  test $((sw - x - w)) -le $(((22 + 24) * scale)) -a $((sh - y - h)) -le $(((22 + 24) * scale + 60)) \
  -a $((x + w)) -le "$sw" -a $((y + h)) -le "$sh"
sleep 0.4
shot quickaccess-opaque

# Copy puts the picture back on a clipboard something else took.
printf 'other' | xclip -selection clipboard
check "the clipboard holds text first" \
  sh -c '! xclip -selection clipboard -t TARGETS -o | grep -qx image/png'
click_tile 1
check "Copy closes the panel" wait_output 3 0 panel_count
check "Copy puts image/png on the clipboard" \
  wait_until 3 sh -c 'xclip -selection clipboard -t TARGETS -o | grep -qx image/png'
check "the focus stayed with the terminal" test "$(active_window)" = "$(printf '0x%x' "$term")"

# Delete removes the history entry and its stored file.
check "a second capture shows a panel" capture
newest=$(history_paths | head -1)
check "the newest capture is stored" test -f "$newest"
click_tile 6
check "Delete closes the panel" wait_output 3 0 panel_count
check "Delete removes the history entry" wait_output 3 1 history_count
check "Delete removes the stored file" test ! -e "$newest"

# Pin makes a pin of the capture.
check "a third capture shows a panel" capture
click_tile 3
check "Pin makes a pin" wait_output 3 1 pin_count
check "Pin closes the panel" wait_output 3 0 panel_count
xdotool search --onlyvisible --name '^Zorv Pin$' | while read -r p; do xdotool windowclose "$p" 2>/dev/null || true; done
wait_output 3 0 pin_count || true

# With a compositor: the glass look and the soft shadow.
xcompmgr >/dev/null 2>&1 &
compositor=$!
sleep 0.8
check "a capture with a compositor shows a panel" capture
sleep 0.5
shot quickaccess-glass

# Drag the thumbnail onto a program that records what it gets.
received="$journey_dir/dropped.txt"
: "${ZORV_DROP_TARGET:?the journey needs ZORV_DROP_TARGET (tests/support/droptarget)}"
"$ZORV_DROP_TARGET" "$received" 200 500 >/dev/null 2>&1 &
target_pid=$!
wait_until 10 xdotool search --onlyvisible --name '^zorv-drop-target$'
target=$(xdotool search --onlyvisible --name '^zorv-drop-target$' | head -1)
read -r tx ty tw th < <(geometry "$target")
drag_to_target() { # press on the thumbnail, travel, release over the target
  local x y; read -r x y < <(panel_point 122 94)
  xdotool mousemove --sync "$x" "$y" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --sync $((x + (tx + tw / 2 - x) * step / 8)) $((y + (ty + th / 2 - y) * step / 8))
    sleep 0.05
    [ "$step" != 4 ] || "$@"
  done
  sleep 0.3
  xdotool mouseup 1
}
stored=$(history_paths | head -1)
drag_to_target true
check "the drop target received image/png" wait_until 5 grep -q '^image/png [1-9]' "$received"
check "the drop target received the stored file as text/uri-list" \
  grep -qx "url file://$stored" "$received"
check "the panel is still there after the drag" test "$(panel_count)" = 1

# A capture that arrives in the middle of a drag: no crash, its panel follows.
rm -f "$received"
count=$(history_count)
drag_to_target "$ZORV_BINARY" fullScreen
check "the drop during a capture still arrives" wait_until 5 grep -q '^image/png [1-9]' "$received"
check "the capture made during the drag is kept" wait_output 10 $((count + 1)) history_count
check "zorv survived the capture during a drag" kill -0 "$zorv_pid"
check "one panel, for the new capture" wait_output 5 1 panel_count
newest=$(history_paths | head -1)
rm -f "$received"
drag_to_target true
check "the new panel drags the new capture" wait_until 5 grep -qx "url file://$newest" "$received"

# The stored file deleted while the panel shows: the drag still gives the picture.
rm -f "$newest" "$received"
drag_to_target true
check "without the stored file the picture is still dragged" \
  wait_until 5 grep -q '^image/png [1-9]' "$received"
check "without the stored file no dead URI is dragged" sh -c "! grep -q '^url ' '$received'"

kill "$target_pid" "$compositor" "$term_pid" 2>/dev/null || true
finish
