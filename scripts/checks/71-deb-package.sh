#!/usr/bin/env bash
# The Linux package, made by the linux-release preset and installed with dpkg (as root):
#   1. nimba-editor_<version>_amd64.deb: dependencies from dpkg-shlibdeps, the programs
#      (stripped), the desktop entry, the icon and the metainfo;
#   2. dpkg -i installs it; the installed desktop entry passes desktop-file-validate, starts an
#      installed program and names an installed icon; the metainfo passes `appstreamcli
#      validate --no-net`; nimba-cli prints the version; the installed demo opens its window
#      under Xvfb;
#   3. dpkg -r removes every file it installed.
# Reports the package's size.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

fail() { echo "71-deb-package: $*"; exit 1; }
say() { echo "71-deb-package: $*"; }
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

package=nimba-editor
dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' &&
  fail "$package is installed already; remove it first (dpkg -r $package)"

build=build/linux-release
cmake --preset linux-release -DNIMBA_VERSION= >/dev/null || fail "configure failed"
cmake --build --preset linux-release -j2 --target package >/dev/null || fail "package failed"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$build/packages/${package}_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb"

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-deb.XXXXXX")
installed=""
xvfb_pid=""
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$installed" ] && $SUDO dpkg -r "$package" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# 1. What the package holds.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* ]] || fail "Depends does not come from shlibdeps: '$depends'"
dpkg-deb -x "$deb" "$work/tree" || fail "dpkg-deb cannot unpack $deb"
for path in usr/bin/nimba-cli usr/bin/nimba-editor usr/bin/nimba-editor-demo; do
  [ -x "$work/tree/$path" ] || fail "the package holds no $path"
  file -b "$work/tree/$path" | grep -q ', stripped' || fail "$path is not stripped"
done
desktop=$(find "$work/tree/usr/share/applications" -name '*.desktop' 2>/dev/null)
metainfo=$(find "$work/tree/usr/share/metainfo" -name '*.xml' 2>/dev/null)
icons=$(find "$work/tree/usr/share/icons/hicolor" -type f 2>/dev/null)
[ -n "$desktop" ] && [ -n "$metainfo" ] && [ -n "$icons" ] ||
  fail "the package lacks the desktop entry, the metainfo or the icon"

# 2. Installed.
$SUDO dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
installed=1
mapfile -t files < <(dpkg -L "$package" | while read -r f; do [ -d "$f" ] || echo "$f"; done)
for f in "${desktop#"$work/tree"}" "${metainfo#"$work/tree"}"; do
  [ -f "$f" ] || fail "$f is not installed"
done
desktop-file-validate "${desktop#"$work/tree"}" || fail "desktop-file-validate"
# The entry starts an installed program and names an installed icon.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ "$(command -v "$exec_name")" = "/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not installed"
printf '%s\n' "${files[@]}" | grep -q "^/usr/share/icons/hicolor/.*/apps/$icon_name\.\(png\|svg\)$" ||
  fail "Icon=$icon_name is not installed"
appstreamcli validate --no-net "${metainfo#"$work/tree"}" >"$work/validate.out" 2>&1 ||
  { cat "$work/validate.out"; fail "appstreamcli validate"; }
[ "$(/usr/bin/nimba-cli --version)" = "nimba-cli $version" ] ||
  fail "the installed nimba-cli does not say $version"

source scripts/lib/xvfb.sh
start_xvfb 161 190 1280x800x24
/usr/bin/nimba-editor-demo >/dev/null 2>&1 &
demo_pid=$!
wait_for_editor_window "$demo_pid" || fail "the installed demo opened no window"
say "the installed demo opened its window"
kill "$demo_pid"
wait "$demo_pid" 2>/dev/null
demo_pid=""

# 3. Removed.
$SUDO dpkg -r "$package" >/dev/null || fail "dpkg -r failed"
installed=""
for f in "${files[@]}"; do
  [ -e "$f" ] && fail "dpkg -r left $f"
done
say "dpkg -r removed all ${#files[@]} files"
say "$(basename "$deb") $(stat -c %s "$deb") bytes, Depends: $depends"
say "ok"
