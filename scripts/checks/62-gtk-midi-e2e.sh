#!/usr/bin/env bash
# The Linux editor over real MIDI: nimba-editor on a virtual X display against
# `nimba-cli emulate` on JACK virtual ports (a private jackd, dummy driver), driven by xdotool in
# root coordinates and checked in what the emulator received (--log, --received):
#   1. the editor starts with no amplifier; once the emulator's ports appear it connects, reads
#      the six slot names, and the slot panel changes on screen;
#   2. program up: program 1 is requested;
#   3. IR bypass: program 1's block goes out;
#   4. factory cabinet 4 chosen on slot 2's cabinet page and SELECTed: the emulator's slot 2
#      holds the image `nimba-cli ir-export` writes for it;
#   5. STORE: the emulator stores;
#   6. closing the window while the file picker is open ends the editor at once, with 0 (the
#      worker waiting for the picker is left to the process's end); then `nimba-cli device`
#      finds program 1's bypass switched and the cabinet's name in slot 2.
# Every wait has a deadline; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tag=62-gtk-midi-e2e

fail() {
  echo "$tag: $*"
  [ -n "${log:-}" ] && [ -f "$log" ] && { echo "--- the emulator's log:"; tail -20 "$log"; }
  [ -n "${work:-}" ] && [ -f "$work/editor.err" ] &&
    { echo "--- the editor's errors:"; grep -v 'ALSA\|^$' "$work/editor.err" | tail -30; }
  exit 1
}

cmake --preset native >/dev/null || fail "configure failed"
cmake --build --preset native -j2 --target nimba-editor nimba-cli || fail "build failed"
editor=build/native/app/nimba-editor
cli_exe=build/native/tools/nimba-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-gtk-midi-e2e.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
source scripts/lib/jack.sh
jackd_pid=""
emulator_pid=""
editor_pid=""
xvfb_pid=""
trap '[ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null
      [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
      [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null
      [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

source scripts/lib/gui-round.sh
source scripts/lib/gtk-editor.sh

start_xvfb 100 130 1100x760x24
start_jack_server "$work/jackd.log" || fail "jackd did not start: $(tail -3 "$work/jackd.log")"
export_factory_cabinets

# 1. The editor with no amplifier, then the emulator.
start=$(now_ms)
NIMBA_LAUNCH_MS=$start "$editor" 2>"$work/editor.err" &
editor_pid=$!
wait_for 30 find_editor_window || fail "the editor's window did not appear"
wait_for 30 painted || fail "the client area was never painted"
echo "$tag: first frame drawn $(first_frame "$work/editor.err")"
point_at 600 150
sleep 1
screen "$work/no-device.png"
panel_before=$(region_hash "$work/no-device.png" 0 198 250 186)

mkdir -p "$work/received"
"$cli_exe" emulate --name "NIMBA e2e" --log "$log" --received "$work/received" \
  >"$work/emulate.out" 2>"$work/emulate.err" &
emulator_pid=$!
wait_for_port "NIMBA e2e" || fail "the emulator's ports did not appear: $(cat "$work/emulate.err")"
connect_start=$(now_ms)
wait_for 30 logged_count '^<- 04 ' 6 || fail "the editor did not read the six slot names"
echo "$tag: connected, slot names read $(($(now_ms) - connect_start)) ms after the ports appeared"
panel_changed() {
  screen "$work/connected.png" &&
    [ "$(region_hash "$work/connected.png" 0 198 250 186)" != "$panel_before" ]
}
wait_for 5 panel_changed || fail "the slot panel did not change once connected"
sleep 0.5

# 2. Program up.
program_reads=$(grep -c '^<- 02 ' "$log")
see_change 5 673 3 46 34 click 726 20 || fail "the program number on screen did not change"
wait_for 5 logged_count '^<- 02 ' $((program_reads + 1)) || fail "program up did not request a program"
echo "$tag: program up: a program requested, the number on screen changed"

# 3. IR bypass.
rest_pointer
sleep 0.3
blocks=$(grep -c '^<- 01 ' "$log")
bypass_click() {
  click 753 61
  rest_pointer
}
see_change 5 733 51 40 20 bypass_click || fail "the IR bypass switch did not change on screen"
wait_for 5 logged_count '^<- 01 ' $((blocks + 1)) || fail "IR bypass sent no block"
echo "$tag: IR bypass: a block sent, the switch changed on screen"

# 4. Slot 2's cabinet page, the list, cabinet 4, SELECT.
slot=2
cabinet=4
click_and_see 237 $((198 + 31 * slot + 11)) 300 45 150 40 "the cabinet page"
click_and_see 375 20 260 $((42 + 31 * cabinet)) 230 31 "the cabinet list"
click 375 $((42 + 31 * cabinet + 15))
click 434 $((client_h - 55 + 13)) # SELECT
name=$(sed -n "$((cabinet + 1))p" "$work/names")
wait_for 30 logged "^cabinet slot $slot \"$name\" 16428 bytes$" ||
  fail "cabinet \"$name\" did not arrive in slot $slot"
cmp -s "$work/received/slot$slot.wav" "$work/cabinets/$name.wav" ||
  fail "slot $slot holds other bytes than ir-export's \"$name.wav\""
echo "$tag: SELECT: slot $slot holds \"$name\", byte for byte ir-export's image"
slot_reads=$(grep -c '^<- 04 ' "$log")
wait_for 10 logged_count '^<- 04 ' $((slot_reads + 1)) || true # the re-read after the transfer
sleep 1

# 5. STORE.
click 228 20
wait_for 5 logged '^stored$' || fail "STORE did not reach the emulator"
echo "$tag: STORE: the emulator stored"
sleep 0.8

# 6. Close with the file picker open, then ask the emulator what it holds.
report_memory "$editor_pid"
click 215 $((198 + 31 * 4 + 11)) # slot 4's import button
picker_open() { xdotool search --name '^Open$' >/dev/null 2>&1; }
wait_for 15 picker_open || fail "the file picker did not open"
close_editor "$editor_pid" "$work/editor.err"
editor_pid=""
echo "$tag: closed with the file picker open: the editor ended $closed_ms ms after the request"
cli device read 1 >"$work/read.out" 2>&1 || fail "nimba-cli device read 1 failed: $(cat "$work/read.out")"
grep -qE '^  ir bypass +off$' "$work/read.out" || fail "program 1's bypass was not switched off"
cli device info >"$work/info.out" 2>&1 || fail "nimba-cli device info failed"
grep -qxF "slot $slot: $name" "$work/info.out" || fail "device info does not name \"$name\" in slot $slot"
echo "$tag: after closing: program 1's bypass off, slot $slot named \"$name\""
echo "$tag: ok in $((($(now_ms) - start) / 1000)) s"
