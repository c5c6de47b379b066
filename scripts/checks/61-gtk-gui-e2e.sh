#!/usr/bin/env bash
# The Linux edition's demo end to end: nimba-editor-demo on a virtual X display, driven by
# xdotool in root coordinates, checked on screen and in the amplifier's report
# (NIMBA_DEMO_LOG), the same round as the Windows edition's check (60-gui-e2e.sh):
#   1. start: the connect sequence; time to the first frame drawn (NIMBA_LAUNCH_MS);
#   a wheel notch down over the program number reads program 127, one up goes back to
#   program 0 and sends its block;
#   2.-7. program up, IR bypass, SELECT and AUDITION, STORE, a WAV file through the GTK file
#   chooser, EXTRACT ALL through its folder mode;
#   then by keyboard only: Escape, program up, IR bypass, a cabinet SELECTed into slot 2, STORE;
#   BACKUP into a file chosen in the save picker, a program changed, RESTORE from that file
#   confirmed: only that program is written;
#   8. peak memory, and closing the window ending the process with 0 and no sanitizer report.
# NIMBA_GUI_PRESET names the build (default native, ASan + UBSan; 63-gtk-gui-tsan.sh runs it
# on native-tsan). Every wait has a deadline; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
preset=${NIMBA_GUI_PRESET:-native}
tag="61-gtk-gui-e2e ($preset)"

fail() {
  echo "$tag: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- the amplifier's report:"; tail -20 "$log"; }
  exit 1
}

cmake --preset "$preset" >/dev/null || fail "configure failed"
cmake --build --preset "$preset" -j2 --target nimba-editor-demo nimba-cli || fail "build failed"
demo=build/$preset/app/nimba-editor-demo
cli_exe=build/$preset/tools/nimba-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-gtk-gui-e2e.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit native

source scripts/lib/gui-round.sh
source scripts/lib/gtk-editor.sh

start_xvfb 100 130 1100x760x24
export_factory_cabinets

# 1. Start.
start=$(now_ms)
NIMBA_LAUNCH_MS=$start NIMBA_DEMO_LOG="$log" "$demo" 2>"$work/demo.err" &
demo_pid=$!
demo_started "$start"
echo "$tag: first frame drawn $(first_frame "$work/demo.err")"

# The wheel, before the round's program up: down from program 0 wraps to 127 (read), up
# comes back to the loaded program 0 (its block sent).
point_at 695 20
sleep 0.2
xdotool click 5
wait_for 15 logged '^recv F0 00 02 7F F7$' || fail "a wheel notch down did not read program 127"
xdotool click 4
block_of_program_0() {
  awk '$1 == "recv" && NF == 24 && $4 == "01" && $5 == "00" { found = 1 } END { exit !found }' "$log"
}
wait_for 15 block_of_program_0 || fail "a wheel notch up did not go back to program 0"
echo "$tag: wheel: a notch down read program 127, a notch up went back to program 0"
sleep 0.3

# 2. to 7., then the keyboard's round.
demo_round
keyboard_round
librarian_round

# 8. Peak memory, then the window closed.
report_memory "$demo_pid"
close_editor "$demo_pid" "$work/demo.err"
demo_pid=""
echo "$tag: ok in $((($(now_ms) - start) / 1000)) s after the demo's start"
