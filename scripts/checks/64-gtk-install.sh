#!/usr/bin/env bash
# `cmake --install` of the Linux edition into a scratch prefix: the three programs in bin/, the
# desktop entry, the icon (SVG and a 256 x 256 PNG) and the AppStream metainfo in their places,
# with the entry passing desktop-file-validate and the metainfo appstreamcli validate --no-net.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
fail() {
  echo "64-gtk-install: $*"
  exit 1
}
id=com.corvane.NimbaEditor

cmake --preset native >/dev/null || fail "configure failed"
cmake --build --preset native -j2 --target nimba-editor nimba-editor-demo nimba-cli \
  nimba_icon_png || fail "build failed"
prefix=$(mktemp -d "${TMPDIR:-/tmp}/nimba-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install build/native --prefix "$prefix" >/dev/null || fail "cmake --install failed"

for file in bin/nimba-editor bin/nimba-editor-demo bin/nimba-cli \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/256x256/apps/$id.png; do
  [ -s "$prefix/$file" ] || fail "$file was not installed"
done
for program in nimba-editor nimba-editor-demo nimba-cli; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
[ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/256x256/apps/$id.png")" = 256x256 ] ||
  fail "the PNG icon is not 256 x 256"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli validate"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "the entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo launches another entry"
echo "64-gtk-install: the programs, entry, icons and metainfo installed and valid"
