#!/usr/bin/env bash
# A short scripted demo of Zorv in its own virtual desktop, for machines
# without a display: starts the desktop, starts Zorv, captures the full screen,
# then an area by dragging over the terminal and pins it, and leaves the
# screenshots and files in a folder it names.
set -euo pipefail
zorv="$(realpath "${1:-build/zorv}")"
here="$(cd "$(dirname "$0")" && pwd)"
out="${ZORV_DEMO_DIR:-$(mktemp -d /tmp/zorv-demo.XXXXXX)}"
mkdir -p "$out"

"$here/desktop.sh" run -- bash -s "$zorv" "$out" <<'DEMO'
set -euo pipefail
zorv="$1"; out="$2"
export ZORV_TRACE_FILE="$out/trace.log"
xterm -geometry 80x20+200+150 -title "Zorv demo" -e bash -c 'echo "Hello from the Zorv demo"; sleep 60' &
"$zorv" --no-welcome >"$out/zorv.log" 2>&1 &
for _ in $(seq 100); do grep -q hotkeys-registered "$out/trace.log" 2>/dev/null && break; sleep 0.1; done
sleep 1
echo "Pressing Control+Shift+3 (capture full screen)…"
xdotool key ctrl+shift+3
for _ in $(seq 100); do [ -f "$XDG_DATA_HOME/Zorv/history.json" ] && break; sleep 0.1; done
sleep 0.3
xclip -selection clipboard -t image/png -o > "$out/clipboard.png" 2>/dev/null || true
import -window root "$out/desktop.png"

echo "Pressing Control+Shift+4 and dragging over the terminal (capture area)…"
xdotool mousemove --sync 180 130 key ctrl+shift+4
sleep 1
xdotool mousedown 1 mousemove --sync 400 250 mousemove --sync 700 420
sleep 0.5
import -window root "$out/overlay.png"
xdotool mouseup 1
for _ in $(seq 50); do [ "$(grep -c history-written "$out/trace.log")" -ge 2 ] && break; sleep 0.1; done
echo "Pressing Control+Shift+P (pin the last capture)…"
xdotool mousemove --sync 1200 700 key ctrl+shift+p
sleep 1
import -window root "$out/pinned.png"
cp -r "$XDG_DATA_HOME/Zorv" "$out/history"
"$zorv" --quit || true
echo
echo "Zorv captured the screen and an area, and pinned the area. Look at:"
echo "  $out/history/History/   the captures as Zorv stored them"
echo "  $out/history/history.json"
echo "  $out/clipboard.png      what another program pastes after the first capture"
echo "  $out/desktop.png        the virtual desktop"
echo "  $out/overlay.png        the selection overlay during the drag"
echo "  $out/pinned.png         the area pinned above the desktop"
echo "  $out/zorv.log           Zorv's log"
DEMO
