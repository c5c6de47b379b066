#!/usr/bin/env bash
# Level matching over the real cabinet and amplifier impulse responses Debian ships (every WAV
# file of guitarix-common): `nimba-cli ir-convert --level matched` must bring each converted
# IR within 0.5 dB of the factory cabinets' median level, or, where that would put its peak
# above 1.0, to a peak of exactly 1.0 (0.0 dBFS) with the shortfall stated. Every file is also
# held against `ir-info`: the level it reports of the written image must be the one ir-convert
# claimed. Uses the Release build of nimba-cli (the sanitizer build takes a second a file).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
name=26-ir-level-match
cli=build/native-release/tools/nimba-cli
{ cmake --preset native-release >/dev/null &&
  cmake --build --preset native-release --target nimba-cli >/dev/null; } ||
  { echo "$name: building nimba-cli failed"; exit 1; }

mapfile -t files < <(dpkg -L guitarix-common 2>/dev/null | grep -i '\.wav$' | sort)
[ ${#files[@]} -gt 0 ] || { echo "$name: guitarix-common ships no WAV files here (scripts/setup.sh installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 within=0 stopped=0 refused=0 worst=0.0
for file in "${files[@]}"; do
  "$cli" ir-convert --level matched "$file" "$work/ir.wav" >"$work/out" 2>"$work/err"
  status=$?
  if [ $status -eq 2 ]; then
    # A file the import refuses (a rate outside 44.1 to 96 kHz) is not an IR it can match.
    refused=$((refused + 1))
    echo "$name: refused, as the editor would: $(basename "$file"): $(cat "$work/err")"
    continue
  fi
  [ $status -eq 0 ] || { echo "$name: FAILED: $file: exit $status: $(cat "$work/err")"; failures=$((failures + 1)); continue; }
  level=$(sed -n 's/^level: \([-+][0-9.]*\) dB against the factory median$/\1/p' "$work/out")
  peak=$(sed -n 's/.*, peak \([-+][0-9.]*\) dBFS$/\1/p' "$work/out")
  short=$(sed -n 's/^level matched: stopped at a peak of 1.0, \([0-9.]*\) dB short.*/\1/p' "$work/out")
  # The image on disk, measured again from scratch.
  again=$("$cli" ir-info "$work/ir.wav" | sed -n 's/^level: \([-+][0-9.]*\) dB against.*/\1/p')
  verdict=$(awk -v l="$level" -v p="$peak" -v s="$short" -v a="$again" 'BEGIN {
    if (l == "" || p == "" || a == "") { print "unparsed"; exit }
    d = l - a; if (d < 0) d = -d; if (d > 0.051) { print "remeasured " a; exit }
    m = l < 0 ? -l : l
    if (s == "") { print (m <= 0.5 ? "within" : "off by " l); exit }
    e = l + s; if (e < 0) e = -e
    print (p == "+0.0" && e <= 0.051 ? "stopped" : "stopped wrongly: peak " p ", level " l ", short " s) }')
  case $verdict in
    within) within=$((within + 1)) ;;
    stopped) stopped=$((stopped + 1)); echo "$name: at peak 1.0, ${short} dB short: $(basename "$file")" ;;
    *) echo "$name: FAILED: $file: $verdict"; cat "$work/out"; failures=$((failures + 1)) ;;
  esac
  m=${level#[-+]}
  [ -z "$short" ] && awk -v m="$m" -v w="$worst" 'BEGIN { exit !(m > w) }' && worst=$m
done
echo "$name: ${#files[@]} files: $within within 0.5 dB of the factory median (largest" \
  "difference ${worst} dB), $stopped stopped at a peak of 1.0 with the shortfall stated," \
  "$refused refused by the import"
[ $failures -eq 0 ] || { echo "$name: FAILED: $failures files"; exit 1; }
echo "$name: ok"
