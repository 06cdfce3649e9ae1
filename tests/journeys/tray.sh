#!/usr/bin/env bash
# The tray icon and its panel as a user meets them: click the icon in the
# tray, look at the glass with and without a compositor, keep the focus where
# it was, and take a capture from a tile.
source "$(dirname "$0")/../support/journey-lib.sh"

geometry() { # geometry WINDOW → "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
active_window() { printf '0x%x' "$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')"; }
panel() { xdotool search --onlyvisible --name '^Zorv Panel$' 2>/dev/null | head -1; }
panel_open() { [ -n "$(panel)" ]; }
panel_closed() { [ -z "$(panel)" ]; }
# Two points of plain sheet at one height (between the tile rows): the left
# one over the xterm, the right one over the bare desktop.
probes() {
  read -r px py pw ph <<<"$(geometry "$(panel)")"
  cx=$((px + 28)); cy=$((py + 28)); probe_y=$((cy + 140))
  left_x=$((cx + 5)); right_x=$((cx + 362))
}
pixel() { # pixel IMAGE X Y → "r,g,b"
  convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}
brightness() { echo "$1" | awk -F, '{print $1 + $2 + $3}'; }
# The icon embedded in the tray: the 22x22 "Zorv" window inside trayer's panel.
tray_icon_centre() {
  xwininfo -root -tree | awk '/"Zorv": \("zorv" "Zorv"\)/ {
    split($(NF), a, "+"); split($(NF-1), s, "x"); print a[2] + int(s[1] / 2), a[3] + int(s[2] / 2); exit }'
}
click_icon() { xdotool mousemove $(tray_icon_centre) sleep 0.1 click 1; }

xsetroot -solid '#808080'
# A window for the focus to stay with, partly under where the panel opens.
xterm -geometry 60x40+1400+300 -title journey-xterm -e sleep 120 >/dev/null 2>&1 &
term_pid=$!
wait_until 10 xdotool search --name '^journey-xterm$'
term=$(xdotool search --name '^journey-xterm$' | head -1)
xdotool windowactivate --sync "$term"
start_zorv
import -window root "$journey_dir/before.png"
check "the icon is embedded in the tray" wait_until 5 sh -c '[ -n "$(xwininfo -root -tree | grep "\"Zorv\": (\"zorv\" \"Zorv\")")" ]'
[ -n "$(tray_icon_centre)" ] || { fail "no tray icon"; finish; }

click_icon
check "a click on the icon opens the panel" wait_until 3 panel_open
sleep 0.5 # the entrance animation
probes
read -r ix iy <<<"$(tray_icon_centre)"
check "the panel opens above a bottom tray" test $((py + ph - 28)) -lt "$iy"
check "the panel stays on the monitor" test "$cx" -ge 8 -a $((px + pw - 28)) -le 1912
check "the focus stays with the user's window" test "$(active_window)" = "$(printf '0x%x' "$term")"
import -window root "$journey_dir/panel-opaque.png"
# Without a compositor the window is cut to the sheet: its corners show the desktop.
for corner in "$((cx + 2)) $((cy + 2))" "$((cx + 365)) $((cy + 2))" "$((cx + 2)) $((py + ph - 30))"; do
  check "no black corner at $corner without a compositor" \
    test "$(pixel "$journey_dir/panel-opaque.png" $corner)" = "$(pixel "$journey_dir/before.png" $corner)"
done
inside_root=$(pixel "$journey_dir/panel-opaque.png" "$right_x" "$probe_y")
inside_term=$(pixel "$journey_dir/panel-opaque.png" "$left_x" "$probe_y")
check "the sheet is dark and opaque" \
  test "$(brightness "$inside_root")" -lt 200 -a "$inside_root" = "$inside_term"

xdotool key Escape
check "Escape closes the panel" wait_until 2 panel_closed
check "the focus is back where it was" test "$(active_window)" = "$(printf '0x%x' "$term")"

# With a compositor: a translucent sheet over what lies behind it.
xcompmgr >/dev/null 2>&1 &
compositor=$!
wait_until 5 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null && xdpyinfo >/dev/null' || true
sleep 0.5
click_icon
check "the panel opens again" wait_until 3 panel_open
sleep 0.6
import -window root "$journey_dir/panel-glass.png"
probes
over_root=$(pixel "$journey_dir/panel-glass.png" "$right_x" "$probe_y")
over_term=$(pixel "$journey_dir/panel-glass.png" "$left_x" "$probe_y")
check "the glass lets the white window behind it show through" \
  test "$(brightness "$over_term")" -gt "$(brightness "$over_root")"
check "blur behind is asked for" \
  sh -c "xprop -id $(panel) _KDE_NET_WM_BLUR_BEHIND_REGION | grep -q CARDINAL"
click_icon
check "a click on the icon closes it" wait_until 2 panel_closed
kill "$compositor" 2>/dev/null || true
wait "$compositor" 2>/dev/null || true
sleep 0.5

# A tile: the panel goes first, then the capture is taken without it.
click_icon
wait_until 3 panel_open
sleep 0.5
probes
import -window root "$journey_dir/panel-again.png"
check "a reopened panel is cut to its outline too" test \
  "$(pixel "$journey_dir/panel-again.png" $((cx + 2)) $((cy + 2)))" = "$(pixel "$journey_dir/before.png" $((cx + 2)) $((cy + 2)))"
# "Full Screen" is the third tile of the first row (margin 28, the page's own layout).
xdotool mousemove $((cx + 300)) $((cy + 103)) sleep 0.1 click 1
check "the Full Screen tile takes a capture" wait_output 10 1 history_count
check "the panel closed" test -z "$(panel)"
file=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "the capture does not show the panel" \
  test "$(pixel "$file" "$right_x" "$probe_y")" = "128,128,128"

kill "$term_pid" 2>/dev/null || true
finish
