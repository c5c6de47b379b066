#!/usr/bin/env bash
# The browser edition in headless Chromium: builds the site (web preset) and nimba-cli (native),
# serves the site as run-web.sh does, and runs tests/web/demo_round.js: the demo page's round,
# the offline reload, the editor page without Web MIDI, a picture file missing or damaged and
# the figures. Then: EXTRACT ALL's zip holds the twelve cabinets byte for byte as
# `nimba-cli ir-export` writes them, and the demo page's picture differs from the Linux
# edition's (docs/editor-linux.png, 1024 x 720) by more than 10% in at most 2% of its pixels.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
fail() {
  echo "web: $*"
  exit 1
}
# shellcheck source=scripts/lib/web-site.sh
source scripts/lib/web-site.sh
web_check_start web

mkdir -p "$work/downloads"
node tests/web/demo_round.js "http://127.0.0.1:$web_port" "$work/downloads" "$work/low-rate.wav" \
  "$work/MY CAB.wav" "$web_server" || fail "the browser round failed"

mkdir -p "$work/unzipped" "$work/exported"
unzip -q "$work/downloads/nimba-cabinets.zip" -d "$work/unzipped" || fail "the zip does not unpack"
build/native/tools/nimba-cli ir-export "$work/exported" >/dev/null || fail "ir-export failed"
[ "$(ls "$work/unzipped" | wc -l)" -eq 12 ] || fail "the zip does not hold twelve files"
diff -r "$work/unzipped" "$work/exported" >/dev/null || fail "the zip's cabinets differ from ir-export's"
echo "web: EXTRACT ALL's zip holds the twelve cabinets byte for byte as ir-export writes them"

differ=$(compare -metric AE -fuzz 10% "$work/downloads/demo.png" docs/editor-linux.png null: 2>&1)
total=$((1024 * 720))
echo "web: the demo page against the Linux edition: $differ of $total pixels differ by more than 10%"
[ "${differ%.*}" -le $((total * 2 / 100)) ] || fail "more than 2% of the pixels differ"
mkdir -p build/web/check && cp "$work/downloads/"*.png build/web/check/
echo "web: passed (screenshots in build/web/check)"
