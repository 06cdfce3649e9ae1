#!/usr/bin/env bash
# A private headless Wayland desktop for Zorv's tests: sway (headless outputs, software
# rendering), a D-Bus session, PipeWire with WirePlumber and its pulse server (a silent output
# and microphone), and xdg-desktop-portal with the wlroots backend (Screenshot, ScreenCast),
# the GTK backend (Access, without which the Screenshot portal is not offered) and a stand-in
# GlobalShortcuts backend bound to sway keys.
#
#   wayland-desktop.sh start [options]      start; prints `export VAR=…` lines (also in STATE/env)
#   wayland-desktop.sh stop  [--state DIR]  stop exactly what `start` started
#   wayland-desktop.sh run   [options] -- COMMAND…   start, run COMMAND inside, stop
#
# Options: --state DIR          state folder (default: a new temporary folder)
#          --monitors LIST      e.g. 1920x1080 or 1920x1080,1280x720 (side by side)
#          --build DIR          build folder with the test helpers (default: $ZORV_BUILD_DIR,
#                               else ./build of the source tree)
#          --no-shortcuts       without the stand-in GlobalShortcuts backend
#
# Inside: WAYLAND_DISPLAY, SWAYSOCK, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR, PULSE_SERVER,
# QT_QPA_PLATFORM=wayland, and ZORV_WL_POINTER (a pointer-input client). The portal's wlroots
# backend writes every screenshot to /tmp/out.png, so two desktops must not take screenshots
# at the same time.
set -euo pipefail

die() { echo "wayland-desktop.sh: $*" >&2; exit 1; }

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
cmd="${1:-}"; shift || true
in_run=0; started=0; state=""; monitors="1920x1080"; build="${ZORV_BUILD_DIR:-$source_dir/build}"; shortcuts=1
run_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --state) state="$2"; shift 2 ;;
    --monitors) monitors="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --no-shortcuts) shortcuts=0; shift ;;
    --) shift; run_args=("$@"); break ;;
    *) die "unknown option $1" ;;
  esac
done

wait_for() { # wait_for SECONDS COMMAND… : poll until COMMAND succeeds
  local limit=$(( $1 * 20 )); shift
  for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}

has_name() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q true
}

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

remember() { echo "$1" >> "$state/pids"; }

# spawn NAME COMMAND… : start a daemon in a session of its own, logging to STATE/NAME.log
spawn() {
  local name=$1; shift
  setsid "$@" >"$state/$name.log" 2>&1 </dev/null &
  remember $!
}

# start fails half-way: stop what is up, then report
fail_start() {
  echo "wayland-desktop.sh: $*" >&2
  [ "$in_run" -eq 1 ] || stop >/dev/null 2>&1 || true
  exit 1
}

