#!/usr/bin/env bash
# Builds the reply-decoder fuzzer (clang, ASan + UBSan) and runs it for about 60 s, starting
# from a corpus of valid replies written here. Fails on any finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/lib/fuzz-run.sh
fuzz_prepare fuzz_handle_message handle_message
python3 - "$work/seeds" <<'PY'
import sys, pathlib
out = pathlib.Path(sys.argv[1])
def sysex(code, body): return bytes([0xF0, 0x00, code]) + bytes(body) + b"\xF7"
def name_reply(slot, name): return sysex(0x04, [0, slot] + list(name.ljust(64, b"\0")[:64]))
seeds = {
    "program_0": sysex(0x02, [0, 0x21] + list(range(1, 10)) + [3] + list(range(7))),
    "program_5": sysex(0x02, [5, 2] + [1] * 9 + [4] + [9] * 7),
    "program_short": sysex(0x02, [7, 0] + [2] * 9 + [1] + [5] * 4),
    "changed": sysex(0x03, []),
    "changed_5": sysex(0x03, [5]),
    "slot_3": name_reply(3, b"3_clean"),
    "slot_2": name_reply(2, b"3_clean"),
    "slot_empty": name_reply(1, b""),
    "slot_full": name_reply(0, b"A" * 64),
    "acknowledge": sysex(0x08, []),
    "version": sysex(0x0B, [0x01, 0x14]),
}
for name, data in seeds.items():
    (out / name).write_bytes(data)
PY

fuzz_run fuzz_handle_message 1024
