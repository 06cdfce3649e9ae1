#!/usr/bin/env bash
# Area, window and repeated captures through the selection overlay, as a user
# drives them: shortcut, drag, keys; checked through the clipboard and history.
source "$(dirname "$0")/../support/journey-lib.sh"

# A window showing a known pattern; its client area is what a drag selects.
pattern="$journey_dir/pattern.png"
/usr/bin/convert -size 200x120 xc:white -fill red -draw "rectangle 10,10 60,60" \
  -fill blue -draw "rectangle 100,40 190,110" -fill green -draw "line 0,119 199,0" \
  -depth 8 "$pattern"
show_pattern() { # show_pattern TITLE X Y: shows the pattern; pattern_pids collects the viewers
  display -geometry "+$2+$3" -title "$1" "$pattern" >/dev/null 2>&1 &
  pattern_pids+=($!)
  wait_until 10 xdotool search --name "^$1\$" || fail "pattern window $1 shown"
  sleep 0.3
}
client_origin() { # client_origin TITLE → the client area's absolute "x y"
  xwininfo -id "$(xdotool search --name "^$1\$" | head -1)" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}
pattern_pids=()
overlay_up() { xdotool search --onlyvisible --name '^Zorv Selection$' >/dev/null 2>&1; }
overlay_gone() { ! overlay_up; }
clip_matches_pattern() {
  xclip -selection clipboard -t image/png -o > "$journey_dir/clip.png" 2>/dev/null || return 1
  test "$(compare -metric AE "$journey_dir/clip.png" "$pattern" null: 2>&1)" = 0
}
# Pointer moves go without --sync: when the pointer is already there, xdotool
# waits 15 s for a motion that never comes. The server keeps the events in order.
drag() { # drag X1 Y1 X2 Y2
  xdotool mousemove "$1" "$2" mousedown 1
  xdotool mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 ))
  xdotool mousemove "$3" "$4" mouseup 1
}
active_window() { xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}'; }
active_window_hex() { printf '0x%x' "$(active_window)"; }

xterm -geometry 40x8+900+500 -title journey-xterm -e sleep 120 >/dev/null 2>&1 &
term_pid=$!
wait_until 10 xdotool search --name '^journey-xterm$'
term=$(xdotool search --name '^journey-xterm$' | head -1)
show_pattern zpattern 300 200
read -r px py < <(client_origin zpattern)
start_zorv
xdotool windowactivate --sync "$term"
before_active=$(active_window)

# 1. Drag over the pattern: the capture holds exactly its pixels.
xdotool mousemove "$px" "$py"
xdotool key ctrl+shift+4
check "the overlay appears" wait_until 5 overlay_up
import -window root "$journey_dir/overlay-area.png"
drag "$px" "$py" $((px + 200)) $((py + 120))
check "the area is captured into the history" wait_output 10 1 history_count
check "the captured pixels are the pattern" wait_until 5 clip_matches_pattern
check "the overlay is gone" overlay_gone
check "the user's window has the focus again" wait_output 3 "$before_active" active_window

# 2. Repeat the last area: no overlay, same pixels.
xdotool key ctrl+shift+r
check "repeat-last-area captures again" wait_output 10 2 history_count
check "without showing the overlay" overlay_gone
check "the same area again" clip_matches_pattern

# 3. Escape, a click without a drag, and a too small drag all cancel.
for how in escape click tiny; do
  xdotool key ctrl+shift+4
  wait_until 5 overlay_up || fail "overlay for $how"
  case "$how" in
    escape) wait_until 5 overlay_focused; xdotool key Escape ;;
    click) xdotool mousemove 700 700 click 1 ;;
    tiny) drag 700 700 702 760 ;;
  esac
  check "$how closes the overlay" wait_until 5 overlay_gone
done
sleep 0.5
check "nothing was captured by cancelling" test "$(history_count)" = 2
# The grabs are released: a click reaches the terminal again.
xdotool mousemove 950 560 click 1
check "pointer and keyboard are free after cancelling" \
  wait_output 3 "$(printf '0x%x' "$term")" active_window_hex

# 4. Keys: a drag ten points off the pattern is nudged back with Shift+Left
#    (ten) and Left (one), after Space went to window picking and back, and
#    Return delivers it.
xdotool key ctrl+shift+4
wait_until 5 overlay_up
xdotool mousemove $((px + 11)) "$py" mousedown 1
xdotool mousemove $((px + 211)) $((py + 120))
xdotool key space
import -window root "$journey_dir/overlay-window-mode.png"
xdotool key space
xdotool key shift+Left Left
xdotool key Return
check "Return delivers the nudged selection" wait_output 10 3 history_count
check "nudged back onto the pattern" wait_until 5 clip_matches_pattern
xdotool mouseup 1 2>/dev/null || true

# 5. Window mode: a partly covered window is captured with its own pixels.
xterm -geometry 20x4+$((px + 90))+$((py + 30)) -title journey-cover -e sleep 60 >/dev/null 2>&1 &
wait_until 10 xdotool search --name '^journey-cover$'
sleep 0.3
xdotool mousemove $((px + 20)) $((py + 100))
xdotool key ctrl+shift+5
check "window mode overlay" wait_until 5 overlay_up
sleep 0.5
import -window root "$journey_dir/overlay-window.png"
xdotool click 1
check "the window is captured" wait_output 10 4 history_count
xclip -selection clipboard -t image/png -o > "$journey_dir/window.png"
# The capture holds the window manager's frame; the client sits inside it.
read -r fl fr ft fb < <(xprop -id "$(xdotool search --name '^zpattern$' | head -1)" _NET_FRAME_EXTENTS |
  sed 's/.*= //; s/,//g')
/usr/bin/convert "$journey_dir/window.png" -crop "200x120+$fl+$ft" +repage "$journey_dir/window-client.png"
check "the covered window's own pixels" \
  test "$(compare -metric AE "$journey_dir/window-client.png" "$pattern" null: 2>&1)" = 0

# 6. A window that closes after it was picked: the user is told.
xdotool mousemove $((px + 20)) $((py + 100))
xdotool key ctrl+shift+5
wait_until 5 overlay_up
cover=$(xdotool search --name '^journey-cover$' | head -1)
xdotool mousemove $((px + 100)) $((py + 40))
sleep 0.3
xdotool windowkill "$cover" 2>/dev/null || true
xdotool click 1
sleep 1
check "no capture of a vanished window" test "$(history_count)" = 4

# 7. Two monitors: a drag across their boundary captures both halves exactly.
if [ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" -ge 2 ]; then
  boundary=$(xrandr --listmonitors | awk 'NR == 2 {split($3, g, /[x+]/); sub(/\/.*/, "", g[1]); print g[1]}')
  show_pattern zacross $((boundary - 100)) 300
  read -r ax ay < <(client_origin zacross)
  xdotool mousemove "$ax" "$ay"
  xdotool key ctrl+shift+4
  wait_until 5 overlay_up
  drag "$ax" "$ay" $((ax + 200)) $((ay + 120))
  check "a capture across the monitors" wait_output 10 5 history_count
  check "holds both halves of the pattern" wait_until 5 clip_matches_pattern
fi

kill "$term_pid" "${pattern_pids[@]}" 2>/dev/null || true
finish
