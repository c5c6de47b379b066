#!/usr/bin/env bash
# The browser edition's figures, in one run: the native cabinet upload benchmark
# (bench/ir_bench.cpp, BM_UploadFullCabinetRealClock, the native-release preset) and then, in
# headless Chromium (tests/web/figures.js), a first visit's bytes as the server sent them, the
# first frame after navigation (median of 5), a full frame, five cabinet uploads over the Web
# MIDI bridged to `nimba-cli emulate --stdio`, and the page's memory after them. Ends with the
# browser's upload against the native one and against the floor (66 x 5 ms + the 100 ms pause).
#
#   scripts/bench-web.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fail() { echo "bench-web: $*"; exit 1; }
# shellcheck source=scripts/lib/web-site.sh
source scripts/lib/web-site.sh
# What the server sends is logged here (web_server.py).
export NIMBA_WEB_SENT=$root/build/web/bench-sent.log
mkdir -p build/web && : >"$NIMBA_WEB_SENT"
web_check_start bench-web

cmake --preset native-release >/dev/null && cmake --build build/native-release --target ir_bench >/dev/null ||
  fail "the native benchmark did not build"
native=$(build/native-release/bench/ir_bench --benchmark_filter=BM_UploadFullCabinetRealClock \
  --benchmark_format=csv 2>/dev/null | awk -F, '/UploadFullCabinet/ { print $3 }')
[ -n "$native" ] || fail "the native benchmark gave no figure"
echo "figure: native upload (BM_UploadFullCabinetRealClock): $native ms"

node tests/web/figures.js "http://127.0.0.1:$web_port" build/native/tools/nimba-cli "$work" \
  "$NIMBA_WEB_SENT" | tee "$work/figures" || fail "the browser figures failed"
web=$(sed -n 's/^figure: upload over the bridged Web MIDI: median \([0-9]*\) ms.*/\1/p' "$work/figures")
[ -n "$web" ] || fail "no upload figure from the browser"
awk -v web="$web" -v native="$native" 'BEGIN {
  printf "figure: upload in the browser %d ms, native %.0f ms: %.2fx the native, %.2fx the floor of 430 ms (target 1.2x)\n",
    web, native, web / native, web / 430 }'
