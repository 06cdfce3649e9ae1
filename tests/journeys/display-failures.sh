#!/usr/bin/env bash
# Without a display Zorv says so and fails; when the X server goes away it ends
# with a message instead of crashing or looping.
source "$(dirname "$0")/../support/journey-lib.sh"

out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$ZORV_BINARY" 2>&1) && rc=0 || rc=$?
check "no display: non-zero exit" test "$rc" -ne 0
check "no display: clear message" sh -c "echo '$out' | grep -q 'no X display'"

out=$(DISPLAY=:4242 "$ZORV_BINARY" 2>&1) && rc=0 || rc=$?
check "unreachable display: non-zero exit" test "$rc" -ne 0
check "unreachable display: clear message" sh -c "echo '$out' | grep -q 'cannot open the X display'"

# A private X server that we then kill.
n=$(for n in $(seq 200 260); do [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
wait_until 10 env DISPLAY=":$n" xdpyinfo
XDG_RUNTIME_DIR="$journey_dir" DISPLAY=":$n" "$ZORV_BINARY" --no-welcome >"$journey_dir/gone.log" 2>&1 &
pid=$!
wait_until 10 grep -q hotkeys-registered "$ZORV_TRACE_FILE"
kill "$xvfb"; wait "$xvfb" 2>/dev/null || true
check "ends when the X server goes away" wait_until 10 sh -c "! kill -0 $pid"
wait "$pid" 2>/dev/null && rc=0 || rc=$?
check "no crash (exit status $rc)" test "$rc" -lt 128
check "says the display went away" grep -qi "X11 connection broke\|display went away" "$journey_dir/gone.log"
finish
