#!/usr/bin/env bash
# A private virtual X desktop for Zorv's tests and demos: Xvfb (Composite, RandR,
# XFIXES, XInput, MIT-SHM), openbox, a tray host, a D-Bus session, PulseAudio
# with a null sink, an unlocked keyring, and XDG folders of its own.
#
#   desktop.sh start [options]      start; prints `export VAR=…` lines (also in STATE/env)
#   desktop.sh stop  [--state DIR]  stop exactly what `start` started
#   desktop.sh run   [options] -- COMMAND…   start, run COMMAND inside, stop
#
# Options: --state DIR            state folder (default: a new temporary folder)
#          --monitors LIST        e.g. 1920x1080 or 1920x1080,1920x1080 (side by side)
#          --compositor NAME      none (default), xcompmgr or picom
#          --no-audio, --no-keyring, --no-tray
set -euo pipefail

die() { echo "desktop.sh: $*" >&2; exit 1; }

cmd="${1:-}"; shift || true
state=""; monitors="1920x1080"; compositor="none"; audio=1; keyring=1; tray=1
run_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --state) state="$2"; shift 2 ;;
    --monitors) monitors="$2"; shift 2 ;;
    --compositor) compositor="$2"; shift 2 ;;
    --no-audio) audio=0; shift ;;
    --no-keyring) keyring=0; shift ;;
    --no-tray) tray=0; shift ;;
    --) shift; run_args=("$@"); break ;;
    *) die "unknown option $1" ;;
  esac
done

wait_for() { # wait_for SECONDS COMMAND… : poll until COMMAND succeeds
  local limit=$(( $1 * 20 )); shift
  for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}

remember() { echo "$1" >> "$state/pids"; }

start() {
  [ -n "$state" ] || state=$(mktemp -d /tmp/zorv-desktop.XXXXXX)
  mkdir -p "$state"
  state=$(cd "$state" && pwd)
  [ ! -s "$state/pids" ] || die "$state already holds a running desktop"
  : > "$state/pids"
  local log="$state/log"; : > "$log"

  # Monitors side by side; the X screen is their bounding box.
  local total_w=0 max_h=0 m w h
  IFS=',' read -ra mons <<< "$monitors"
  for m in "${mons[@]}"; do
    w=${m%x*}; h=${m#*x}
    total_w=$(( total_w + w )); [ "$h" -gt "$max_h" ] && max_h=$h
  done

  # A free display number; never attach to a server we did not start.
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
  done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 "${total_w}x${max_h}x24" -nolisten tcp -noreset \
    +extension COMPOSITE +extension RANDR +extension XFIXES +extension MIT-SHM >>"$log" 2>&1 &
  remember $!
  wait_for 10 xdpyinfo || die "Xvfb did not start (see $log)"

  if [ "${#mons[@]}" -gt 1 ]; then
    local x=0 i=1 name
    for m in "${mons[@]}"; do
      w=${m%x*}; h=${m#*x}
      local mm_w=$(( w * 254 / 960 )) mm_h=$(( h * 254 / 960 ))
      if [ $i -eq 1 ]; then
        xrandr --setmonitor "*M$i" "$w/${mm_w}x$h/${mm_h}+$x+0" screen >>"$log" 2>&1
      else
        xrandr --setmonitor "M$i" "$w/${mm_w}x$h/${mm_h}+$x+0" none >>"$log" 2>&1
      fi
      x=$(( x + w )); i=$(( i + 1 ))
    done
  fi

  export XDG_RUNTIME_DIR="$state/runtime" XDG_DATA_HOME="$state/data" \
         XDG_CONFIG_HOME="$state/config" XDG_CACHE_HOME="$state/cache" HOME="$state/home"
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" \
           "$HOME" "$state/Pictures"
  chmod 700 "$XDG_RUNTIME_DIR"
  echo "XDG_PICTURES_DIR=\"$state/Pictures\"" > "$XDG_CONFIG_HOME/user-dirs.dirs"

  local bus
  bus=$(dbus-daemon --session --fork --address="unix:path=$state/bus" \
        --print-address=1 --print-pid=1 2>>"$log")
  export DBUS_SESSION_BUS_ADDRESS; DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
  remember "$(echo "$bus" | sed -n 2p)"

  openbox --sm-disable >>"$log" 2>&1 &
  remember $!
  wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' \
    || die "openbox did not start (see $log)"

  case "$compositor" in
    none) ;;
    xcompmgr) xcompmgr >>"$log" 2>&1 & remember $! ;;
    picom) : > "$state/picom.conf"
           picom --backend xrender --config "$state/picom.conf" >>"$log" 2>&1 & remember $! ;;
    *) die "unknown compositor $compositor" ;;
  esac
  if [ "$compositor" != none ]; then
    wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null && xdpyinfo >/dev/null' || true
    sleep 0.3
  fi

  if [ $tray -eq 1 ]; then
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
      --SetPartialStrut true --monitor primary >>"$log" 2>&1 &
    remember $!
    wait_for 10 sh -c 'xdotool search --classname panel' || die "trayer did not start (see $log)"
  fi

  if [ $audio -eq 1 ]; then
    pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
      --load=module-native-protocol-unix \
      --load="module-null-sink sink_name=vd_sink sink_properties=device.description=VirtualSink" \
      --load="module-sine-source source_name=vd_mic frequency=440" \
      --load=module-always-sink >>"$log" 2>&1 &
    remember $!
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    wait_for 10 pactl info || die "pulseaudio did not start (see $log)"
    pactl set-default-sink vd_sink >>"$log" 2>&1 || true
    pactl set-default-source vd_mic >>"$log" 2>&1 || true
  fi

  if [ $keyring -eq 1 ]; then
    (printf 'zorv-test' | gnome-keyring-daemon --foreground --unlock --components=secrets \
       >>"$log" 2>&1) &
    remember $!
    wait_for 10 sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets | grep -q true' || true
  fi

  {
    for v in DISPLAY XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME HOME \
             DBUS_SESSION_BUS_ADDRESS PULSE_SERVER; do
      [ -n "${!v:-}" ] && printf 'export %s=%q\n' "$v" "${!v}"
    done
    printf 'export ZORV_DESKTOP_STATE=%q\n' "$state"
  } > "$state/env"
  cat "$state/env"
}

stop() {
  [ -n "$state" ] || state="${ZORV_DESKTOP_STATE:-}"
  [ -n "$state" ] && [ -f "$state/pids" ] || die "no desktop state to stop"
  local pid
  # Stop in reverse order of start; only the processes this script started.
  for pid in $(tac "$state/pids"); do
    kill "$pid" 2>/dev/null || true
    # gnome-keyring runs inside a subshell: end its children too.
    pkill -P "$pid" 2>/dev/null || true
  done
  for pid in $(cat "$state/pids"); do
    wait_for 3 sh -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
  done
  : > "$state/pids"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  run)
    [ ${#run_args[@]} -gt 0 ] || die "run needs a command after --"
    start >/dev/null
    trap 'stop' EXIT
    set +e
    # shellcheck disable=SC1091
    ( source "$state/env"; "${run_args[@]}" )
    rc=$?
    exit $rc ;;
  *) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
