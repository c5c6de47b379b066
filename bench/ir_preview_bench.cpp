// The import preview worked out again after a choice changes (the conversion, the response at
// 240 points and the figures), for a 4096-sample IR with the level matched and without. Its
// frame is timed with the others in frame_bench_gtk.
#include <benchmark/benchmark.h>

#include "bench/bench_screen.h"

namespace nimba {
namespace {

void preview_reshaped(benchmark::State& bench) {
    ir_preview preview;
    open_bench_preview(preview, static_cast<ir_level>(bench.range(0)));
    for (auto _ : bench) {
        preview.stale = true;
        shape_preview(preview);
        benchmark::DoNotOptimize(preview.level_db);
    }
}
BENCHMARK(preview_reshaped)->Arg(0)->Arg(1)->ArgName("matched")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nimba
