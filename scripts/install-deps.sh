#!/usr/bin/env bash
# Installs the Debian 12 packages Zorv needs to build, test and run.
# Only missing packages are installed; runs as root or through sudo.
set -euo pipefail

build_pkgs=(
  build-essential cmake ninja-build ccache pkg-config clang-format python3
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qtkeychain-qt6-dev libqt6opengl6-dev
  libxcb1-dev libxcb-randr0-dev libxcb-composite0-dev libxcb-render0-dev
  libxcb-shm0-dev libxcb-xfixes0-dev libxcb-xinput-dev libxcb-keysyms1-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-image0-dev libxcb-util-dev libxcb-shape0-dev
  libxcb-xtest0-dev
  libspng-dev zlib1g-dev libheif-dev libcanberra-dev libpulse-dev
  libtesseract-dev tesseract-ocr-eng tesseract-ocr
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libimagequant-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libglib2.0-dev
  dpkg-dev desktop-file-utils appstream
)
desktop_pkgs=(
  xvfb x11-xserver-utils x11-utils xdotool xclip imagemagick openbox trayer libgtk2.0-0
  xcompmgr picom xterm dbus dbus-x11 pulseaudio pulseaudio-utils libasound2-plugins
  gnome-keyring libsecret-tools sound-theme-freedesktop libcanberra0
  fonts-dejavu-core hyperfine flameshot procps psmisc xdg-utils file strace
  haskell-gtk-sni-tray-utils python3-dbus python3-gi
  ffmpeg
)
# The headless Wayland desktop (scripts/wayland-desktop.sh): compositor, portals, PipeWire,
# input and screenshot tools for the checks, and the headers its small helpers build against.
wayland_pkgs=(
  sway xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  pipewire pipewire-bin pipewire-pulse wireplumber gstreamer1.0-pipewire gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  qt6-wayland wtype grim libwayland-dev libpipewire-0.3-dev fuse3 wl-clipboard
)

missing=()
for p in "${build_pkgs[@]}" "${desktop_pkgs[@]}" "${wayland_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install packages: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
