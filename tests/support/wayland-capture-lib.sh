# Helpers for the Wayland capture journeys: a still window to capture, waits for a screen that
# shows nothing else, pixel comparisons.
source "$(dirname "${BASH_SOURCE[0]}")/wayland-journey-lib.sh"

mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nplaySound=false\nshowQuickAccess=false\n' > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

same_pixels() { test "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0; }

sway_windows() { # prints "TITLE<TAB>X<TAB>Y" for every visible window
  swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
for n in walk(json.load(sys.stdin)):
    if n.get("type") in ("con", "floating_con") and n.get("visible"):
        print("\t".join([n["name"], str(n["rect"]["x"]), str(n["rect"]["y"])]))'
}
window_origin() { sway_windows | awk -F'\t' -v t="$1" '$1 == t {print $2, $3; exit}'; }
# Zorv's own notices show in every picture of the screen on Wayland: wait until they are gone.
only_page_shown() { test "$(sway_windows | cut -f1)" = zorv-scroll-page; }
# Zorv started, its notice about the missing tray shown and gone again.
start_zorv_quietly() {
  start_zorv
  wait_until 10 grep -q tray-installed "$ZORV_TRACE_FILE"
  sleep 1.5
  check "only the still window shows" wait_until 20 only_page_shown
  sleep 0.3
}

# A still window: a page of text that nothing animates.
show_still_page() {
  "${ZORV_SCROLL_PAGE:?}" "$journey_dir/page-geometry" >/dev/null 2>&1 &
  page_pid=$!
  wait_until 10 window_shown zorv-scroll-page || fail "the still window is shown"
}
