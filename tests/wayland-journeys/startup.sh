#!/usr/bin/env bash
# Zorv on a Wayland session: the portal backend is chosen, and what it cannot do is said.
source "$(dirname "$0")/../support/wayland-journey-lib.sh"

start_zorv
check "Zorv runs on Qt's Wayland platform" kill -0 "$zorv_pid"
# Zorv's own windows show in Wayland pictures: a scrolling capture would stitch its panel in.
out=$("$ZORV_BINARY" scrolling 2>&1) && rc=0 || rc=$?
check "the scrolling capture is refused" test "$rc" -ne 0
check "with the reason" grep -q "spoil the stitched image" <<< "$out"
"$ZORV_BINARY" --quit
check "--quit ends it" wait_until 10 sh -c "! kill -0 $zorv_pid 2>/dev/null"
zorv_pid=""

out=$(ZORV_PLATFORM=x11 "$ZORV_BINARY" --no-welcome 2>&1) && rc=0 || rc=$?
check "ZORV_PLATFORM=x11 without an X display is refused" test "$rc" -ne 0
check "with a reason" grep -q "no X display" <<< "$out"
finish
