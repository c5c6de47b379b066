#!/usr/bin/env bash
# Shows that 10-layers.sh sees what it must: in a copy of the tree (tracked and new files) it
# passes untouched, then fails on each planted include, one kind at a time: quoted, angle-
# bracket and relative includes that point up, app/ and tools/ and an edition reaching
# sideways, a file git does not know yet, every Windows header in a portable file and in the
# GTK edition, a GTK header in a portable file, and a README whose quote of the table drifted.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-layer-plants.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$root"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -f "$f" ] && printf '%s\0' "$f"; done |
  xargs -0 cp --parents -t "$work"
git -C "$work" init -q && git -C "$work" add -A || exit 1
check="$work/scripts/checks/10-layers.sh"

failed=0
out=$(bash "$check" "$work" 2>&1) || { echo "layer plants: the untouched copy fails:"; echo "$out"; failed=1; }

# plant FILE TEXT WHAT: appends TEXT to FILE (made when new, left untracked), runs the check,
# expects it to fail naming FILE, then puts the file back.
plant() {
  local file=$1 text=$2 what=$3 saved=""
  [ -f "$work/$file" ] && saved=$(cat "$work/$file")
  printf '%s\n' "$text" >>"$work/$file"
  if out=$(bash "$check" "$work" 2>&1); then
    echo "layer plants: not caught: $what ($file: $text)"
    failed=1
  elif ! grep -q "^$file:" <<<"$out"; then
    echo "layer plants: failed, but not on $file: $what"
    echo "$out"
    failed=1
  else
    echo "layer plants: caught $what"
  fi
  if [ -n "$saved" ]; then printf '%s\n' "$saved" >"$work/$file"; else rm -f "$work/$file"; fi
}

plant core/state.cpp '#include "ui/renderer.h"' "a quoted include up (core -> ui)"
plant device/worker.cpp '#include <ui/renderer.h>' "an angle-bracket include up (device -> ui)"
plant core/outcome.cpp '#include "../ui/renderer.h"' "a relative include up (core -> ../ui)"
plant app/editor.cpp '#include "app/gtk/editor_gtk.h"' "the shared app code including an edition"
plant app/gtk/editor_gtk.cpp '#include "app/win32/editor_win32.h"' "one edition including another"
plant tools/nimba_cli.cpp '#include "app/editor.h"' "tools including app"
plant ui/planted.cpp '#include "device/worker.h"' "a file git does not know yet (ui -> device)"
plant tests/ui/planted_test.cpp '#include "device/link.h"' "a test reaching past its folder's layers"
plant ui/renderer.cpp '#include <gtk/gtk.h>' "a GTK header in a portable file"
plant app/gtk/editor_gtk.cpp '#include <windows.h>' "a Windows header in the GTK edition"

# Every Windows header, planted at once into one portable file: each must be named.
windows_headers=(windows.h winsock2.h ws2tcpip.h wininet.h winhttp.h d2d1.h d2d1_1.h dwrite.h
  dwrite_3.h dxgi.h shobjidl.h shlobj.h shellapi.h knownfolders.h wrl/client.h wrl.h commctrl.h
  mmsystem.h objbase.h combaseapi.h ole2.h urlmon.h wincodec.h Windows.h)
saved=$(cat "$work/core/state.cpp")
for h in "${windows_headers[@]}"; do echo "#include <$h>" >>"$work/core/state.cpp"; done
out=$(bash "$check" "$work" 2>&1)
for h in "${windows_headers[@]}"; do
  grep -q "^core/state.cpp:[0-9]*: includes the Windows header $h " <<<"$out" ||
    { echo "layer plants: the Windows header <$h> in a portable file not caught"; failed=1; }
done
printf '%s\n' "$saved" >"$work/core/state.cpp"
[ $failed -eq 0 ] && echo "layer plants: caught each of ${#windows_headers[@]} Windows headers"

sed -i 's/^ui  *-> core$/ui             -> core device/' "$work/README.md"
if bash "$check" "$work" >/dev/null 2>&1; then
  echo "layer plants: a README quote that differs from layers.txt not caught"
  failed=1
else
  echo "layer plants: caught a README quote that differs from layers.txt"
fi

[ $failed -eq 0 ] && echo "layer plants: the check passes on the tree and fails on every plant"
exit $failed
