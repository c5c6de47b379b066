#!/usr/bin/env bash
# The demo edition end to end: the editor and its built-in virtual amplifier under Wine on a
# virtual X display, driven by xdotool, checked on screen and in the amplifier's report
# (NIMBA_DEMO_LOG: every message the amplifier takes, written as it takes it, and every outcome
# the editor tells the user, as "outcome <text>").
#   1. start: the connect sequence reaches the amplifier (version, firmware fetch, program 0,
#      the six slot names); time to the first painted frame and the window's appearance;
#   2. program up: the number on screen changes and program 1 is read (request 02 01);
#   3. IR bypass: the amplifier gets program 1's 23-byte block with the bypass byte set, and
#      the switch changes on screen;
#   4. a factory cabinet chosen from the list on slot 2's cabinet page, then SELECT: the
#      amplifier's slot 2 holds that cabinet's image, byte for byte as `nimba-cli ir-export`
#      writes it, under its name; then AUDITION on and the next cabinet goes to the slot at once;
#   5. STORE: the amplifier stores;
#   6. a 22050 Hz WAV file refused: its reason reaches the report and the status bar changes;
#      then a WAV file imported into slot 4 through the Windows file picker: the slot holds the
#      image `nimba-cli ir-convert` makes of it, named after the file, and the outcome says so;
#   7. EXTRACT ALL into a folder chosen in the folder picker: the twelve files `ir-export` writes;
#   then the round again by keyboard only: Escape, program up, IR bypass, a cabinet SELECTed into
#   slot 2, STORE (gui-round.sh's keyboard_round); BACKUP into a file chosen in the save picker,
#   a program changed, RESTORE from that file confirmed: only that program is written, stored and
#   told (librarian_round);
#   8. the peak memory of the process, and WM_CLOSE ending it with exit code 0.
# Every wait has a deadline; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

fail() {
  echo "60-gui-e2e: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- the amplifier's report:"; tail -20 "$log"; }
  exit 1
}

cmake --preset windows >/dev/null || fail "configure failed"
cmake --build --preset windows -j2 --target nimba-editor-demo nimba-cli post_close ||
  fail "build failed"
demo=build/windows/app/nimba-editor-demo.exe
cli_exe=build/windows/tools/nimba-cli.exe
post_close=build/windows/tests/shell/post_close.exe

# A prefix of its own: no Wine session bound to another display is reused, and stopping its
# wineserver touches nothing else.
export WINEPREFIX="$root/build/windows/wineprefix-e2e"
source scripts/wine-env.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-gui-e2e.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit

tag=60-gui-e2e
client_w=1016
client_h=693
source scripts/lib/gui-round.sh
host_path() { echo "Z:${1//\//\\}"; }
cli() { timeout 60 wine "$cli_exe" "$@"; }
point_at() { xdotool mousemove --window "$window" "$1" "$2"; }
# Without a window manager Wine's window takes the keyboard once X gives it the input focus.
keys() {
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --delay 120 "$@"
  sleep 0.2
}
# Types the path into the file name field of the open picker and accepts it. A dialog still
# laying itself out on a loaded machine may miss the first click: then the field is selected
# whole and typed again until the dialog closes.
answer_picker() {
  local dialog="" title=$1 field_x=430 attempt
  [ "$title" = "Select Folder" ] && field_x=500
  find_dialog() {
    dialog=$(xdotool search --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$dialog" ]
  }
  dialog_closed() { ! xdotool search --name "^$title\$" >/dev/null 2>&1; }
  wait_for 15 find_dialog || fail "the \"$title\" picker did not open"
  for attempt in 1 2 3; do
    sleep 0.5
    # Once keys() gave the editor's window the input focus, X keeps it there for a new dialog.
    xdotool windowfocus "$dialog" 2>/dev/null
    xdotool mousemove --window "$dialog" "$field_x" 445 click 1
    sleep 0.2
    xdotool key End shift+Home
    xdotool type --delay 10 "$2"
    xdotool key Return
    wait_for 5 dialog_closed && return 0
  done
  fail "the \"$title\" picker did not take the path"
}

start_xvfb 100 130 1100x760x24
export_factory_cabinets

# 1. Start.
start=$(now_ms)
NIMBA_DEMO_LOG="$(host_path "$log")" wine "$demo" >/dev/null 2>&1 &
demo_pid=$!
demo_started "$start"

# 2. to 7., then the keyboard's round.
demo_round
keyboard_round
librarian_round

# 8. Peak memory, then WM_CLOSE.
report_memory "$demo_pid"
timeout 30 wine "$post_close" >/dev/null 2>&1 || fail "post_close found no demo window"
demo_ended() { ! kill -0 "$demo_pid" 2>/dev/null; }
wait_for 5 demo_ended || fail "the demo did not end after WM_CLOSE"
wait "$demo_pid"
code=$?
demo_pid=""
[ $code -eq 0 ] || fail "the demo's exit code was $code"
echo "60-gui-e2e: ok in $((($(now_ms) - start) / 1000)) s after the demo's start"
