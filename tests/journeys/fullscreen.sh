#!/usr/bin/env bash
# The full-screen capture as a user meets it: shortcut, clipboard, history.
source "$(dirname "$0")/../support/journey-lib.sh"

xterm -geometry 60x10+300+200 -title journey-xterm -e sleep 60 &
term=$!
# What a killed write left behind goes at start; nothing else does.
mkdir -p "$XDG_CONFIG_HOME/Zorv" "$journey_dir/saved" "$XDG_DATA_HOME/Zorv/History"
printf '[General]\nsaveDirectoryPath=%s\n' "$journey_dir/saved" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"
for d in "$journey_dir/saved" "$XDG_DATA_HOME/Zorv/History"; do
  : > "$d/.zorv-0123456789abcdef.tmp"; : > "$d/.zorv-notmine.tmp"
done
start_zorv
check "stale temporary files are removed from the save and media folders" wait_until 5 \
  sh -c "! ls -A '$journey_dir/saved' '$XDG_DATA_HOME/Zorv/History' | grep -q 0123456789abcdef"
check "look-alikes stay" test -e "$journey_dir/saved/.zorv-notmine.tmp"
rm -f "$journey_dir/saved/.zorv-notmine.tmp" "$XDG_DATA_HOME/Zorv/History/.zorv-notmine.tmp"
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
check "three entries after two more captures" wait_output 10 3 history_count
names=$(python3 -c 'import json,sys; print("\n".join(i["fileName"] for i in json.load(open(sys.argv[1]))))' \
  "$XDG_DATA_HOME/Zorv/history.json")
check "names are unique" test "$(echo "$names" | sort -u | wc -l)" = 3
check "every named file exists" \
  python3 -c 'import json,os,sys; sys.exit(not all(os.path.isfile(i["filePath"]) for i in json.load(open(sys.argv[1]))))' \
  "$XDG_DATA_HOME/Zorv/history.json"

# An action Zorv does not know is refused with one line.
out=$("$ZORV_BINARY" recordGif 2>&1) && fail "unknown action refused" || pass "unknown action refused"
check "refusal is one line" test "$(echo "$out" | wc -l)" = 1

# Scriptable captures: the command waits for the file and says how it went.
"$ZORV_BINARY" fullScreen --output "$journey_dir/out.png" && rc=0 || rc=$?
check "--output exits 0" test "$rc" = 0
check "--output wrote a 1920x1080 PNG" test "$(identify -format %m%wx%h "$journey_dir/out.png")" = PNG1920x1080
check "the capture is in the history too" wait_output 10 4 history_count
"$ZORV_BINARY" fullScreen --output "$journey_dir/out.jpg"
check "the extension picks the format" test "$(identify -format %m "$journey_dir/out.jpg")" = JPEG
check "--output - writes the PNG to standard output" \
  sh -c "timeout 20 '$ZORV_BINARY' fullScreen --output - | head -c 8 | grep -q PNG"
timeout 30 "$ZORV_BINARY" area --output "$journey_dir/cancelled.png" & area_cmd=$!
wait_until 5 xdotool search --onlyvisible --name '^Zorv Selection$'
wait_until 5 overlay_focused
xdotool key Escape
wait "$area_cmd" && rc=0 || rc=$?
check "a cancelled selection exits 3 and writes nothing" \
  test "$rc" = 3 -a ! -e "$journey_dir/cancelled.png"
"$ZORV_BINARY" fullScreen --output /proc/forbidden.png 2>"$journey_dir/err.txt" && rc=0 || rc=$?
check "an unwritable output exits 1 with the reason" \
  sh -c "test $rc = 1 && grep -q 'zorv: ' '$journey_dir/err.txt'"

# A stopped instance is not mistaken for none.
kill -STOP "$zorv_pid"
out=$(timeout 20 "$ZORV_BINARY" --quit 2>&1) && rc=0 || rc=$?
kill -CONT "$zorv_pid"
check "--quit to a stopped instance says it did not answer" \
  sh -c "test $rc = 1 && echo '$out' | grep -q 'did not answer'"
check "the history is still consistent" wait_output 10 7 history_count

# A second plain start finds the running instance.
check "second start forwards and exits" \
  sh -c "timeout 5 '$ZORV_BINARY' | grep -q 'already running'"

# --quit ends the instance and releases the shortcuts.
"$ZORV_BINARY" --quit
check "instance ended after --quit" wait_until 5 sh -c "! kill -0 $zorv_pid"
zorv_pid=""
xdotool key ctrl+shift+3
sleep 0.5
check "no capture after quit" test "$(history_count)" = 7

# A command that has to start Zorv returns to a caller reading its output:
# the started instance holds none of its descriptors and logs to a file.
check "out=\$(zorv fullScreen --output -) returns" \
  sh -c "out=\$(timeout 20 '$ZORV_BINARY' fullScreen --output - | wc -c); test \"\$out\" -gt 1000"
check "zorv fullScreen | cat returns" sh -c "timeout 20 '$ZORV_BINARY' fullScreen | cat"
check "the started instance logs to its file" test -f "$XDG_STATE_HOME/Zorv/zorv.log"
"$ZORV_BINARY" --quit
check "the started instance ended" wait_until 10 sh -c "! '$ZORV_BINARY' --quit 2>/dev/null"

# SIGTERM ends it cleanly as well.
start_zorv
kill -TERM "$zorv_pid"
wait "$zorv_pid"; rc=$?
check "SIGTERM exits with status 0" test "$rc" = 0
zorv_pid=""
kill "$term" 2>/dev/null || true
finish
