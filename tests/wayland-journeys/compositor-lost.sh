#!/usr/bin/env bash
# The compositor crashes under a running Zorv: Zorv ends at once with one message of its own,
# leaves no half-written file in the save folder, and does not crash or hang.
source "$(dirname "$0")/../support/wayland-journey-lib.sh"

mkdir -p "$XDG_CONFIG_HOME/Zorv" "$journey_dir/saved"
printf '[General]\nsaveDirectoryPath=%s\n' "$journey_dir/saved" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"
start_zorv
# A write under way when the compositor goes: a temporary file of the kind captures are
# written to before they get their name.
stale="$journey_dir/saved/.zorv-0123456789abcdef.tmp"
echo partial > "$stale"

sway_pid=$(basename "$SWAYSOCK" .sock); sway_pid=${sway_pid##*.}
kill -KILL "$sway_pid"
check "Zorv ends when the compositor goes" wait_until 10 sh -c "! kill -0 $zorv_pid 2>/dev/null"
wait "$zorv_pid" 2>/dev/null && rc=0 || rc=$?
zorv_pid=""
check "with a failure status, not a crash (status $rc)" test "$rc" -ge 1 -a "$rc" -lt 128
check "says why" grep -q "^Zorv: the connection to the display broke" "$journey_dir/zorv.log"
check "in one message" test "$(grep -ci "wayland connection\|display broke" "$journey_dir/zorv.log")" -eq 1
check "the half-written file is gone" test ! -e "$stale"
finish
