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
cli=build/windows/tools/nimba-cli.exe
post_close=build/windows/tests/shell/post_close.exe

# A prefix of its own: no Wine session bound to another display is reused, and stopping its
# wineserver touches nothing else.
export WINEPREFIX="$root/build/windows/wineprefix-e2e"
source scripts/wine-env.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-gui-e2e.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit

now_ms() { echo $(($(date +%s%N) / 1000000)); }
wine_path() { echo "Z:${1//\//\\}"; }

# wait_for <seconds> <command...>: true as soon as the command succeeds, false at the deadline.
wait_for() {
  local deadline=$(($(now_ms) + $1 * 1000))
  shift
  until "$@"; do
    [ "$(now_ms)" -gt "$deadline" ] && return 1
    sleep 0.05
  done
}
logged() { grep -qE -- "$1" "$log" 2>/dev/null; }
logged_count() { [ "$(grep -cE -- "$1" "$log" 2>/dev/null)" -ge "$2" ]; }

start_xvfb 100 130 1100x760x24

# The factory cabinets as the command-line tool writes them; line i + 1 names cabinet i.
mkdir -p "$work/cabinets"
timeout 60 wine "$cli" ir-export "$(wine_path "$work/cabinets")" >"$work/export.out" 2>&1 ||
  fail "nimba-cli ir-export failed: $(cat "$work/export.out")"
tr -d '\r' <"$work/export.out" | grep '\.wav"$' | sed 's|.*/||; s|\.wav"$||' >"$work/names"
[ "$(wc -l <"$work/names")" -eq 12 ] || fail "ir-export did not name twelve cabinets"

# 1. Start.
start=$(now_ms)
NIMBA_DEMO_LOG="$(wine_path "$log")" wine "$demo" >/dev/null 2>&1 &
demo_pid=$!

window=""
find_window() {
  window=$(xdotool search --name '^Corvane Editor$' 2>/dev/null | head -1)
  [ -n "$window" ]
}
wait_for 30 find_window || fail "the demo's window did not appear"
window_ms=$(($(now_ms) - start))
read -r wx wy < <(xdotool getwindowgeometry "$window" | awk -F'[ ,]+' '/Position/ { print $3, $4 }')

# screen <file>: the whole screen; region_hash <file> <x> <y> <w> <h>: a hash of the pixels of
# a client-area rectangle.
screen() { import -window root "$1" 2>/dev/null; }
region_hash() {
  convert "$1" -crop "$4x$5+$((wx + $2))+$((wy + $3))" +repage -format '%#' info: 2>/dev/null
}
# Painted: the client area holds many colours (the start fill is one).
painted() {
  screen "$work/first.png" || return 1
  local colours
  colours=$(convert "$work/first.png" -crop "1016x693+$wx+$wy" +repage -format '%k' info: 2>/dev/null)
  [ "${colours:-0}" -ge 20 ]
}
wait_for 30 painted || fail "the client area was never painted"
paint_ms=$(($(now_ms) - start))

wait_for 20 logged_count '^recv F0 00 04 0[0-5] F7$' 6 || fail "the connect sequence did not finish"
connected_ms=$(($(now_ms) - start))
for line in '^recv F0 00 0B F7$' '^fetch ' '^recv F0 00 02 00 F7$'; do
  logged "$line" || fail "the connect sequence sent no \"$line\""
done
logged '^recv F0 00 07 ' && fail "the demo updated the firmware"
echo "60-gui-e2e: window after ${window_ms} ms, first paint after ${paint_ms} ms (screen" \
  "polled every ~0.3 s), connected after ${connected_ms} ms"
# link_status turns 1 just after the last slot name arrives; input is taken only then.
sleep 0.3

click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.15
}
rest_pointer() { xdotool mousemove --window "$window" 600 150; }
# click_and_see <x> <y> <rectangle x y w h> <what>: points at (x, y), waits for the hover to
# settle, clicks, and waits for the rectangle of the client area to change.
click_and_see() {
  local before="" previous="" i
  xdotool mousemove --window "$window" "$1" "$2"
  for i in $(seq 12); do
    sleep 0.15
    screen "$work/see.png" || continue
    before=$(region_hash "$work/see.png" "$3" "$4" "$5" "$6")
    [ "$before" = "$previous" ] && break
    previous=$before
  done
  xdotool click 1
  region_changed() {
    screen "$work/see.png" && [ "$(region_hash "$work/see.png" "$3" "$4" "$5" "$6")" != "$before" ]
  }
  wait_for 5 region_changed "$@" || fail "$7 did not appear"
}

