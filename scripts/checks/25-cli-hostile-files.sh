#!/usr/bin/env bash
# Feeds nimba-cli files and paths that must neither hang it, nor exhaust its memory, nor cost
# the user a file: a FIFO without a writer, /dev/zero, a sparse file over the read cap and the
# largest file under it (under a memory limit), a write cut short by a file-size limit over an
# existing output, the same path in and out, an IR that is not finite, an export whose fourth
# file cannot be written, and a path with a newline in it.
#
# The memory-limited and the timed runs use a Release build of nimba-cli: the sanitizer build
# reserves far more address space than any `ulimit -v` that would still show a fault, and
# takes a good part of a second just to start on a busy machine.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
name=25-cli-hostile-files
cli=build/native/tools/nimba-cli
release=build/native-release/tools/nimba-cli
{ cmake --preset native >/dev/null && cmake --build --preset native --target nimba-cli >/dev/null &&
  cmake --preset native-release >/dev/null &&
  cmake --build --preset native-release --target nimba-cli >/dev/null; } ||
  { echo "$name: building nimba-cli failed"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "$name: ok: $*"; }
fail() { echo "$name: FAILED: $*"; failures=$((failures + 1)); }
# Runs the CLI (first argument: which binary) with a timeout; leaves the status in $status and
# standard error in $work/err.
run() {
  local binary=$1 seconds=$2
  shift 2
  timeout "$seconds" "$binary" "$@" >"$work/out" 2>"$work/err"
  status=$?
}
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
# A 48 kHz mono WAV header: format tag, bits, data bytes.
wav_header() {
  local tag=$1 bits=$2 size=$3 align=$(($2 / 8))
  printf 'RIFF'; le32 $((size + 36)); printf 'WAVEfmt '; le32 16
  printf "\\x$(printf %02x "$tag")\\x00\\x01\\x00"; le32 48000; le32 $((48000 * align))
  printf "\\x$(printf %02x "$align")\\x00\\x$(printf %02x "$bits")\\x00data"; le32 "$size"
}
only_files() { # the folder holds exactly these names
  local folder=$1
  shift
  [ "$(ls -A "$folder" | sort)" = "$(printf '%s\n' "$@" | sort)" ]
}

mkdir "$work/cabs"
run "$cli" 60 ir-export "$work/cabs"
good="$work/cabs/112 RED.wav"
[ -f "$good" ] || { echo "$name: ir-export made no input to work with"; exit 1; }

# A FIFO without a writer: refused at once, not waited on.
mkfifo "$work/fifo.wav"
start=$(date +%s%N)
run "$release" 5 ir-convert "$work/fifo.wav" "$work/from_fifo.wav"
elapsed=$((($(date +%s%N) - start) / 1000000))
if [ "$status" -eq 2 ] && [ "$elapsed" -lt 1000 ] && grep -q "not a regular file" "$work/err" &&
  [ ! -e "$work/from_fifo.wav" ]; then
  ok "a FIFO without a writer is refused in ${elapsed} ms"
else
  fail "FIFO: status $status after ${elapsed} ms: $(cat "$work/err")"
fi

run "$cli" 5 ir-convert /dev/zero "$work/from_zero.wav"
if [ "$status" -eq 2 ] && grep -q "not a regular file" "$work/err"; then
  ok "/dev/zero is refused"
else
  fail "/dev/zero: status $status: $(cat "$work/err")"
fi

# Over the cap: refused before reading, under a limit far below the file's size.
truncate -s 300M "$work/huge.wav"
(ulimit -v 200000 && run "$release" 10 ir-convert "$work/huge.wav" "$work/from_huge.wav" && exit "$status")
status=$?
if [ "$status" -eq 2 ] && grep -q "holds more than 268435456 bytes" "$work/err"; then
  ok "a sparse 300 MiB file is refused under a 200 MB memory limit"
else
  fail "file over the cap: status $status: $(cat "$work/err")"
fi

