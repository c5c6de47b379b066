#!/usr/bin/env bash
# The Linux edition's controls as assistive technology sees them: nimba-editor-demo on a virtual
# X display with a session bus and the accessibility bus, read over AT-SPI (python3-pyatspi):
#   1. every control of the main page with its role and name, the program's value and range,
#      the status bar with the connection;
#   2. IR BYPASS pressed through AT-SPI's click action: its state turns checked and the
#      amplifier gets program 0's block with the bypass byte set;
#   3. a pointer click on the switch: the state follows, unchecked;
#   4. a cabinet page opened through its page button's action: the page's controls are offered,
#      the main page's no longer.
# Every wait has a deadline; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tag=65-gtk-atspi

fail() {
  echo "$tag: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- the amplifier's report:"; tail -20 "$log"; }
  exit 1
}

# A session bus of its own, which starts the accessibility bus when the editor asks for it.
if [ -z "${NIMBA_ATSPI_SESSION:-}" ]; then
  NIMBA_ATSPI_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi

cmake --preset native >/dev/null || fail "configure failed"
cmake --build --preset native -j2 --target nimba-editor-demo || fail "build failed"
demo=build/native/app/nimba-editor-demo

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-atspi.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit native
source scripts/lib/gui-round.sh
cli_exe=""
source scripts/lib/gtk-editor.sh
# The editor's accessibility: GTK talks to the bus unless told otherwise.
unset NO_AT_BRIDGE GTK_A11Y

start_xvfb 100 130 1100x760x24
start=$(now_ms)
NIMBA_DEMO_LOG="$log" "$demo" 2>"$work/demo.err" &
demo_pid=$!
demo_started "$start"

# The IR BYPASS switch's place on the screen, for the probe's pointer click.
/usr/bin/python3 scripts/lib/atspi_probe.py "$log" \
  xdotool mousemove --sync $((wx + 753)) $((wy + 61)) click 1 || fail "the AT-SPI probe failed"

close_editor "$demo_pid" "$work/demo.err"
demo_pid=""
echo "$tag: ok in $((($(now_ms) - start) / 1000)) s after the demo's start"
