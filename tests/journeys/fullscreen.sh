#!/usr/bin/env bash
# The full-screen capture as a user meets it: shortcut, clipboard, history.
source "$(dirname "$0")/../support/journey-lib.sh"

xterm -geometry 60x10+300+200 -title journey-xterm -e sleep 60 &
term=$!
start_zorv
xdotool key ctrl+shift+3
check "history.json written after the shortcut" wait_until 10 test -f "$XDG_DATA_HOME/Zorv/history.json"
check "one history entry" test "$(history_count)" = 1

file=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))[0]["filePath"])' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "the history file exists" test -f "$file"
check "the capture is 1920x1080 (the screen under the pointer)" \
  test "$(identify -format %wx%h "$file")" = 1920x1080
check "the clipboard offers image/png" \
  sh -c 'xclip -selection clipboard -t TARGETS -o | grep -qx image/png'
xclip -selection clipboard -t image/png -o > "$journey_dir/clip.png"
check "the pasted image equals the history copy" \
  test "$(compare -metric AE "$journey_dir/clip.png" "$file" null: 2>&1)" = 0

# Two captures in the same second keep both files under unique names.
"$ZORV_BINARY" fullScreen && "$ZORV_BINARY" fullScreen
check "three entries after two more captures" wait_until 10 test "$(history_count)" = 3
names=$(python3 -c 'import json,sys; print("\n".join(i["fileName"] for i in json.load(open(sys.argv[1]))))' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "names are unique" test "$(echo "$names" | sort -u | wc -l)" = 3
check "every named file exists" \
  python3 -c 'import json,os,sys; sys.exit(not all(os.path.isfile(i["filePath"]) for i in json.load(open(sys.argv[1]))))' \
  "$XDG_DATA_HOME/Zorv/history.json"

# Actions that are not built yet are refused with one line, not faked.
out=$("$ZORV_BINARY" scrolling 2>&1) && fail "scrolling refused" || pass "scrolling refused"
check "refusal is one line" test "$(echo "$out" | wc -l)" = 1

# A second plain start finds the running instance.
check "second start forwards and exits" \
  sh -c "timeout 5 '$ZORV_BINARY' | grep -q 'already running'"

# --quit ends the instance and releases the shortcuts.
"$ZORV_BINARY" --quit
check "instance ended after --quit" wait_until 5 sh -c "! kill -0 $zorv_pid"
zorv_pid=""
xdotool key ctrl+shift+3
sleep 0.5
check "no capture after quit" test "$(history_count)" = 3

# SIGTERM ends it cleanly as well.
start_zorv
kill -TERM "$zorv_pid"
wait "$zorv_pid"; rc=$?
check "SIGTERM exits with status 0" test "$rc" = 0
zorv_pid=""
kill "$term" 2>/dev/null || true
finish
