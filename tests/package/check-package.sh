#!/usr/bin/env bash
# Packaging: the Debian package and `cmake --install` must give a complete, valid
# desktop application, and the installed executable must answer --version and --help
# without a display. Needs a built tree (zorv-installables); makes nothing outside a
# temporary folder.
set -euo pipefail
build=${ZORV_BUILD_DIR:?}
source=${ZORV_SOURCE_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# The installed program, with nothing of the caller's session: no display, no bus.
installed_zorv() {
  env -i HOME="$work/home" PATH=/usr/bin:/bin "$work/stage/bin/zorv" "$@"
}

# Install into a staging root, as a user building from source would.
cmake --install "$build" --prefix "$work/stage" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
mkdir -p "$work/home"
version_line=$(installed_zorv --version) || fail "installed zorv --version exits $?"
installed_zorv --help >"$work/help.txt" || fail "installed zorv --help exits $?"
version=$(grep -oE '[0-9]+\.[0-9]+\.[0-9]+' <<<"$version_line" | head -n1 || true)
[ -n "$version" ] || fail "no version in '$version_line'"
# Actions: the first word of each line of the "Actions:" block; options: every -x and --xyz
# at the start of a line of the "Options:" block.
actions=$(awk '/^Actions:/{on=1; next} /^$/{on=0} on{print $1}' "$work/help.txt")
# An action this build or desktop cannot do ends with its reason in brackets.
available=$(awk '/^Actions:/{on=1; next} /^$/{on=0}
  on && !/ \((not available|this desktop)[^)]*\)$/{print $1}' "$work/help.txt")
options=$(awk '/^Options:/{on=1; next} /^$/{on=0} on && /^  -/' "$work/help.txt" |
  grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' || true)
[ -n "$actions" ] || fail "zorv --help lists no actions"
[ -n "$options" ] || fail "zorv --help lists no options"

# The package, built into the temporary folder so that a developer's build/ is untouched.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
debs=("$work"/deb/zorv_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: cpack made ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}
[ "$(basename "$deb")" = "zorv_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "package file $(basename "$deb") does not carry version $version"
dpkg-deb -I "$deb" >"$work/info.txt"
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents.txt"
field() { sed -n "s/^ $1: //p" "$work/info.txt"; }
[ "$(field Package)" = zorv ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version '$(field Version)' is not $version"
depends=$(field Depends)
# Computed from the linked libraries: the C library, Qt and the modules' libheif, libpulse,
# QtNetwork, libtesseract and libpipewire; the English model named by hand, as text recognition reads it
# at run time.
for lib in libc6 libqt6widgets6 libqt6svg6 libheif1 libpulse0 libqt6network6 libtesseract5 libavcodec59 \
  libpipewire-0.3-0 tesseract-ocr-eng; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: '$depends'"
done
grep -q '^ Recommends:' "$work/info.txt" && fail "the package recommends: $(field Recommends)"

expected=(/usr/bin/zorv /usr/lib/zorv/libzorv-heif.so /usr/lib/zorv/libzorv-pulse.so
  /usr/lib/zorv/libzorv-upload.so
  /usr/lib/zorv/libzorv-ocr.so /usr/lib/zorv/libzorv-video.so /usr/lib/zorv/libzorv-pipewire.so
  /usr/lib/zorv/libzorv-wlclip.so
  /usr/share/applications/zorv.desktop
  /usr/share/metainfo/app.zorv.zorv.metainfo.xml /usr/share/man/man1/zorv.1.gz
  /usr/share/doc/zorv/copyright /usr/share/doc/zorv/LICENSE.lucide
  /usr/share/icons/hicolor/scalable/apps/zorv.svg)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/zorv.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$work/contents.txt" || fail "the package lacks $path"
done
grep -vE '^/(usr(/.*)?)?$' "$work/contents.txt" | sed 's/^/outside \/usr: /' | grep . && fail "files outside /usr"

dpkg-deb -x "$deb" "$work/root"
root=$work/root
env -i HOME="$work/home" PATH=/usr/bin:/bin "$root/usr/bin/zorv" --version >/dev/null ||
  fail "the packaged zorv --version fails"
# Nothing from the machine that built it: no source or build folder in any file (RPATHs,
# compiled-in search paths, debug information), also as the UTF-16 of Qt's string literals.
leaks=()
while IFS= read -r -d '' file; do
  { cat "$file"; strings -el "$file"; } | grep -caF -e "$source" -e "$build" \
    -e "$(realpath "$source")" -e "$(realpath "$build")" >/dev/null && leaks+=("${file#"$root"}")
done < <(find "$root" -type f -print0)
[ ${#leaks[@]} -eq 0 ] || fail "build paths in: ${leaks[*]}"
# Each PNG is square at the size its folder names.
for png in "$root"/usr/share/icons/hicolor/*x*/apps/zorv.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "${w}x${h}" = "$size" ] || fail "$png is ${w}x${h}"
done

# Validators: errors and warnings fail; hints and pedantic notes do not.
desktop=$root/usr/share/applications/zorv.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
grep -E 'error:|warning:' <<<"$out" && fail "desktop-file-validate: $out"
metainfo=$root/usr/share/metainfo/app.zorv.zorv.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$work/as.txt" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/as.txt")"
newest=$(grep -oE '<release [^>]*version="[^"]+"' "$metainfo" | head -n1 | sed 's/.*version="//; s/"$//')
[ "$newest" = "$version" ] || fail "the newest release in the metainfo is '$newest', zorv is $version"
# The tree as installed: the metainfo's launchable desktop entry is there.
appstreamcli validate-tree --no-net "$root" >"$work/as-tree.txt" 2>&1 ||
  fail "appstreamcli validate-tree: $(cat "$work/as-tree.txt")"
grep -qx 'Icon=zorv' "$desktop" || fail "the desktop entry does not use the zorv icon"
grep -qx 'StartupNotify=false' "$desktop" || fail "the desktop entry lacks StartupNotify=false"

# Desktop actions run `zorv ACTION` for actions this version can carry out, and every
# action listed in Actions= has its group.
listed=$(sed -n 's/^Actions=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
[ -n "$listed" ] || fail "the desktop entry has no actions"
for id in $listed; do
  exec_line=$(awk -v g="[Desktop Action $id]" '$0==g{on=1; next} /^\[/{on=0} on && /^Exec=/' "$desktop")
  action=${exec_line#Exec=zorv }
  [ "$exec_line" = "Exec=zorv $action" ] || fail "desktop action $id runs '$exec_line'"
  grep -qxF "$action" <<<"$available" || fail "desktop action $id runs '$action', not an action zorv can do"
done

# The manual page is of this version and names every action and every option that --help
# lists.
man_text=$(gzip -dc "$root/usr/share/man/man1/zorv.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
grep -qE "^\.TH ZORV 1 .*\"Zorv $version\"" <<<"$man_text" || fail "zorv(1) is not of version $version"
for action in $actions; do
  grep -qE "^\.(B|BR|RB|TP) +$action( |$)" <<<"$man_text" || fail "zorv(1) does not list the action $action"
done
for option in $options; do
  grep -qE "^\.[A-Z]+ (.*[ \"])?$option([ \"]|$)" <<<"$man_text" || fail "zorv(1) does not list the option $option"
done

if [ "$failures" -gt 0 ]; then
  echo "$failures packaging check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb"): $(wc -l <"$work/contents.txt") entries, Depends: $depends"
