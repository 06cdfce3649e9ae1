#!/usr/bin/env bash
# Copies reach the clipboard while another client has the focus (through the compositor's
# data-control protocol), are read back by another client, give way to a later copy of
# another client, and a copy being read does not hold up the end of the program.
source "$(dirname "$0")/../support/wayland-journey-lib.sh"
: "${ZORV_CLIPBOARD_PROBE:?the clipboard journey needs zorv-clipboard-probe}"

focused() { swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
print(next((n.get("name") for n in walk(json.load(sys.stdin)) if n.get("focused")), ""))'; }

# Another client's window has the focus throughout.
"$ZORV_RECORD_ANIM" 0 0 640 480 1 100000 >/dev/null 2>&1 &
anim=$!
trap 'kill $anim 2>/dev/null; stop_zorv' EXIT
check "another window has the focus" wait_output 10 zorv-record-anim focused

grim "$journey_dir/picture.png"
coproc PROBE { exec "$ZORV_CLIPBOARD_PROBE" 2>"$journey_dir/probe.log"; }
probe_pid=$PROBE_PID
ask() { echo "$1" >&"${PROBE[1]}"; local reply; read -r -t 10 reply <&"${PROBE[0]}" && echo "$reply"; }

check "an image copy is made" test "$(ask "image $journey_dir/picture.png")" = copied
check "offered as PNG" wait_until 5 sh -c 'wl-paste --list-types | grep -qx image/png'
wl-paste --type image/png > "$journey_dir/pasted.png" || true
diff=$(compare -metric AE "$journey_dir/picture.png" "$journey_dir/pasted.png" null: 2>&1) || true
check "the pasted picture has the copied pixels (differing: $diff)" test "$diff" = 0
check "the focus stayed where it was" test "$(focused)" = zorv-record-anim

check "a text copy is made" test "$(ask "text hello Zorv")" = copied
check "text read back" wait_output 5 "hello Zorv" wl-paste --no-newline
check "text read back as UTF-8" test "$(wl-paste --no-newline --type 'text/plain;charset=utf-8')" = "hello Zorv"
check "still the clipboard's" test "$(ask owned)" = 1

wl-copy "from another client"
check "a later copy by another client replaces it" \
  wait_output 5 "from another client" wl-paste --no-newline
check "and Zorv knows it no longer owns the clipboard" test "$(ask owned)" = 0

# A large picture read slowly: the end of the program does not wait for the reader.
convert -size 3840x2160 plasma:fractal "$journey_dir/large.png"
check "a large copy is made" test "$(ask "image $journey_dir/large.png")" = copied
sleep 0.5
{ wl-paste --type image/png | { sleep 3; cat > /dev/null; }; } &
reader=$!
sleep 0.5
exec {PROBE[1]}>&-
check "ends at once while a reader is still reading" \
  wait_until 2 sh -c "! kill -0 $probe_pid 2>/dev/null"
check "the reader gets the end of the data" wait_until 6 sh -c "! kill -0 $reader 2>/dev/null"
finish
