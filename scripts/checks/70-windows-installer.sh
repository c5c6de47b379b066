#!/usr/bin/env bash
# The Windows packages, installed under Wine in a fresh prefix:
#   1. the `package` target makes the setup and the portable zip (three programs, the readme);
#   2. setup.exe /S installs for the current user: the files, two Start-menu shortcuts, the
#      uninstall entry with its fields; each program's VERSIONINFO and manifest version read
#      back (mingw windres); the installed nimba-cli prints the version and the installed
#      editor opens its window;
#   3. the setup of the next version (the build reconfigured with -DNIMBA_VERSION, then put
#      back) upgrades in place: the installed version's uninstaller ran first (a value planted
#      in its entry is gone), one entry, one folder, the new version;
#   4. the entry's QuietUninstallString removes the files, the shortcuts and the entry;
#   5. /AllUsers installs into Program Files under HKLM, and its uninstaller removes it again.
# Reports the package sizes and how long a silent install takes.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

fail() { echo "70-windows-installer: $*"; exit 1; }
say() { echo "70-windows-installer: $*"; }

build=build/windows
programs=(nimba-editor nimba-editor-demo nimba-cli)
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\NIMBA Editor'

cmake --preset windows -DNIMBA_VERSION= >/dev/null || fail "configure failed"
cmake --build --preset windows -j2 --target package post_close >/dev/null || fail "build failed"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
setup="$build/packages/nimba-editor-$version-win64-setup.exe"
zip="$build/packages/nimba-editor-$version-win64.zip"
[ -f "$setup" ] && [ -f "$zip" ] || fail "package made no setup and zip for $version"

