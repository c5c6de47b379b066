#!/usr/bin/env bash
# Makes the README's picture of the editor: builds the demo edition, runs it under Wine on a
# virtual X display until it is connected to its virtual amplifier and painted, and writes the
# client area to docs/editor.png (or the path given), reduced to a small palette PNG.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=${1:-docs/editor.png}

fail() {
  echo "screenshot: $*"
  exit 1
}

bash scripts/setup.sh >/dev/null || fail "setup failed"
cmake --preset windows >/dev/null || fail "configure failed"
cmake --build --preset windows -j2 --target nimba-editor-demo || fail "build failed"
demo=build/windows/app/nimba-editor-demo.exe

export WINEPREFIX="$root/build/windows/wineprefix-screenshot"
source scripts/wine-env.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/nimba-screenshot.XXXXXX")
source scripts/lib/xvfb.sh
clean_up_demo_session_on_exit

start_xvfb 140 170 1100x760x24

# The amplifier's report tells when the connect sequence is over (the sixth slot name read).
log="$work/amp.log"
NIMBA_DEMO_LOG="Z:${log//\//\\}" wine "$demo" >/dev/null 2>&1 &
demo_pid=$!
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
  convert "$work/shot.png" -crop "1016x693+$wx+$wy" +repage "$work/client.png"
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
