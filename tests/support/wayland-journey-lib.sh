# Helpers for the journey scripts that run inside scripts/wayland-desktop.sh (sway, the real
# portals and PipeWire).
source "$(dirname "${BASH_SOURCE[0]}")/journey-common.sh"
[ -n "${WAYLAND_DISPLAY:-}" ] || { echo "journey: no WAYLAND_DISPLAY; run inside scripts/wayland-desktop.sh"; exit 1; }
: "${ZORV_WL_POINTER:?Wayland journeys need the pointer client (ZORV_WL_POINTER)}"

# Keys through the compositor, as a keyboard would send them: press ctrl+shift+3, press Escape.
# wtype drops keys sent before its virtual keyboard's keymap is in place, hence the pause.
press() { # press COMBO (modifiers ctrl, shift, alt, logo joined by +)
  local args=() mods=() key
  IFS=+ read -ra parts <<< "$1"
  key=${parts[-1]}
  for m in "${parts[@]:0:${#parts[@]}-1}"; do mods+=("$m"); done
  for m in "${mods[@]}"; do args+=(-M "$m"); done
  args+=(-k "$key")
  for m in "${mods[@]}"; do args+=(-m "$m"); done
  wtype -s 250 "${args[@]}"
}

# Pointer input: pointer move X Y press left move X2 Y2 release left (see zorv-wl-pointer).
pointer() { "$ZORV_WL_POINTER" "$@"; }

# The compositor's own picture of the whole layout (or of one output: grim -o NAME).
grim_png() { grim "$@"; }

# The titles of the compositor's windows, one a line; with "visible", of those shown.
window_titles() {
  swaymsg -t get_tree | /usr/bin/python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
for n in walk(json.load(sys.stdin)):
    if n.get("name") and (sys.argv[1:] != ["visible"] or n.get("visible")):
        print(n["name"])' "$@"
}
# Whether a window titled exactly TITLE is shown.
window_shown() { window_titles visible | grep -qxF -- "$1"; }
# Prints the titles that start with PREFIX (toasts are titled with their text); false if none.
window_titled() { window_titles | awk -v p="$1" 'index($0, p) == 1 { print; found = 1 } END { exit !found }'; }
overlay_shown() { window_shown "Zorv Selection"; }

# The clipboard as another client reads it (wl-paste speaks the data-control protocol, so it
# needs no focus).
clipboard_types() { wl-paste --list-types; }
clipboard_png() { wl-paste --type image/png; }
