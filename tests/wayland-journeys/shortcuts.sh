#!/usr/bin/env bash
# Global shortcuts on Wayland: bound through the GlobalShortcuts portal (the desktop's stand-in
# backend turns them into sway key bindings); a key press dispatches its action, and a changed
# shortcut in the settings file is the one bound at the next start.
source "$(dirname "$0")/../support/wayland-journey-lib.sh"

pressed_count() { grep -c hotkey-pressed "$ZORV_TRACE_FILE" || true; }
start_bound() {
  start_zorv
  check "the desktop answered the binding" wait_until 10 grep -q hotkeys-bound "$ZORV_TRACE_FILE"
}

start_bound
press ctrl+shift+3
check "ctrl+shift+3 dispatches full screen" wait_until 5 grep -q hotkey-pressed "$ZORV_TRACE_FILE"
press ctrl+shift+F9
sleep 1
check "a key that is no shortcut dispatches nothing" test "$(pressed_count)" = 1
stop_zorv

# Full screen moved to ctrl+shift+F9 in the settings file (F9 is key code 101).
conf="$XDG_CONFIG_HOME/Zorv/Zorv.conf"
mkdir -p "$(dirname "$conf")"
printf '[General]\nhotkeys="@ByteArray({\\"fullScreen\\":{\\"keyCode\\":101,\\"modifiers\\":4608}})"\n' \
  > "$conf"
start_bound
press ctrl+shift+3
sleep 1
check "the old combination is no longer bound" test "$(pressed_count)" = 0
press ctrl+shift+F9
check "the changed one is" wait_until 5 grep -q hotkey-pressed "$ZORV_TRACE_FILE"
check "no shortcut was refused" sh -c "! grep -q 'could not register hot key' '$journey_dir/zorv.log'"
finish
