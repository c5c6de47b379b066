// CPU time of one full frame (on the recording canvas, and on a canvas that only counts, which
// is the renderer alone), of the same frame with the keyboard's focus ring shown and the
// accessible reading taken after it (what every edition does per frame for assistive
// technology), of the reading alone, and of a pointer-move hit test over the full region list. The
// allocations counter is heap allocations per iteration, counted by the replaced operator new.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/bench_screen.h"
#include "core/draw/recording_canvas.h"
#include "ui/accessible.h"
#include "ui/event_handler.h"

namespace {
std::atomic<int64_t> allocations{0};
} // namespace

// GCC cannot see that these replace the global pair and warns about malloc'd memory going to
// operator delete; the pairing is correct by construction.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace nimba {
namespace {

void frame_on_recording_canvas(benchmark::State& bench) {
    bench_screen sc;
    recording_canvas canvas(1024, 720);
    sc.ui.target = &canvas;
    handle_event(*sc.state, sc.ui, event_paint);
    const int64_t before = allocations.load();
    for (auto _ : bench) {
        canvas.reset();
        handle_event(*sc.state, sc.ui, event_paint);
        benchmark::DoNotOptimize(canvas.calls.data());
    }
    bench.counters["calls"] = static_cast<double>(canvas.calls.size());
    bench.counters["allocations"] = benchmark::Counter(
        static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(frame_on_recording_canvas);

// The renderer alone; with `assisted`, the focus ring shown around a spin and its arrows (the
// cabinet title) and the accessible reading taken after the pass, as every edition does.
void frame_renderer(benchmark::State& bench, bool assisted) {
    bench_screen sc;
    counting_canvas canvas;
    sc.ui.target = &canvas;
    sc.ui.focus = assisted ? id_cabinet_title : -1;
    sc.ui.focus_shown = assisted;
    accessible_tree reading;
    handle_event(*sc.state, sc.ui, event_paint);
    const int64_t before = allocations.load();
    for (auto _ : bench) {
        handle_event(*sc.state, sc.ui, event_paint);
        if (assisted) read_accessible_tree(*sc.state, sc.ui, reading);
        benchmark::DoNotOptimize(canvas.count);
    }
    bench.counters["allocations"] = benchmark::Counter(
        static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(frame_renderer, only, false);
BENCHMARK_CAPTURE(frame_renderer, with_focus_ring_and_reading, true);

void accessible_reading_only(benchmark::State& bench) {
    bench_screen sc;
    counting_canvas canvas;
    sc.ui.target = &canvas;
    handle_event(*sc.state, sc.ui, event_paint);
    accessible_tree reading;
    for (auto _ : bench) {
        read_accessible_tree(*sc.state, sc.ui, reading);
        benchmark::DoNotOptimize(reading.data());
    }
    bench.counters["controls"] = static_cast<double>(reading.size());
}
BENCHMARK(accessible_reading_only);

// Alternates between two controls so every move changes two hover flags.
void pointer_move_hit_test(benchmark::State& bench) {
    bench_screen sc;
    sc.state->ir_slot_choice = 0;
    counting_canvas canvas;
    sc.ui.target = &canvas;
    handle_event(*sc.state, sc.ui, event_paint);
    bool flip = false;
    for (auto _ : bench) {
        sc.pointer.pointer_x = flip ? 220 : 14;
        sc.pointer.pointer_y = flip ? 20 : 208;
        flip = !flip;
        handle_event(*sc.state, sc.ui, event_pointer_move);
    }
    bench.counters["regions"] = static_cast<double>(sc.ui.hit_regions.size());
}
BENCHMARK(pointer_move_hit_test);

} // namespace
} // namespace nimba
