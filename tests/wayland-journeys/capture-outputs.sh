#!/usr/bin/env bash
# Still captures with two outputs, where the wlroots portal streams only the first and the
# Screenshot portal pictures both; then an output removed while the session is open.
# monitors: 1920x1080,1280x720
source "$(dirname "$0")/../support/wayland-capture-lib.sh"

show_still_page
start_zorv_quietly

grim_png -o HEADLESS-1 "$journey_dir/grim1.png"
"$ZORV_BINARY" fullScreen --output "$journey_dir/full.png" && rc=0 || rc=$?
check "fullScreen --output exits 0" test "$rc" = 0
check "the capture is the first output's 1920x1080" \
  test "$(identify -format %wx%h "$journey_dir/full.png" 2>/dev/null)" = 1920x1080
check "its pixels are the compositor's" same_pixels "$journey_dir/full.png" "$journey_dir/grim1.png"
check "the second output came from the Screenshot portal" grep -q screenshot-asked "$ZORV_TRACE_FILE"

# The layout changes while the session is open: the next capture sets up a new session.
swaymsg create_output >/dev/null
check "only the still window shows after the change" wait_until 10 only_page_shown
sleep 0.5
grim_png -o HEADLESS-1 "$journey_dir/grim-again.png"
"$ZORV_BINARY" fullScreen --output "$journey_dir/again.png" && rc=0 || rc=$?
check "a capture after an output was added exits 0" test "$rc" = 0
check "and equals the compositor's picture" same_pixels "$journey_dir/again.png" "$journey_dir/grim-again.png"
check "from a new session" test "$(grep -c cast-started "$ZORV_TRACE_FILE")" = 2
finish
