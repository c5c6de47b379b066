// The import preview: one full frame with the preview open over the cabinet page, on the cairo
// canvas into a 1024 x 720 image surface at scale 1 and 2 (the budget is 8 ms a frame); and
// the preview worked out again after a choice changes (the conversion, the response at 240
// points and the figures), for a 4096-sample IR with the level matched and without.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "bench/bench_screen.h"
#include "core/draw/cairo_canvas_gtk.h"
#include "ir/ir_import.h"
#include "ir/ir_preview.h"
#include "ir/wav_codec.h"

namespace nimba {
namespace {

constexpr int32_t view_width = 1024;
constexpr int32_t view_height = 720;

// A 44.1 kHz stereo float WAV of decaying noise, long enough to fill the 4096 samples.
std::vector<uint8_t> cabinet_file() {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> dist(-0.8f, 0.8f);
    std::vector<float> frames(2 * 6000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = dist(gen) * std::exp(-static_cast<float>(i) / 3000.0f);
    frames[0] = frames[1] = 0.9f;
    std::vector<uint8_t> file = encode_wav_float32(frames, 2, 44100);
    return file;
}

void open_preview(ir_preview& preview, ir_level level) {
    preview.open = true;
    preview.slot = 3;
    preview.name = L"A RATHER LONG CABINET NAME.WAV";
    preview.file = cabinet_file();
    preview.choices.level = level;
    shape_preview(preview);
}

void preview_frame_on_cairo(benchmark::State& bench) {
    const auto scale = static_cast<int32_t>(bench.range(0));
    bench_screen sc;
    open_preview(sc.ui.preview, ir_level::matched);
    const cairo_drawing_ptr drawing = create_cairo_drawing();
    cairo_surface_t* surface = view_surface(view_width, view_height, scale);
    cairo_t* cr = cairo_create(surface);
    const auto draw = [&](canvas& c) {
        sc.ui.target = &c;
        handle_event(*sc.state, sc.ui, event_paint);
    };
    paint_pass(*drawing, cr, view_width, view_height, scale, draw);
    for (auto _ : bench) {
        paint_pass(*drawing, cr, view_width, view_height, scale, draw);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(preview_frame_on_cairo)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("scale")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void preview_reshaped(benchmark::State& bench) {
    ir_preview preview;
    open_preview(preview, static_cast<ir_level>(bench.range(0)));
    for (auto _ : bench) {
        preview.stale = true;
        shape_preview(preview);
        benchmark::DoNotOptimize(preview.level_db);
    }
}
BENCHMARK(preview_reshaped)->Arg(0)->Arg(1)->ArgName("matched")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nimba