# Just under the cap: 16-bit samples, sparse (silent). Held once, decoded a slice at a time.
size=$((256 * 1024 * 1024 - 64))
wav_header 1 16 "$size" >"$work/largest.wav"
truncate -s $((size + 44)) "$work/largest.wav"
(ulimit -v 460000 && run "$release" 60 ir-convert "$work/largest.wav" "$work/from_largest.wav" &&
  exit "$status")
status=$?
if [ "$status" -eq 0 ] && [ -s "$work/from_largest.wav" ]; then
  ok "the largest accepted file (256 MiB) converts under a 460 MB memory limit"
else
  fail "largest accepted file: status $status: $(cat "$work/err")"
fi

# A write cut short by a file-size limit leaves the existing output as it was. nimba-cli
# itself ignores SIGXFSZ, so the limit shows as a failed write, not as a killed process.
mkdir "$work/limited"
printf 'precious' >"$work/limited/out.wav"
(ulimit -f 8 && run "$cli" 10 ir-convert "$good" "$work/limited/out.wav" && exit "$status")
status=$?
if [ "$status" -eq 1 ] && [ "$(cat "$work/limited/out.wav")" = precious ] &&
  only_files "$work/limited" out.wav && grep -q '"' "$work/err"; then
  ok "a write over the file-size limit fails cleanly and leaves the output intact"
else
  fail "file-size limit: status $status, $(ls -A "$work/limited"): $(cat "$work/err")"
fi

# The same path in and out: read whole first, then replaced by its image.
cp "$good" "$work/same.wav"
run "$cli" 10 ir-convert "$good" "$work/expected.wav"
run "$cli" 10 ir-convert "$work/same.wav" "$work/same.wav"
if [ "$status" -eq 0 ] && cmp -s "$work/same.wav" "$work/expected.wav"; then
  ok "the same path in and out is replaced by its image"
else
  fail "same path: status $status: $(cat "$work/err")"
fi

# Not finite: 0.5, then infinity, as 32-bit floats.
{ wav_header 3 32 8; printf '\x00\x00\x00\x3f\x00\x00\x80\x7f'; } >"$work/inf.wav"
run "$cli" 10 ir-convert "$work/inf.wav" "$work/from_inf.wav"
if [ "$status" -eq 2 ] && grep -q "not finite numbers" "$work/err" && [ ! -e "$work/from_inf.wav" ]; then
  ok "an IR with an infinite sample is refused and nothing is written"
else
  fail "non-finite IR: status $status: $(cat "$work/err")"
fi

# An export whose fourth file cannot be written: it stops there, the three before it are
# whole, the FIFO in the fourth's place is untouched, nothing else is left.
mkdir "$work/export"
mkfifo "$work/export/412 GB.wav"
run "$cli" 10 ir-export "$work/export"
if [ "$status" -eq 1 ] && [ -p "$work/export/412 GB.wav" ] && grep -q '412 GB.wav' "$work/err" &&
  only_files "$work/export" "112 RED.wav" "212 V30.wav" "412 V30.wav" "412 GB.wav" &&
  [ "$(stat -c %s "$work/export/412 V30.wav")" -eq 16428 ]; then
  ok "an export stops at the fourth file, which cannot be written: $(tail -n 1 "$work/err")"
else
  fail "export: status $status, $(ls -A "$work/export" | tr '\n' ','): $(cat "$work/err")"
fi

# A newline and an escape sequence in a name stay inside one quoted line.
run "$cli" 10 ir-convert "$work/new"$'\n'"line"$'\e'"[31m.wav" "$work/x.wav"
if [ "$status" -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF '\n' "$work/err" &&
  ! grep -q $'\e' "$work/err"; then
  ok "a path with a newline and an escape sequence is quoted on one line"
else
  fail "quoted path: status $status: $(cat -A "$work/err")"
fi

[ "$failures" -eq 0 ] || { echo "$name: $failures failed"; exit 1; }
echo "$name: all passed"