start() {
  local t0 m; t0=$(now)
  local shim="$build/tests/zorv-screencopy-shm.so" pointer="$build/tests/zorv-wl-pointer"
  [ -f "$shim" ] && [ -x "$pointer" ] || die "missing test helpers in $build/tests; build them \
with: ninja -C $build zorv-screencopy-shm zorv-wl-pointer (needs libwayland-dev at configure time)"
  shim=$(cd "$(dirname "$shim")" && pwd)/$(basename "$shim")
  pointer=$(cd "$(dirname "$pointer")" && pwd)/$(basename "$pointer")

  IFS=',' read -ra mons <<< "$monitors"
  for m in "${mons[@]}"; do
    [[ $m =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || die "bad monitor size $m (want WxH)"
  done

  [ -n "$state" ] || state=$(mktemp -d /tmp/zorv-wayland.XXXXXX)
  mkdir -p "$state"
  state=$(cd "$state" && pwd)
  [ ! -s "$state/pids" ] || die "$state already holds a running desktop"
  : > "$state/pids"
  started=1

  # Outputs side by side, named HEADLESS-1, HEADLESS-2, … by the compositor.
  local conf="$state/sway.conf" x=0 i=1 w h
  {
    echo "xwayland disable"
    echo "default_border none"
    for m in "${mons[@]}"; do
      w=${m%x*}; h=${m#*x}
      echo "output HEADLESS-$i resolution ${w}x$h position $x 0 bg #336699 solid_color"
      x=$(( x + w )); i=$(( i + 1 ))
    done
    # A bar with a tray: the StatusNotifierItem host that Wayland desktops offer, so that
    # Zorv's tray icon has a place, as on the X11 test desktop.
    printf 'bar {\n  position bottom\n  tray_output *\n}\n'
  } > "$conf"

  # Every process of the desktop carries ZORV_WAYLAND_STATE: `stop` finds the helpers that
  # D-Bus starts on demand (permission store, document portal) by it.
  export ZORV_WAYLAND_STATE="$state"
  export XDG_RUNTIME_DIR="$state/runtime" XDG_DATA_HOME="$state/data" \
         XDG_CONFIG_HOME="$state/config" XDG_CACHE_HOME="$state/cache" HOME="$state/home" \
         XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1 GTK_A11Y=none
  unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" \
           "$HOME" "$state/Pictures" "$state/portals"
  chmod 700 "$XDG_RUNTIME_DIR"
  echo "XDG_PICTURES_DIR=\"$state/Pictures\"" > "$XDG_CONFIG_HOME/user-dirs.dirs"

  local bus
  bus=$(dbus-daemon --session --fork --address="unix:path=$state/bus" \
        --print-address=1 --print-pid=1 2>>"$state/dbus.log")
  export DBUS_SESSION_BUS_ADDRESS; DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
  remember "$(echo "$bus" | sed -n 2p)"

  # sway refuses to run as root: as root, run it as uid 1000 of a user namespace of its own.
  local sway=(sway -c "$conf")
  [ "$(id -u)" -ne 0 ] || sway=(unshare --user --map-user=1000 --map-group=1000 "${sway[@]}")
  WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=${#mons[@]} WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman spawn sway "${sway[@]}"
  wait_for 10 compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" \
    || fail_start "sway did not start: $(tail -3 "$state/sway.log")"
  export SWAYSOCK WAYLAND_DISPLAY
  SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -1)
  wait_for 5 compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]" || fail_start "sway has no display"
  WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-[0-9]" | head -1)")

  spawn pipewire pipewire
  wait_for 5 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail_start "pipewire did not start"
  spawn wireplumber wireplumber
  # Sound for PulseAudio clients (Zorv's audio capture) through PipeWire's own pulse server: a
  # silent output whose monitor is the system audio, and a silent virtual microphone.
  spawn pipewire-pulse pipewire-pulse
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  wait_for 5 pactl info || fail_start "pipewire-pulse does not answer"
  pactl load-module module-null-sink sink_name=zorv_out \
    sink_properties=device.description=ZorvOutput >/dev/null
  pactl load-module module-null-sink sink_name=zorv_mic media.class=Audio/Source/Virtual \
    sink_properties=device.description=ZorvMicrophone >/dev/null
  # Defaults are kept by WirePlumber, which may not have its metadata up yet.
  wait_for 5 pactl set-default-sink zorv_out || fail_start "no default sound output"
  wait_for 5 pactl set-default-source zorv_mic || fail_start "no default microphone"

  # Portals: only the backends listed here, never the system's whole portal folder.
  printf '[screencast]\noutput_name=HEADLESS-1\nchooser_type=none\nmax_fps=30\n' \
    > "$state/xdpw.conf"
  cp /usr/share/xdg-desktop-portal/portals/wlr.portal \
     /usr/share/xdg-desktop-portal/portals/gtk.portal "$state/portals/"
  LD_PRELOAD="$shim" spawn xdpw /usr/libexec/xdg-desktop-portal-wlr -l INFO -c "$state/xdpw.conf"
  spawn xdpgtk /usr/libexec/xdg-desktop-portal-gtk
  local names=(org.freedesktop.impl.portal.desktop.wlr org.freedesktop.impl.portal.desktop.gtk)
  if [ $shortcuts -eq 1 ]; then
    printf '[portal]\nDBusName=%s\nInterfaces=%s;\nUseIn=sway\n' \
      org.freedesktop.impl.portal.desktop.zorvshortcuts \
      org.freedesktop.impl.portal.GlobalShortcuts > "$state/portals/zorvshortcuts.portal"
    spawn shortcuts /usr/bin/python3 "$source_dir/tests/support/wayland/globalshortcuts-standin.py"
    names+=(org.freedesktop.impl.portal.desktop.zorvshortcuts)
  fi
  local name
  for name in "${names[@]}"; do
    wait_for 10 has_name "$name" || fail_start "$name did not appear (logs in $state)"
  done
  XDG_DESKTOP_PORTAL_DIR="$state/portals" spawn portal /usr/libexec/xdg-desktop-portal
  wait_for 10 has_name org.freedesktop.portal.Desktop \
    || fail_start "xdg-desktop-portal did not start (see $state/portal.log)"
  wait_for 5 pw-cli info 0 || fail_start "pipewire does not answer"

  {
    for v in XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME HOME \
             DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP \
             XDG_SESSION_TYPE ZORV_WAYLAND_STATE PULSE_SERVER; do
      printf 'export %s=%q\n' "$v" "${!v}"
    done
    printf 'export QT_QPA_PLATFORM=wayland GDK_BACKEND=wayland\n'
    printf 'export ZORV_WL_POINTER=%q\n' "$pointer"
    printf 'unset DISPLAY\n'
  } > "$state/env"
  echo "wayland-desktop.sh: up in $(seconds_since "$t0") s" >&2
  cat "$state/env"
}

alive() { # a zombie has ended already
  [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null
}

stop() {
  local t0; t0=$(now)
  [ -n "$state" ] || state="${ZORV_WAYLAND_STATE:-}"
  [ -n "$state" ] && [ -f "$state/pids" ] || die "no desktop state to stop"
  local pids pid p
  # Helpers started by D-Bus, found by the marker in their environment, then what we started
  # ourselves in reverse order.
  pids=$(for p in /proc/[0-9]*; do
           { tr '\0' '\n' < "$p/environ"; } 2>/dev/null \
             | grep -qxF "ZORV_WAYLAND_STATE=$state" && echo "${p#/proc/}"
         done; tac "$state/pids")
  for pid in $pids; do
    [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] && alive "$pid" && kill "$pid" 2>/dev/null || true
  done
  for pid in $pids; do
    [ "$pid" = $$ ] || [ "$pid" = "$BASHPID" ] && continue
    wait_for 3 sh -c "! [ -e /proc/$pid ] || grep -q '^[0-9]* (.*) Z' /proc/$pid/stat" \
      || kill -9 "$pid" 2>/dev/null || true
  done
  # The document portal mounts a FUSE folder in the runtime folder.
  if grep -qF " $state/runtime/doc " /proc/mounts; then
    fusermount3 -u "$state/runtime/doc" 2>/dev/null || umount -l "$state/runtime/doc" || true
  fi
  : > "$state/pids"
  echo "wayland-desktop.sh: down in $(seconds_since "$t0") s" >&2
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  run)
    [ ${#run_args[@]} -gt 0 ] || die "run needs a command after --"
    own_state=0; [ -n "$state" ] || own_state=1
    in_run=1
    # The desktop goes away however COMMAND ends: success, failure or Ctrl+C. A folder of our
    # own goes too, unless something failed: then its logs tell why.
    finish() {
      local rc=$?
      [ "$started" -eq 1 ] || return 0
      stop
      if [ "$rc" -eq 0 ] && [ "$own_state" -eq 1 ]; then
        rm -rf --one-file-system "$state"
      elif [ "$rc" -ne 0 ]; then
        echo "wayland-desktop.sh: logs in $state" >&2
      fi
    }
    trap finish EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    start >/dev/null
    set +e
    # shellcheck disable=SC1091
    ( source "$state/env"; "${run_args[@]}" )
    rc=$?
    exit $rc ;;
  *) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