# 2. Program up: the number at (673, 3, 50, 34) changes and program 1 is read.
rest_pointer
screen "$work/before.png"
number_before=$(region_hash "$work/before.png" 673 3 46 34)
logged '^recv F0 00 02 01 F7$' && fail "program 1 was read before it was visited"
click 726 20
wait_for 5 logged '^recv F0 00 02 01 F7$' || fail "program up did not read program 1"
number_changed() {
  screen "$work/after.png" && [ "$(region_hash "$work/after.png" 673 3 46 34)" != "$number_before" ]
}
wait_for 5 number_changed || fail "the program number on screen did not change"
echo "60-gui-e2e: program up: program 1 read, number on screen changed"

# 3. IR bypass on program 1 (stored off in the demo): its block, with byte 13 set.
rest_pointer
sleep 0.2
screen "$work/before.png"
switch_before=$(region_hash "$work/before.png" 733 51 40 20)
click 753 61
rest_pointer
block_with_bypass() {
  awk '$1 == "recv" && NF == 24 && $2 == "F0" && $4 == "01" && $5 == "01" && $24 == "F7" &&
       $15 == "01" { found = 1 } END { exit !found }' "$log"
}
wait_for 5 block_with_bypass || fail "no 23-byte block for program 1 with the bypass byte set"
switch_changed() {
  screen "$work/after.png" && [ "$(region_hash "$work/after.png" 733 51 40 20)" != "$switch_before" ]
}
wait_for 5 switch_changed || fail "the IR bypass switch did not change on screen"
echo "60-gui-e2e: IR bypass: block sent with the bypass byte set, switch changed on screen"

# 4. Slot 2's cabinet page, the list, cabinet 4, SELECT.
slot=2
cabinet=4
# The page's controls exist only once it has been painted, the list's rows likewise: these two
# clicks wait for the part of the screen they change.
click_and_see 237 $((198 + 31 * slot + 11)) 300 45 150 40 "the cabinet page"
click_and_see 375 20 260 $((42 + 31 * cabinet)) 230 31 "the cabinet list"
click 375 $((42 + 31 * cabinet + 15))
click 434 $((693 - 55 + 13)) # SELECT
# slot_holds <slot> <name> <expected image> <what>: the amplifier's report names the cabinet
# that last arrived in the slot, and the image it kept is the expected one byte for byte.
slot_holds() {
  local arrived
  arrived=$(grep "^slot $1 " "$log" | tail -1)
  [ "$arrived" = "slot $1 \"$2\" $(stat -c %s "$3") bytes" ] ||
    fail "$4: slot $1 holds ${arrived:-nothing}, wanted \"$2\""
  cmp -s "$log.slot$1.wav" "$3" || fail "$4: slot $1's image differs from $3"
  echo "60-gui-e2e: $4: slot $1 holds \"$2\", byte for byte the expected image"
}
wait_for 15 logged_count "^slot $slot \"" 1 || fail "no cabinet arrived in slot $slot"
name=$(sed -n "$((cabinet + 1))p" "$work/names")
slot_holds $slot "$name" "$work/cabinets/$name.wav" "SELECT"

# AUDITION: each cabinet chosen goes to the slot at once. The page stays open across the
# re-read that follows a transfer; wait for that to end first (link_status 1 again).
wait_for 10 logged_count '^recv F0 00 04 05 F7$' 2 || fail "no re-read after the transfer"
sleep 0.3
click 400 $((693 - 85 + 10)) # AUDITION
click 486 20                 # the next cabinet
wait_for 15 logged_count "^slot $slot \"" 2 || fail "AUDITION sent nothing to slot $slot"
name=$(sed -n "$((cabinet + 2))p" "$work/names")
slot_holds $slot "$name" "$work/cabinets/$name.wav" "AUDITION"
wait_for 10 logged_count '^recv F0 00 04 05 F7$' 3 || fail "no re-read after the audition"
sleep 0.3

# 5. STORE.
click 228 20
wait_for 5 logged '^stored$' || fail "STORE did not reach the amplifier"
echo "60-gui-e2e: STORE: the amplifier stored"
sleep 0.8 # the store is shown for half a second, during which input is not taken

