#!/usr/bin/env bash
# End-to-end MIDI test over JACK. Starts a private jackd (dummy driver, no realtime), runs
# `nimba-cli emulate` on virtual ports named "NIMBA e2e", drives it with the `nimba-cli device`
# commands and checks their exit codes and output, the emulator's log and the files it
# received. Before that, the RtMidi exchange test that ctest skips for want of a server runs
# against this one and must pass, not skip. Prints the wall time of the cabinet upload and of the firmware update.
# Bounded: every command runs under `timeout`; everything started here is stopped on exit.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

cmake --preset native >/dev/null && cmake --build --preset native -j2 --target nimba-cli device_tests || exit 1
cli=$root/build/native/tools/nimba-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-midi-e2e.XXXXXX")
source scripts/lib/jack.sh
jackd_pid=""
emulator_pid=""
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  [ -n "$jackd_pid" ] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source scripts/lib/cli-run.sh

start_jack_server "$work/jackd.log" || { echo "jackd did not start:"; tail -5 "$work/jackd.log"; exit 1; }

# The editor's RtMidi ports against a peer on JACK virtual ports; no emulator runs yet.
timeout 60 build/native/tests/device/device_tests \
  --gtest_filter=RtMidiPorts.ExchangeWithAPeerOnVirtualPorts >"$work/rtmidi.out" 2>&1
rtmidi_rc=$?
if [ "$rtmidi_rc" -ne 0 ] || grep -q '^\[  SKIPPED \]' "$work/rtmidi.out" ||
  ! grep -q '^\[  PASSED  \] 1 test' "$work/rtmidi.out"; then
  fail "the RtMidi exchange over JACK did not pass (exit $rtmidi_rc)"
  tail -5 "$work/rtmidi.out" | sed 's/^/    /'
fi

mkdir -p "$work/received"
"$cli" emulate --name "NIMBA e2e" --log "$work/amp.log" --received "$work/received" \
  >"$work/emulate.out" 2>"$work/emulate.err" &
emulator_pid=$!
wait_for_port "NIMBA e2e" || { echo "the emulator's ports did not appear:"; cat "$work/emulate.err"; exit 1; }
jack_lsp | grep -- "NIMBA e2e" | sed 's/^/port: /'

# Inputs: a stereo 24-bit WAV at 44.1 kHz, a file that is no WAV, firmware images.
sox -R -n -r 44100 -c 2 -b 24 "$work/room.wav" synth 0.08 pinknoise fade 0 0.08 0.07 ||
  { echo "sox failed"; exit 1; }
printf 'not a wav file' >"$work/text.wav"
python3 - "$work" <<'PY'
import sys, pathlib
work = pathlib.Path(sys.argv[1])
image = bytearray((i * 7 + (i >> 8)) & 0xFF for i in range(131072))
image[0x1FFFC:0x20000] = bytes([0x03, 0x02, 0x00, 0x00])  # version 2.3
(work / "firmware.bin").write_bytes(image)
(work / "short.bin").write_bytes(image[:131071])
PY

# Reading.
run 0 info device info
expect_line "$work/info.out" "firmware version 1.0.0"
expect_line "$work/info.out" "slot 2: (empty)"
expect_line "$work/info.out" "  ir slots       0 1 2 3"
run 0 read device read 5
expect_line "$work/read.out" "program 5"
expect_line "$work/read.out" "  ir slots       5 0 1 2"
expect_line "$work/read.out" "  ir bypass      on"
run 64 read-range device read 128

# A WAV file into slot 2: what arrives is what ir-convert makes of the same file.
start=$(date +%s.%N)
run 0 upload device upload-ir 2 "$work/room.wav"
upload_time=$(seconds_since "$start")
expect_line "$work/upload.out" "cabinet sent to slot 2: ROOM"
run 0 convert ir-convert "$work/room.wav" "$work/room-ir.wav"
cmp -s "$work/received/slot2.wav" "$work/room-ir.wav" || fail "slot 2 holds other bytes than the converted file"
grep -q '^cabinet slot 2 "ROOM" ' "$work/amp.log" || fail "the log shows no cabinet in slot 2"
run 2 upload-text device upload-ir 3 "$work/text.wav"
grep -q "refused" "$work/upload-text.err" || fail "the refused WAV file gave no reason"
[ -e "$work/received/slot3.wav" ] && fail "a refused file reached slot 3"

