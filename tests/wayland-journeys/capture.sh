#!/usr/bin/env bash
# Still captures on Wayland through the portals, compared pixel for pixel with the compositor's
# own screenshot (grim): the full screen by command, an area drawn in the overlay, a refused
# restore token, and the window capture refused with its reason.
source "$(dirname "$0")/../support/wayland-capture-lib.sh"

# A token the portal never gave: refused, the session is set up anew, and its token kept.
token="$XDG_CONFIG_HOME/Zorv/Zorv/screencast-token"
mkdir -p "$(dirname "$token")"
echo "not-a-token-of-this-portal" > "$token"
show_still_page
start_zorv_quietly

# 1. The full screen by command, written to a file; then again, from the open session.
grim_png "$journey_dir/grim.png"
for run in 1 2; do
  "$ZORV_BINARY" fullScreen --output "$journey_dir/full$run.png" && rc=0 || rc=$?
  check "fullScreen --output exits 0 ($run)" test "$rc" = 0
  check "the capture is 1920x1080 ($run)" \
    test "$(identify -format %wx%h "$journey_dir/full$run.png" 2>/dev/null)" = 1920x1080
  check "its pixels are the compositor's ($run)" same_pixels "$journey_dir/full$run.png" "$journey_dir/grim.png"
done
check "the refused token was replaced by the portal's new one" \
  sh -c "test -s '$token' && ! grep -q not-a-token '$token'"
check "one session served both" test "$(grep -c cast-started "$ZORV_TRACE_FILE")" = 1

# 2. The same without --output (the shortcut's command): into the history.
"$ZORV_BINARY" fullScreen
check "the command's capture is in the history" wait_output 10 3 history_count
file=$(/usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "and equals the compositor's picture" same_pixels "$file" "$journey_dir/grim.png"

# 3. An area drawn with the pointer in the overlay. The overlay believes its window lies at its
# screen's origin, so a drag at global (x, y) selects (x, y) minus where the window really is.
timeout 30 "$ZORV_BINARY" area --output "$journey_dir/area.png" & cmd=$!
check "the overlay appears" wait_until 10 overlay_shown
sleep 0.3
read -r ox oy < <(window_origin "Zorv Selection")
# Small enough for a window sway tiled beside others.
pointer move $((ox + 100)) $((oy + 100)) press left move $((ox + 200)) $((oy + 180)) \
  move $((ox + 300)) $((oy + 250)) release left
wait "$cmd" && rc=0 || rc=$?
check "area --output exits 0" test "$rc" = 0
convert "$journey_dir/grim.png" -crop 200x150+100+100 +repage "$journey_dir/grim-area.png"
check "the area is 200x150" test "$(identify -format %wx%h "$journey_dir/area.png" 2>/dev/null)" = 200x150
check "its pixels are the compositor's from before the overlay" \
  same_pixels "$journey_dir/area.png" "$journey_dir/grim-area.png"

# 4. Single windows: the wlroots portal offers monitors only.
out=$("$ZORV_BINARY" window 2>&1) && rc=0 || rc=$?
check "the window capture is refused" test "$rc" -ne 0
check "with the reason" grep -qi "single windows" <<< "$out"
finish
