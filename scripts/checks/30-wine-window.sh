#!/usr/bin/env bash
# The Windows editor under Wine on a virtual X display:
#   1. the program's resources (icon group 101, manifest, GUI subsystem), read with the mingw tools;
#   2. the window layer's tests, with a display so that none of them skips (window, events,
#      Direct2D canvas read back from the screen);
#   3. the editor itself: its window is 1024 x 720 at 96 DPI (1016 x 693 client area under Wine
#      without a window manager), its client area is painted, and a WM_CLOSE ends it within a
#      second with exit code 0;
#   4. an editor whose worker never stops still ends within a second of WM_CLOSE, exit code 0,
#      and one that cannot make its window ends with the no-COM exit code;
#   5. the paint benchmark (cached bitmaps against bitmaps made per draw), reported, not judged.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

fail() { echo "30-wine-window: $*"; exit 1; }

# Waits for the editor's window; $1 names the editor in the failure.
wait_for_window() { wait_for_editor_window || fail "$1's window did not appear"; }

# Posts WM_CLOSE and waits at most $1 ms for $editor_pid to end; sets $code to its exit code
# and $close_ms to the time it took. $2 names the editor in failures, $3 says the limit.
close_within() {
  wine "$tests/post_close.exe" >/dev/null 2>&1 || fail "post_close found no window of $2"
  local start
  start=$(date +%s%N)
  while kill -0 "$editor_pid" 2>/dev/null; do
    [ $((($(date +%s%N) - start) / 1000000)) -gt "$1" ] &&
      fail "$2 did not end within $3 of WM_CLOSE"
    sleep 0.02
  done
  wait "$editor_pid"
  code=$?
  editor_pid=""
  close_ms=$((($(date +%s%N) - start) / 1000000))
}

cmake --preset windows >/dev/null || fail "configure failed"
cmake --build --preset windows -j2 --target nimba-editor shell_tests post_close editor_faults \
  paint_bench ||
  fail "build failed"
exe=build/windows/app/nimba-editor.exe
tests=build/windows/tests/shell

python3 tests/shell/check_resources.py "$exe" || fail "resources"

# A prefix of its own, so that no Wine session bound to another display is reused.
export WINEPREFIX="$root/build/windows/wineprefix-gui"
source scripts/wine-env.sh
source scripts/lib/xvfb.sh

work=$(mktemp -d)
xvfb_pid=""
editor_pid=""
cleanup() {
  [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb 70 99 1280x800x24

# 2. The window layer's tests.
out=$(timeout 300 wine "$tests/shell_tests.exe" --gtest_brief=1 2>&1)
status=$?
echo "$out" | grep -v '^it looks like wine32\|^as root, please'
[ $status -eq 0 ] || fail "shell tests failed"
echo "$out" | grep -q 'SKIPPED' && fail "shell tests skipped with a display"

# 3. The editor.
wine "$exe" >/dev/null 2>&1 &
editor_pid=$!
wait_for_window "the editor"

# Painted: many colours and hardly any of the start fill RGB(2, 2, 2) left. The first present
# of a fresh Wine session can take seconds on a loaded machine. The non-black part of the
# screen is the client area: under Wine without a window manager the frame stays black.
painted=0
geometry=""
colours=0
not_fill=0
for _ in $(seq 1 60); do
  import -window root "$work/shot.png" 2>/dev/null
  geometry=$(convert "$work/shot.png" -fill white +opaque black -format '%@' info: 2>/dev/null)
  colours=$(convert "$work/shot.png" -crop "$geometry" +repage -format '%k' info: 2>/dev/null)
  not_fill=$(convert "$work/shot.png" -crop "$geometry" +repage -fill white +opaque 'srgb(2,2,2)' \
    -fill black -opaque 'srgb(2,2,2)' -format '%[fx:mean]' info: 2>/dev/null)
  if [ "${colours:-0}" -ge 20 ] && awk -v f="${not_fill:-0}" 'BEGIN { exit !(f > 0.5) }'; then
    painted=1
    break
  fi
  sleep 0.5
done
[ $painted -eq 1 ] || fail "client area not painted: $colours colours, $not_fill not the start fill"

if [[ $geometry =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
  cw=${BASH_REMATCH[1]} ch=${BASH_REMATCH[2]} cx=${BASH_REMATCH[3]} cy=${BASH_REMATCH[4]}
else
  fail "cannot measure the painted area ($geometry)"
fi
# A 4-pixel border on three sides and a 23-pixel caption on top.
outer_w=$((cw + 2 * cx))
outer_h=$((ch + cy + cx))
echo "30-wine-window: client area ${cw}x${ch} at ${cx},${cy}: window ${outer_w}x${outer_h}"
{ [ "$cw" -eq 1016 ] && [ "$ch" -eq 693 ]; } || fail "client area ${cw}x${ch}, wanted 1016x693"
{ [ "$outer_w" -eq 1024 ] && [ "$outer_h" -eq 720 ]; } ||
  fail "window ${outer_w}x${outer_h}, wanted 1024x720"
x_geometry=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')
[ "$x_geometry" = "1016x693" ] || fail "the X window is $x_geometry, wanted 1016x693"

close_within 1000 "the editor" "a second"
echo "30-wine-window: editor ended $close_ms ms after WM_CLOSE, exit code $code"
[ $code -eq 0 ] || fail "the editor's exit code was $code"

# 4. A worker that cannot be stopped: the process must end anyway, without waiting for it.
wine "$tests/editor_faults.exe" stuck-worker >/dev/null 2>&1 &
editor_pid=$!
wait_for_window "the stuck-worker editor"
# 200 ms for the worker, then the process is ended; Wine's teardown of a process whose thread
# is still busy takes a while longer on a loaded machine.
close_within 2000 "the stuck-worker editor" "two seconds"
echo "30-wine-window: with a stuck worker the editor ended $close_ms ms after WM_CLOSE," \
  "exit code $code"
[ $code -eq 0 ] || fail "with a stuck worker the exit code was $code"

# COM already taken in another mode on the GUI thread: no window, and an exit code, at once.
timeout 60 wine "$tests/editor_faults.exe" com-taken >/dev/null 2>&1
code=$?
echo "30-wine-window: without COM the editor ended with exit code $code"
[ $code -eq 2 ] || fail "without COM the exit code was $code, wanted 2"

# 5. The paint benchmark. Its figures are what counts; a Wine session that is slow to let the
# process go after it printed them does not fail the check.
bench=$(timeout 240 wine "$tests/paint_bench.exe" 3 2>&1 | grep '^paint')
[ -n "$bench" ] || fail "paint benchmark failed"
echo "$bench"
echo "30-wine-window: ok"
