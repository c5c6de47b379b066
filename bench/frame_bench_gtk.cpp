// Wall time of one full frame of the real renderer on the cairo canvas, into an image surface
// of 1024 x 720 drawing units at scale 1 and 2: with picture and mask surfaces made once per
// blob (the editor's way) and made again in every draw call; and with the import's preview open
// over the screen (the level matched; its budget is 8 ms a frame). "surfaces" is surfaces made
// per frame.
#include <benchmark/benchmark.h>

#include "bench/bench_screen.h"
#include "core/draw/cairo_canvas_gtk.h"

namespace nimba {
namespace {

constexpr int32_t view_width = 1024;
constexpr int32_t view_height = 720;

void frame_on_cairo(benchmark::State& bench) {
    const auto scale = static_cast<int32_t>(bench.range(0));
    bench_screen sc;
    if (bench.range(2) != 0) open_bench_preview(sc.ui.preview, ir_level::matched);
    const cairo_drawing_ptr drawing = create_cairo_drawing();
    set_surface_caching(*drawing, bench.range(1) != 0);
    cairo_surface_t* surface = view_surface(view_width, view_height, scale);
    cairo_t* cr = cairo_create(surface);
    const auto draw = [&](canvas& c) {
        sc.ui.target = &c;
        handle_event(*sc.state, sc.ui, event_paint);
    };
    paint_pass(*drawing, cr, view_width, view_height, scale, draw);
    const cairo_counters before = counters(*drawing);
    for (auto _ : bench) {
        paint_pass(*drawing, cr, view_width, view_height, scale, draw);
        cairo_surface_flush(surface);
    }
    const cairo_counters after = counters(*drawing);
    bench.counters["surfaces"] =
        benchmark::Counter(after.pictures + after.masks - before.pictures - before.masks,
                           benchmark::Counter::kAvgIterations);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(frame_on_cairo)
    ->ArgsProduct({{1, 2}, {1, 0}, {0, 1}})
    ->ArgNames({"scale", "cached", "preview"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace nimba