# Factory cabinet 7 into slot 4: the bytes ir-export writes for that cabinet.
run 0 factory device send-factory 4 7
mkdir -p "$work/factory"
run 0 export ir-export "$work/factory"
cabinet_file=$(sed -n '8{s/^"//;s/"$//;p}' "$work/export.out") # ir-export quotes each path
cmp -s "$work/received/slot4.wav" "$cabinet_file" || fail "slot 4 differs from $cabinet_file"
cabinet_name=$(sed -n 's/^cabinet sent to slot 4: //p' "$work/factory.out")
grep -qF "cabinet slot 4 \"$cabinet_name\" 16428 bytes" "$work/amp.log" ||
  fail "the log shows no 16428-byte cabinet \"$cabinet_name\" in slot 4"

run 0 store device store
expect_line "$work/amp.log" "stored"

# Firmware: a short image is refused before anything is sent; a whole one arrives intact.
chunks_before=$(grep -c '^<- 07 ' "$work/amp.log")
run 2 firmware-short device update-firmware "$work/short.bin"
[ "$(grep -c '^<- 07 ' "$work/amp.log")" -eq "$chunks_before" ] || fail "a refused image was sent"
start=$(date +%s.%N)
run 0 firmware device update-firmware "$work/firmware.bin"
firmware_time=$(seconds_since "$start")
cmp -s "$work/received/firmware.bin" "$work/firmware.bin" || fail "the firmware arrived changed"
expect_line "$work/amp.log" "firmware 131072 bytes version 2.3.0"
[ "$(grep -c '^<- 07 522$' "$work/amp.log")" -eq 512 ] || fail "not 512 firmware chunks"

# The amplifier reports all of it back.
run 0 info-after device info
expect_line "$work/info-after.out" "firmware version 2.3.0"
expect_line "$work/info-after.out" "slot 2: ROOM"
expect_line "$work/info-after.out" "slot 4: $cabinet_name"

# Programs: a backup, then a copy of it with program 9 changed; diff finds that one value,
# restore writes that one program alone, and diff then finds nothing.
run 0 backup device backup "$work/programs.json"
python3 - "$work" <<'PY' || fail "the backup file is not as expected"
import json, sys, pathlib
work = pathlib.Path(sys.argv[1])
backup = json.loads((work / "programs.json").read_text())
assert backup["format"] == "nimba-programs" and backup["version"] == 1, backup["format"]
assert backup["firmware"] == "2.3.0", backup["firmware"]
assert len(backup["programs"]) == 128 and backup["slot_names"][2] == "ROOM"
assert backup["programs"][5]["ir_slot"] == [5, 0, 1, 2], backup["programs"][5]
backup["programs"][9]["channel"] = (backup["programs"][9]["channel"] + 1) % 3
(work / "changed.json").write_text(json.dumps(backup))
PY
run 1 diff-changed device diff "$work/changed.json"
grep -q '^program 9 channel: file ' "$work/diff-changed.out" || fail "diff does not name program 9"
expect_line "$work/diff-changed.err" "nimba-cli: values that differ: 1"
blocks_before=$(grep -c '^<- 01 23$' "$work/amp.log")
run 0 restore device restore "$work/changed.json"
expect_line "$work/restore.out" "restored program 9"
[ "$(grep -c '^<- 01 23$' "$work/amp.log")" -eq $((blocks_before + 1)) ] || fail "restore wrote more than one block"
run 0 diff-after device diff "$work/changed.json"
expect_line "$work/diff-after.out" "nothing differs"
run 0 restore-back device restore "$work/programs.json" --program 9
expect_line "$work/restore-back.out" "restored program 9"
run 0 diff-back device diff "$work/programs.json"
printf '{"format": "nimba-programs", "version": 2}' >"$work/newer.json"
run 2 diff-newer device diff "$work/newer.json"
grep -q "version: 2 is newer" "$work/diff-newer.err" || fail "a newer backup was not refused by its version"

# The emulator ends on SIGINT; then there is no device.
kill -INT "$emulator_pid"
wait "$emulator_pid"
rc=$?
emulator_pid=""
[ "$rc" -eq 0 ] || fail "emulate exited $rc after SIGINT"
run 3 no-device device info
grep -q "no amplifier found" "$work/no-device.err" || fail "no device gave no reason"

echo "cabinet upload (upload-ir, connect included): ${upload_time} s"
echo "firmware update (update-firmware, connect included): ${firmware_time} s"
echo "(JACK dummy driver, 128 frames at 48 kHz, synchronous; Debug ASan build)"
if [ "$failures" -ne 0 ]; then
  echo "midi e2e: $failures failure(s)"
  exit 1
fi
echo "midi e2e: passed"