# Types a path into the open picker named $1 (its file name field at $2, $3) and accepts it.
answer_picker() {
  local dialog="" title=$1
  find_dialog() {
    dialog=$(xdotool search --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$dialog" ]
  }
  wait_for 15 find_dialog || fail "the \"$title\" picker did not open"
  sleep 0.5
  xdotool mousemove --window "$dialog" "$2" "$3" click 1
  sleep 0.2
  xdotool type --delay 10 "$4"
  xdotool key Return
}

# 6. A WAV file at a sample rate the amplifier cannot take: refused, with the reason on screen
# (the status bar's left text changes) and in the report; nothing reaches the amplifier.
sox -n -r 22050 -c 1 -b 16 "$work/low_rate.wav" synth 0.05 pinknoise ||
  fail "sox could not make a WAV file"
rest_pointer
sleep 0.2
status_bar() { region_hash "$1" 10 672 600 21; }
screen "$work/before.png"
bar_before=$(status_bar "$work/before.png")
received_before=$(grep -c '^recv' "$log")
click 215 $((198 + 31 * 4 + 11)) # slot 4's import button
answer_picker Open 430 445 "$(wine_path "$work/low_rate.wav")"
refusal='^outcome import refused: sample rate outside 44100 to 96000 Hz$'
wait_for 15 logged "$refusal" || fail "the refused file's reason was not told"
rest_pointer
bar_changed() { screen "$work/after.png" && [ "$(status_bar "$work/after.png")" != "$bar_before" ]; }
wait_for 5 bar_changed || fail "the refusal did not show in the status bar"
[ "$(grep -c '^recv' "$log")" -eq "$received_before" ] || fail "a refused file reached the amplifier"
echo "60-gui-e2e: refused import: \"$(grep -E "$refusal" "$log" | sed 's/^outcome //')\", shown"

# A WAV file of the user's into slot 4, and the image the command-line tool makes of it.
sox -n -r 44100 -c 2 -b 16 "$work/my_cab.wav" synth 0.08 pinknoise fade 0 0.08 0.06 ||
  fail "sox could not make a WAV file"
timeout 60 wine "$cli" ir-convert "$(wine_path "$work/my_cab.wav")" \
  "$(wine_path "$work/my_cab_ir.wav")" >/dev/null 2>&1 || fail "nimba-cli ir-convert failed"
click 215 $((198 + 31 * 4 + 11)) # slot 4's import button
answer_picker Open 430 445 "$(wine_path "$work/my_cab.wav")"
wait_for 15 logged "^slot 4 " || fail "no cabinet arrived in slot 4 from the file picker"
slot_holds 4 MY_CAB "$work/my_cab_ir.wav" "import"
wait_for 5 logged '^outcome cabinet sent to slot 4: MY_CAB$' || fail "the import's outcome was not told"
echo "60-gui-e2e: import: \"cabinet sent to slot 4: MY_CAB\" told"
wait_for 10 logged_count '^recv F0 00 04 05 F7$' 4 || fail "no re-read after the import"
sleep 0.3

# 7. EXTRACT ALL (the cabinet page is still open) into a folder of its own.
mkdir -p "$work/extracted"
click 315 $((693 - 55 + 13))
answer_picker "Select Folder" 500 445 "$(wine_path "$work/extracted")"
all_extracted() { [ "$(find "$work/extracted" -name '*.wav' -size 16428c | wc -l)" -eq 12 ]; }
wait_for 15 all_extracted || fail "EXTRACT ALL did not write twelve cabinets"
sleep 0.2
while read -r name; do
  cmp -s "$work/extracted/$name.wav" "$work/cabinets/$name.wav" ||
    fail "EXTRACT ALL: \"$name.wav\" differs from ir-export's"
done <"$work/names"
echo "60-gui-e2e: EXTRACT ALL: the twelve cabinets, as ir-export writes them"

# 8. Peak memory, then WM_CLOSE.
memory=$(awk '/^(VmHWM|VmRSS|RssAnon|RssFile):/ { printf "%s %s %s, ", $1, $2, $3 }' \
  "/proc/$demo_pid/status" 2>/dev/null)
echo "60-gui-e2e: memory of the demo's process: ${memory%, }"
timeout 30 wine "$post_close" >/dev/null 2>&1 || fail "post_close found no demo window"
demo_ended() { ! kill -0 "$demo_pid" 2>/dev/null; }
wait_for 5 demo_ended || fail "the demo did not end after WM_CLOSE"
wait "$demo_pid"
code=$?
demo_pid=""
[ $code -eq 0 ] || fail "the demo's exit code was $code"
echo "60-gui-e2e: ok in $((($(now_ms) - start) / 1000)) s after the demo's start"
