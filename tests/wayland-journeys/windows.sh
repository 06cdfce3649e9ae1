#!/usr/bin/env bash
# Zorv's windows on a tiling Wayland compositor, which places every window itself: the
# selection overlay covers each output exactly, at scale 1 and 2; panels and toasts float above the
# layout instead of being tiled into it.
# monitors: 1280x720,1024x768
source "$(dirname "$0")/../support/wayland-journey-lib.sh"

# "NAME floating x y w h" for each of Zorv's windows, in logical coordinates.
zorv_windows() { swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n, floating=False):
    yield n, floating
    for c in n.get("nodes", []): yield from walk(c, floating)
    for c in n.get("floating_nodes", []): yield from walk(c, True)
for n, f in walk(json.load(sys.stdin)):
    if n.get("app_id") == "zorv" and n.get("visible"):
        r = n["rect"]
        print(n.get("name"), "|", "floating" if f else "tiled", r["x"], r["y"], r["width"], r["height"])'; }
# "x y w h" of each output, in the layout's logical coordinates.
outputs() { swaymsg -t get_outputs | /usr/bin/python3 -c '
import json, sys
for o in json.load(sys.stdin):
    r = o["rect"]
    print("Zorv Selection |", "tiled", r["x"], r["y"], r["width"], r["height"])' | sort; }
overlays() { zorv_windows | grep "^Zorv Selection |" | sort; }

start_zorv

# A capture's quick-access panel floats above the layout; nothing of Zorv's is tiled into it.
shown() { zorv_windows | grep -Eq "$1"; }
none_tiled() { ! zorv_windows | grep -q '| tiled'; }
"$ZORV_BINARY" fullScreen >/dev/null 2>&1
check "the panel after a capture floats" wait_until 5 shown '\| floating'
check "nothing of Zorv's is tiled" none_tiled
zorv_windows

for scale in 1 2; do
  swaymsg output HEADLESS-1 scale "$scale" >/dev/null
  sleep 0.3
  "$ZORV_BINARY" area >/dev/null 2>&1 &
  area=$!
  check "scale $scale: one overlay per output, covering it exactly" \
    wait_output 5 "$(outputs)" overlays
  grim "$journey_dir/overlay-scale$scale.png"
  press Escape
  check "scale $scale: Escape closes every overlay" wait_output 5 "" overlays
  wait "$area" 2>/dev/null || true
done
swaymsg output HEADLESS-1 scale 1 >/dev/null

finish
