#!/usr/bin/env bash
# Makes the README's pictures of the editor: builds the demo edition, runs it on a virtual X
# display until it is connected to its virtual amplifier and painted, and writes the client
# area, reduced to a small palette PNG.
#   bash scripts/screenshot.sh [windows] [out]   under Wine, to docs/editor.png by default;
#   bash scripts/screenshot.sh linux [out]       natively (GTK 4), to docs/editor-linux.png.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
edition=windows
[ "${1:-}" = linux ] || [ "${1:-}" = windows ] && { edition=$1; shift; }

fail() {
  echo "screenshot: $*"
  exit 1
}

bash scripts/setup.sh >/dev/null || fail "setup failed"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-screenshot.XXXXXX")
log="$work/amp.log"
source scripts/lib/xvfb.sh
if [ "$edition" = linux ]; then
  out=${1:-docs/editor-linux.png}
  cmake --preset native-release >/dev/null || fail "configure failed"
  cmake --build --preset native-release -j2 --target nimba-editor-demo || fail "build failed"
  clean_up_demo_session_on_exit native
  start_xvfb 140 170 1100x760x24
  source scripts/lib/gui-round.sh
  source scripts/lib/gtk-editor.sh # the drawing area's size, GTK's environment
  NIMBA_DEMO_LOG="$log" build/native-release/app/nimba-editor-demo >/dev/null 2>&1 &
else
  out=${1:-docs/editor.png}
  client_w=1016
  client_h=693
  cmake --preset windows >/dev/null || fail "configure failed"
  cmake --build --preset windows -j2 --target nimba-editor-demo || fail "build failed"
  export WINEPREFIX="$root/build/windows/wineprefix-screenshot"
  source scripts/wine-env.sh
  clean_up_demo_session_on_exit
  start_xvfb 140 170 1100x760x24
  NIMBA_DEMO_LOG="Z:${log//\//\\}" wine build/windows/app/nimba-editor-demo.exe >/dev/null 2>&1 &
fi
demo_pid=$!

# The amplifier's report tells when the connect sequence is over (the sixth slot name read).
window=""
for _ in $(seq 300); do
  window=$(xdotool search --name '^Corvane Editor$' 2>/dev/null | head -1)
  [ -n "$window" ] && [ "$(grep -c '^recv F0 00 04' "$log" 2>/dev/null)" -ge 6 ] && break
  window=""
  sleep 0.1
done
[ -n "$window" ] || fail "the demo did not connect within 30 s"
read -r wx wy < <(xdotool getwindowgeometry "$window" | awk -F'[ ,]+' '/Position/ { print $3, $4 }')
xdotool mousemove 1090 750 # out of the window: nothing hovered

# The last repaint after connecting is asynchronous: take the picture once two agree.
previous=""
for _ in $(seq 40); do
  sleep 0.25
  import -window root "$work/shot.png" 2>/dev/null || continue
  convert "$work/shot.png" -crop "${client_w}x${client_h}+$wx+$wy" +repage "$work/client.png"
  hash=$(convert "$work/client.png" -format '%#' info:)
  [ "$(convert "$work/client.png" -format '%k' info:)" -ge 20 ] && [ "$hash" = "$previous" ] &&
    break
  previous=$hash
done
[ "$hash" = "$previous" ] || fail "the picture did not settle"

mkdir -p "$(dirname "$out")"
convert "$work/client.png" -strip -dither None -colors 128 -define png:compression-level=9 \
  "PNG8:$out" || fail "cannot write $out"
echo "screenshot: $out, $(stat -c %s "$out") bytes"
