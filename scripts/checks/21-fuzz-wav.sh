#!/usr/bin/env bash
# Builds the WAV decoder fuzzer (clang, ASan + UBSan) and runs it for about 60 s, starting from
# small files in every container and encoding, made here by sox. Fails on any finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/lib/fuzz-run.sh
fuzz_prepare fuzz_wav_decode wav_decode
seed() { # name, rate, channels, then sox's output options
  local name=$1 rate=$2 channels=$3
  shift 3
  sox -V1 -R -r "$rate" -n -c "$channels" "$@" "$work/seeds/$name" synth 300s whitenoise vol 0.5
}
seed pcm8.wav 44100 1 -b 8 -e unsigned-integer
seed pcm16.wav 48000 2 -b 16 -e signed-integer
seed pcm24.wav 96000 1 -b 24 -e signed-integer
seed pcm32.wav 88200 2 -b 32 -e signed-integer
seed float32.wav 48000 1 -b 32 -e floating-point
seed float64.wav 44100 2 -b 64 -e floating-point
seed alaw.wav 44100 1 -e a-law
seed mulaw.wav 48000 2 -e u-law
seed ms_adpcm.wav 44100 2 -e ms-adpcm
seed ima_adpcm.wav 48000 1 -e ima-adpcm
seed wave64.w64 44100 2 -b 16 -e signed-integer
seed ima_adpcm.w64 96000 1 -e ima-adpcm
seed three_channels.wav 48000 3 -b 16 -e signed-integer

fuzz_run fuzz_wav_decode 8192
