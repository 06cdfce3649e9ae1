# Helpers shared by the journey scripts of both desktops: folders of the journey's own,
# checks, waits, and starting and stopping Zorv.
set -euo pipefail

: "${ZORV_BINARY:?journeys need ZORV_BINARY}"

# Each journey gets folders of its own inside the desktop's state.
journey_dir=$(mktemp -d "${ZORV_DESKTOP_STATE:-${ZORV_WAYLAND_STATE:-/tmp}}/journey.XXXXXX")
export XDG_DATA_HOME="$journey_dir/data" XDG_CONFIG_HOME="$journey_dir/config" \
  XDG_STATE_HOME="$journey_dir/state"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
export ZORV_TRACE_FILE="$journey_dir/trace.log"
zorv_pid=""
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { local what="$1"; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

wait_until() { # wait_until SECONDS COMMAND…
  local limit=$(( $1 * 20 )); shift
  for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}

wait_output() { # wait_output SECONDS EXPECTED COMMAND…: until COMMAND prints EXPECTED
  local limit=$(( $1 * 20 )) expected="$2"; shift 2
  for _ in $(seq "$limit"); do
    [ "$("$@" 2>/dev/null)" = "$expected" ] && return 0
    sleep 0.05
  done
  return 1
}

start_zorv() {
  : > "$ZORV_TRACE_FILE"
  "$ZORV_BINARY" --no-welcome >"$journey_dir/zorv.log" 2>&1 &
  zorv_pid=$!
  wait_until 10 grep -q hotkeys-registered "$ZORV_TRACE_FILE" || { fail "zorv started"; cat "$journey_dir/zorv.log"; exit 1; }
}

stop_zorv() {
  [ -n "$zorv_pid" ] || return 0
  "$ZORV_BINARY" --quit >/dev/null 2>&1 || kill "$zorv_pid" 2>/dev/null || true
  wait "$zorv_pid" 2>/dev/null || true
  zorv_pid=""
}

history_count() {
  python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' \
    "$XDG_DATA_HOME/Zorv/history.json" 2>/dev/null || echo 0
}

finish() {
  stop_zorv
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed; log:"; cat "$journey_dir/zorv.log"; exit 1
  fi
  echo "all checks passed"
}
trap 'stop_zorv' EXIT
