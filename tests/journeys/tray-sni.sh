#!/usr/bin/env bash
# The tray icon where the desktop runs a StatusNotifierItem host: Zorv
# registers with the watcher, shows its glyph and tooltip there, and the
# host's activation (and a click on the icon in the host) opens the panel.
source "$(dirname "$0")/../support/journey-lib.sh"

command -v gtk-sni-tray-standalone >/dev/null || { fail "gtk-sni-tray-standalone is not installed"; finish; }
watcher=org.kde.StatusNotifierWatcher
property() { # property DEST PATH INTERFACE NAME
  dbus-send --session --print-reply --dest="$1" "$2" org.freedesktop.DBus.Properties.Get \
    string:"$3" string:"$4" 2>/dev/null
}
items() { property $watcher /StatusNotifierWatcher $watcher RegisteredStatusNotifierItems | awk -F'"' '/string/ {print $2}'; }
panel() { xdotool search --onlyvisible --name '^Zorv Panel$' 2>/dev/null | head -1; }
panel_open() { [ -n "$(panel)" ]; }
panel_closed() { [ -z "$(panel)" ]; }

# A standalone host that also runs the watcher, as a bar along the top.
gtk-sni-tray-standalone --top --end --watcher >"$journey_dir/host.log" 2>&1 &
host=$!
trap 'kill $host 2>/dev/null || true; stop_zorv' EXIT
check "a host is registered with the watcher" wait_until 10 sh -c \
  "dbus-send --session --print-reply --dest=$watcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:$watcher string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q true"
start_zorv
check "Zorv registers its item" wait_until 5 sh -c "[ -n \"\$(dbus-send --session --print-reply --dest=$watcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:$watcher string:RegisteredStatusNotifierItems | grep string)\" ]"
service=$(items | head -1)
service=${service%%/*}
owner=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
  org.freedesktop.DBus.GetConnectionUnixProcessID string:"$service" | awk '/uint32/ {print $2}')
check "the registered item is Zorv's" test "$owner" = "$zorv_pid"
check "it offers the glyph in several sizes" \
  test "$(property "$service" /StatusNotifierItem org.kde.StatusNotifierItem IconPixmap | grep -c 'int32')" -ge 6
check "its tooltip names Zorv" sh -c \
  "dbus-send --session --print-reply --dest=$service /StatusNotifierItem org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:ToolTip | grep -q 'Zorv — Capture, annotate, record'"

# Activate carries no icon geometry: the panel opens at the pointer.
xdotool mousemove --sync 1000 300
dbus-send --session --print-reply --dest="$service" /StatusNotifierItem \
  org.kde.StatusNotifierItem.Activate int32:1000 int32:300 >/dev/null
check "Activate opens the panel" wait_until 3 panel_open
read -r x y <<<"$(xwininfo -id "$(panel)" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')"
# Centred on the pointer (to the pixel), its top a pixel below it.
check "the panel hangs from the pointer" \
  test "$((x + 28 + 184 - 1000))" -ge 0 -a "$((x + 28 + 184 - 1000))" -le 1 -a "$((y + 28))" = 302
xdotool key Escape
check "Escape closes it" wait_until 2 panel_closed

# The host's own icon, at the right end of its bar.
sleep 0.4
import -window root "$journey_dir/host.png"
check "the glyph is drawn in the host's bar" test "$(convert "$journey_dir/host.png" -crop 40x30+1880+0 \
  -format '%[fx:maxima.r > 0.9 ? 1 : 0]' info:)" = 1
xdotool mousemove --sync 1905 15 click 1
check "a click on the icon in the host opens the panel" wait_until 3 panel_open
import -window root "$journey_dir/sni-panel.png"
xdotool key Escape
finish
