#!/usr/bin/env bash
# The librarian over the real command line: `nimba-cli device` against `nimba-cli emulate` on a
# private JACK server, a fresh emulator for each part. A restore of chosen programs writes those
# alone and leaves the amplifier-wide values unless asked; an amplifier that answers about the
# program before after each change is backed up in seconds, with the same programs; diff names
# a slot whose cabinet changed and a backup from another firmware, and restore warns of the
# firmware; a restore cut short by an amplifier unplugged says which programs were written and
# stored. Prints the wall time of a backup from a clean and from a stale amplifier.
# Bounded: every command runs under `timeout`; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
name=51-librarian-cli

cmake --preset native >/dev/null && cmake --build --preset native -j2 --target nimba-cli >/dev/null ||
  { echo "$name: building nimba-cli failed"; exit 1; }
cli=$root/build/native/tools/nimba-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-librarian.XXXXXX")
source scripts/lib/jack.sh
jackd_pid=""
emulator_pid=""
stop_emulator() {
  [ -n "$emulator_pid" ] && kill -INT "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  emulator_pid=""
}
cleanup() {
  stop_emulator
  [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source scripts/lib/cli-run.sh

# start_emulator <tag> [emulate options...]: a freshly seeded amplifier on ports "NIMBA <tag>",
# logging to $work/<tag>.log; the one before is stopped first.
start_emulator() {
  local tag=$1
  shift
  stop_emulator
  "$cli" emulate --name "NIMBA $tag" --log "$work/$tag.log" "$@" \
    >"$work/emulate-$tag.out" 2>"$work/emulate-$tag.err" &
  emulator_pid=$!
  wait_for_port "NIMBA $tag" || { echo "$name: the emulator's ports did not appear"; exit 1; }
}

# log_since <tag> <line count>: the emulator log's lines after the first <line count>.
log_since() { tail -n +$(($2 + 1)) "$work/$1.log"; }
log_lines() { wc -l <"$work/$1.log"; }

# edit <from.json> <to.json> <python statements on b, the backup>
edit() {
  python3 - "$1" "$2" "$3" <<'PY' || fail "editing $1 failed"
import json, sys
b = json.load(open(sys.argv[1]))
exec(sys.argv[3])
open(sys.argv[2], "w").write(json.dumps(b))
PY
}

start_jack_server "$work/jackd.log" || { echo "jackd did not start:"; tail -5 "$work/jackd.log"; exit 1; }

# A clean amplifier: its backup, timed.
start_emulator clean
start=$(date +%s.%N)
run 0 backup device backup "$work/clean.json"
clean_time=$(seconds_since "$start")

# Chosen programs: 9 and 10 and the tolex colour differ in the file. --program 9 writes one
# block, for program 9, with the amplifier's own amplifier-wide values; --amp-values with
# program 10 carries the file's.
edit "$work/clean.json" "$work/changed.json" '
for n in (9, 10): b["programs"][n]["channel"] = (b["programs"][n]["channel"] + 1) % 3
b["tolex_colour"] = (b["tolex_colour"] + 1) % 6'
lines=$(log_lines clean)
run 0 restore-one device restore "$work/changed.json" --program 9
expect_line "$work/restore-one.out" "restored program 9"
log_since clean "$lines" | grep '^block \|^stored$' >"$work/restore-one.blocks"
[ "$(cat "$work/restore-one.blocks")" = "$(printf 'block program 9\nstored')" ] ||
  fail "restore --program 9 wrote: $(tr '\n' ';' <"$work/restore-one.blocks")"
run 1 diff-one device diff "$work/changed.json"
grep -q '^tolex_colour: ' "$work/diff-one.out" || fail "the tolex colour was restored unasked"
grep -q '^program 10 channel: ' "$work/diff-one.out" || fail "program 10 was restored unasked"
grep -q '^program 9 ' "$work/diff-one.out" && fail "program 9 still differs after its restore"
lines=$(log_lines clean)
run 0 restore-amp device restore "$work/changed.json" --program 10 --amp-values
expect_line "$work/restore-amp.out" "restored program 10 and the amplifier-wide values tolex_colour"
[ "$(log_since clean "$lines" | grep -c '^block ')" -eq 1 ] &&
  log_since clean "$lines" | grep -qxF 'block program 10, amplifier-wide values changed: tolex_colour' ||
  fail "restore --program 10 --amp-values did not write program 10 alone with the tolex colour"

# What a restore cannot write back: a cabinet uploaded into slot 2 renames it; a backup that
# names another firmware. diff lists both; restore warns of the firmware.
sox -R -n -r 44100 -c 1 -b 16 "$work/room.wav" synth 0.05 pinknoise fade 0 0.05 0.04 ||
  { echo "$name: sox failed"; exit 1; }
run 0 upload device upload-ir 2 "$work/room.wav"
edit "$work/changed.json" "$work/firmware.json" 'b["firmware"] = "1.5.0"'
run 1 diff-names device diff "$work/firmware.json"
expect_line "$work/diff-names.out" "firmware: file 1.5.0, amplifier 1.0.0; a restore cannot change the firmware"
expect_line "$work/diff-names.out" "slot_names[2]: file \"\", amplifier \"ROOM\"; a restore cannot write it back: a slot's name changes only with a cabinet upload"
run 0 restore-firmware device restore "$work/firmware.json"
expect_line "$work/restore-firmware.err" "nimba-cli: warning: the backup is from firmware 1.5.0, the amplifier runs 1.0.0"
expect_line "$work/restore-firmware.out" "nothing differs, nothing written"

# An amplifier that answers once about the program before after each change: every program is
# asked twice, at once, and the backup holds what the clean one does.
start_emulator stale --stale 1
start=$(date +%s.%N)
run 0 backup-stale device backup "$work/stale.json"
stale_time=$(seconds_since "$start")
python3 - "$work/clean.json" "$work/stale.json" <<'PY' || fail "the stale amplifier's backup differs"
import json, sys
clean, stale = (json.load(open(p)) for p in sys.argv[1:])
for key in ("programs", "slot_names", "global_values", "tolex_colour", "midi_channel", "firmware"):
    assert clean[key] == stale[key], key
PY
awk -v t="$stale_time" 'BEGIN { exit !(t < 20) }' || fail "the stale amplifier took $stale_time s to back up"

# An amplifier unplugged in the middle of a restore of programs 10 to 13: it takes as many
# messages as the same restore sends to a fresh amplifier up to its third block, then no more.
edit "$work/clean.json" "$work/four.json" '
for n in range(10, 14): b["programs"][n]["ir_bypass"] ^= 1
b["tolex_colour"] = (b["tolex_colour"] + 1) % 6'
start_emulator counted
run 0 restore-counted device restore "$work/four.json"
taken=$(awk '/^<- / { n++ } /^block / && ++blocks == 3 { print n; exit }' "$work/counted.log")
start_emulator unplugged --unplug-after "${taken:-1}"
run 4 restore-unplugged device restore "$work/four.json"
expect_line "$work/restore-unplugged.err" "nimba-cli: restore incomplete, restored programs 10 11 and the amplifier-wide values tolex_colour; program 12 sent, not read back: program 12 did not answer 3 requests"
[ "$(grep -c '^stored$' "$work/unplugged.log")" -eq 2 ] || fail "the unplugged amplifier did not store two programs"
expect_line "$work/unplugged.log" "unplugged after $taken messages"
stop_emulator

echo "$name: backup of a clean amplifier: ${clean_time} s"
echo "$name: backup of an amplifier answering once stale after each change: ${stale_time} s"
echo "$name: (JACK dummy driver, 128 frames at 48 kHz, synchronous; Debug ASan build; connect included)"
if [ "$failures" -ne 0 ]; then
  echo "$name: $failures failure(s)"
  exit 1
fi
echo "$name: passed"
