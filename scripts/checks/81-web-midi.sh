#!/usr/bin/env bash
# The editor page over Web MIDI in headless Chromium: builds the site (web preset) and nimba-cli
# (native), serves the site as run-web.sh does, and runs tests/web/midi_round.js, which bridges
# `nimba-cli emulate --stdio` to the page's MIDI ports: the round, the front panel's program
# change, and a cabinet upload in a hidden tab. Then the emulator's received cabinets are the
# expected images byte for byte: slot 2 the factory cabinets SELECTed and AUDITIONed (as
# ir-export writes them), slot 4 the user's WAV (as ir-convert makes it).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
fail() {
  echo "web midi: $*"
  keep
  exit 1
}
# The screenshots and both logs stay in build/web/check, passed or failed.
keep() {
  mkdir -p build/web/check && cp "$work/"*.png "$work/"*.log build/web/check/ 2>/dev/null
}
# shellcheck source=scripts/lib/web-site.sh
source scripts/lib/web-site.sh
web_check_start web-midi
cli=build/native/tools/nimba-cli

node tests/web/midi_round.js "http://127.0.0.1:$web_port" "$cli" "$work" "$work/low-rate.wav" \
  "$work/MY CAB.wav" || fail "the round over Web MIDI failed"

# Slot 2 took cabinet 4 (SELECT), 5 (AUDITION) and 6 (from the hidden tab): it holds the last.
mkdir -p "$work/cabinets"
"$cli" ir-export "$work/cabinets" >"$work/names" || fail "ir-export failed"
last=$(grep '\.wav"$' "$work/names" | sed -n 7p | sed 's|.*/||; s|"$||')
cmp -s "$work/received/slot2.wav" "$work/cabinets/$last" ||
  fail "slot 2 does not hold \"$last\" byte for byte"
"$cli" ir-convert "$work/MY CAB.wav" "$work/my-cab-ir.wav" >/dev/null || fail "ir-convert failed"
cmp -s "$work/received/slot4.wav" "$work/my-cab-ir.wav" ||
  fail "slot 4 does not hold the user's WAV as ir-convert makes it"
echo "web midi: the emulator received slot 2's \"${last%.wav}\" and slot 4's MY CAB byte for byte"
grep -E '^(stored|cabinet slot|front panel)' "$work/amp.log" | sed 's/^/web midi: emulator log: /'
keep
echo "web midi: passed (screenshots and logs in build/web/check)"
