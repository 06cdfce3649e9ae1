# Helpers for the journey scripts that run inside scripts/desktop.sh (X11).
source "$(dirname "${BASH_SOURCE[0]}")/journey-common.sh"
[ -n "${DISPLAY:-}" ] || { echo "journey: no DISPLAY; run inside scripts/desktop.sh"; exit 1; }

# The overlay has the keyboard: a key sent before the window manager has
# focused it would go to the window below.
overlay_focused() { [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "Zorv Selection" ]; }
overlay_shown() { xdotool search --onlyvisible --name '^Zorv Selection$' >/dev/null 2>&1; }

# Presses KEY and drags the area from (X1, Y1) to (X2, Y2) in the overlay it opens.
select_area() { # select_area KEY X1 Y1 X2 Y2
  xdotool key "$1"
  check "$1 shows the overlay" wait_until 5 overlay_shown
  xdotool mousemove --sync "$2" "$3" mousedown 1
  xdotool mousemove --sync $((($2 + $4) / 2)) $((($3 + $5) / 2))
  xdotool mousemove --sync "$4" "$5" mouseup 1
}