# 1. The zip: one folder with the programs and the readme.
listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
wanted="nimba-editor-$version-win64/README.txt nimba-editor-$version-win64/nimba-cli.exe"
wanted+=" nimba-editor-$version-win64/nimba-editor-demo.exe nimba-editor-$version-win64/nimba-editor.exe "
[ "$listing" = "$wanted" ] || fail "the zip holds $listing"

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-installer.XXXXXX")
cp "$setup" "$work/setup.exe"
xvfb_pid=""
editor_pid=""
overridden=""
restore_build() {
  cmake --preset windows -DNIMBA_VERSION= >/dev/null &&
    cmake --build --preset windows -j2 --target "${programs[@]}" >/dev/null
}
cleanup() {
  [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$overridden" ] && restore_build
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The next version's setup: the same build with the version overridden, then put back.
overridden=1
cmake --preset windows -DNIMBA_VERSION="$next" >/dev/null &&
  cmake --build --preset windows -j2 --target "${programs[@]}" >/dev/null &&
  (cd "$build" && cpack -G NSIS >/dev/null) || fail "the $next setup was not built"
mv "$build/packages/nimba-editor-$next-win64-setup.exe" "$work/next.exe"
restore_build || fail "the build was not put back to $version"
overridden=""

# A fresh prefix on a display of its own.
export WINEPREFIX="$root/$build/wineprefix-installer"
rm -rf "$WINEPREFIX"
source scripts/lib/xvfb.sh
start_xvfb 131 160 1280x800x24
source scripts/wine-env.sh
drive_c="$WINEPREFIX/drive_c"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# read_entry ROOT: the product's uninstall entry under ROOT (HKCU or HKLM) into $entry, one
# "name<TAB>data" line per value; field NAME: the data of one of them.
read_entry() {
  entry=$(wine reg query "$1\\$uninstall_key" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \([A-Za-z]*\)    REG_[A-Z_]*    \(.*\)$/\1\t\2/p')
}
field() { awk -F'\t' -v name="$1" '$1 == name { print $2 }' <<<"$entry"; }
# entries: how many uninstall entries of the product both roots hold.
entries() {
  local r
  for r in HKCU HKLM; do
    wine reg query "$r\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null
  done | tr -d '\r' | grep -c 'DisplayName *REG_SZ *NIMBA Editor$'
}
unix_path() { winepath -u "$1" 2>/dev/null; }
shortcuts() { find "$drive_c" -name 'NIMBA Editor*.lnk'; }
menu='Microsoft/Windows/Start Menu/Programs'
# run_setup SETUP ARGS...: runs the setup silently and waits for it; sets $install_ms.
run_setup() {
  local start
  start=$(now_ms)
  wine "$@" /S >/dev/null 2>&1 || fail "$1 /S ended with $?"
  wineserver -w
  install_ms=$(($(now_ms) - start))
}
# uninstall ROOT: runs the entry's QuietUninstallString, as `wine "C:\...\Uninstall.exe" args`.
uninstall() {
  local quiet exe args
  read_entry "$1"
  quiet=$(field QuietUninstallString)
  [[ $quiet =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString is '$quiet'"
  exe=${BASH_REMATCH[1]} args=${BASH_REMATCH[2]}
  [[ $args == *"/S"* ]] || fail "QuietUninstallString has no /S: '$quiet'"
  # shellcheck disable=SC2086
  wine "$exe" $args >/dev/null 2>&1 || fail "the uninstaller ended with $?"
  wineserver -w
}
# check_entry ROOT VERSION: the entry's fields; sets $folder to the install folder.
check_entry() {
  local location name
  read_entry "$1"
  location=$(field InstallLocation)
  folder=$(unix_path "$location")
  [ -n "$location" ] && [ -d "$folder" ] || fail "$1: InstallLocation '$location' is no folder"
  [ "$(field DisplayName)" = "NIMBA Editor" ] || fail "$1: DisplayName"
  [ "$(field DisplayVersion)" = "$2" ] || fail "$1: DisplayVersion is not $2"
  [ "$(field Publisher)" = "Corvane" ] || fail "$1: Publisher"
  [ "$(field DisplayIcon)" = "$location\\nimba-editor.exe,0" ] || fail "$1: DisplayIcon"
  for name in UninstallString QuietUninstallString; do
    [[ $(field $name) == "\"$location\\Uninstall.exe\""* ]] ||
      fail "$1: $name does not run $location\\Uninstall.exe"
  done
  local size kb
  size=$(($(field EstimatedSize)))
  kb=$(du -sk "$folder" | cut -f1)
  { [ "$size" -gt $((kb * 9 / 10)) ] && [ "$size" -lt $((kb * 11 / 10)) ]; } ||
    fail "$1: EstimatedSize $size KB, the folder holds $kb KB"
}
# check_files VERSION: the programs, the readme and the uninstaller in $folder, and each
# program's VERSIONINFO.
check_files() {
  local p rc
  for p in "${programs[@]}" Uninstall; do
    [ -f "$folder/$p.exe" ] || fail "$p.exe is not installed"
  done
  [ -f "$folder/README.txt" ] || fail "README.txt is not installed"
  for p in "${programs[@]}"; do
    rc=$(x86_64-w64-mingw32-windres -i "$folder/$p.exe" -O rc 2>/dev/null) ||
      fail "$p.exe: windres cannot read its resources"
    for value in '"CompanyName", "Corvane"' '"ProductName", "NIMBA Editor"' \
      "\"FileVersion\", \"$1\"" "\"ProductVersion\", \"$1\"" "\"OriginalFilename\", \"$p.exe\"" \
      '"LegalCopyright", "Copyright (C) [0-9]* Corvane"' '"FileDescription", "NIMBA Editor'; do
      grep -q "VALUE $value" <<<"$rc" || fail "$p.exe: VERSIONINFO lacks $value"
    done
    grep -q "FILEVERSION ${1//./, }, 0" <<<"$rc" || fail "$p.exe: FILEVERSION is not $1"
    [ "$p" = nimba-cli ] || grep -q "assemblyIdentity .* version=\"\"$1.0\"\"" <<<"$rc" ||
      fail "$p.exe: the manifest's version is not $1.0"
  done
  [ "$(wine "$folder/nimba-cli.exe" --version 2>/dev/null | tr -d '\r')" = "nimba-cli $1" ] ||
    fail "the installed nimba-cli does not say $1"
}

# 2. Per-user install.
run_setup "$work/setup.exe"
say "silent install took $install_ms ms"
[ "$(entries)" -eq 1 ] || fail "$(entries) uninstall entries after the install"
check_entry HKCU "$version"
case $folder in */AppData/Local/Programs/NIMBA\ Editor) ;; *) fail "installed into $folder" ;; esac
check_files "$version"
user_folder=$folder
links="$(unix_path "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")/$menu"
[ "$(shortcuts | wc -l)" -eq 2 ] && grep -qa 'nimba-editor\.exe' "$links/NIMBA Editor.lnk" &&
  grep -qa 'nimba-editor-demo\.exe' "$links/NIMBA Editor demo.lnk" ||
  fail "no Start-menu shortcuts to the editor and the demo in $links: $(shortcuts)"

wine "$folder/nimba-editor.exe" >/dev/null 2>&1 &
editor_pid=$!
wait_for_editor_window || fail "the installed editor opened no window"
wine "$build/tests/shell/post_close.exe" >/dev/null 2>&1 || fail "post_close found no window"
for _ in $(seq 1 100); do
  kill -0 "$editor_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$editor_pid" 2>/dev/null && fail "the installed editor did not end after WM_CLOSE"
wait "$editor_pid"
code=$?
editor_pid=""
[ $code -eq 0 ] || fail "the installed editor ended with $code"
say "the installed editor opened its window and closed with 0"

# 3. Upgrade in place.
wine reg add "HKCU\\$uninstall_key" /v Planted /d old /f >/dev/null 2>&1
run_setup "$work/next.exe"
say "upgrade to $next took $install_ms ms"
read_entry HKCU
[ -z "$(field Planted)" ] || fail "the installed version was not uninstalled first"
[ "$(entries)" -eq 1 ] || fail "$(entries) uninstall entries after the upgrade"
check_entry HKCU "$next"
[ "$folder" = "$user_folder" ] || fail "the upgrade went to $folder"
[ "$(find "$(dirname "$folder")" -maxdepth 1 -name 'NIMBA*' | wc -l)" -eq 1 ] ||
  fail "more than one folder after the upgrade"
check_files "$next"
[ "$(shortcuts | wc -l)" -eq 2 ] || fail "$(shortcuts | wc -l) shortcuts after the upgrade"

# 4. Uninstall.
uninstall HKCU
[ ! -e "$user_folder" ] || fail "the uninstaller left $(ls "$user_folder")"
[ -z "$(shortcuts)" ] || fail "the uninstaller left $(shortcuts)"
[ "$(entries)" -eq 0 ] || fail "the uninstaller left the entry"

# 5. Per-machine.
run_setup "$work/setup.exe" /AllUsers
check_entry HKLM "$version"
case $folder in */Program\ Files/NIMBA\ Editor) ;; *) fail "/AllUsers installed into $folder" ;; esac
read_entry HKCU
[ -z "$entry" ] || fail "/AllUsers wrote a per-user entry"
[ "$(shortcuts | grep -c "/ProgramData/$menu/")" -eq 2 ] || fail "/AllUsers shortcuts: $(shortcuts)"
uninstall HKLM
[ ! -e "$folder" ] && [ -z "$(shortcuts)" ] && [ "$(entries)" -eq 0 ] ||
  fail "the per-machine uninstall left files, shortcuts or the entry"

say "setup $(stat -c %s "$setup") bytes, zip $(stat -c %s "$zip") bytes"
say "ok"
