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

# A backend is never inferred from Qt's platform plugin, and there is no fake one.
out=$(QT_QPA_PLATFORM=offscreen "$ZORV_BINARY" fullScreen 2>&1) && rc=0 || rc=$?
check "offscreen Qt: refused with a reason" \
  sh -c "test $rc -ne 0 && echo '$out' | grep -q QT_QPA_PLATFORM"
check "offscreen Qt: nothing stored" test ! -e "$XDG_DATA_HOME/Zorv/history.json"
out=$(ZORV_PLATFORM=fake "$ZORV_BINARY" --no-welcome 2>&1) && rc=0 || rc=$?
check "ZORV_PLATFORM=fake: refused" test "$rc" -ne 0
check "ZORV_PLATFORM=fake: no such backend" grep -q "unknown platform backend 'fake'" <<< "$out"

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
