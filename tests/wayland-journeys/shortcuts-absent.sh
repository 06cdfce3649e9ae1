#!/usr/bin/env bash
# A Wayland desktop whose portal binds no global shortcuts: Zorv says so, offers no shortcut
# of its own, and its commands still work for the desktop's keyboard settings to call.
# desktop-options: --no-shortcuts
source "$(dirname "$0")/../support/wayland-journey-lib.sh"

start_zorv
check "the missing portal interface is logged with its reason" \
  grep -q "no global shortcuts: .*GlobalShortcuts is missing" "$journey_dir/zorv.log"
press ctrl+shift+3
sleep 1
check "no key dispatches anything" sh -c "! grep -q hotkey-pressed '$ZORV_TRACE_FILE'"
"$ZORV_BINARY" --settings
check "the settings window opens" wait_until 5 window_shown "Zorv Settings"
check "Zorv is still running" kill -0 "$zorv_pid"
finish
