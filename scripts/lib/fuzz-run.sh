# Shared by the fuzz checks in scripts/checks: builds one fuzzer of the fuzz preset (clang,
# ASan + UBSan) and runs it for about 60 s from a fresh corpus. Sourced from the repository
# root; not a check of its own.

# fuzz_prepare TARGET RUN: builds TARGET and empties build/fuzz/runs/RUN, which becomes $work,
# with seeds/, corpus/ and findings/ inside.
fuzz_prepare() {
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j2 --target "$1"
    work=build/fuzz/runs/$2
    rm -rf "$work"
    mkdir -p "$work/seeds" "$work/corpus" "$work/findings"
}

# fuzz_run TARGET MAX_LEN: runs from $work's seeds; any finding ends it with a failure.
fuzz_run() {
    "build/fuzz/fuzz/$1" -max_total_time=60 -max_len="$2" -print_final_stats=1 \
        -artifact_prefix="$work/findings/" "$work/corpus" "$work/seeds"
}
