#!/usr/bin/env bash
# Builds the reply-decoder fuzzer (clang, ASan + UBSan) and runs it for about 60 s, starting
# from a corpus of valid replies written by fuzz/seeds. Fails on any finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/lib/fuzz-run.sh
fuzz_prepare fuzz_handle_message handle_message
cmake --build --preset fuzz -j2 --target handle_message_seeds
build/fuzz/fuzz/handle_message_seeds "$work/seeds"

fuzz_run fuzz_handle_message 1024
