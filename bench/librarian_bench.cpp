// Librarian benchmarks on the real clock against a virtual amplifier that answers at once.
// Every awaited reply is polled for in 5 ms steps, so reading 128 programs cannot take less than
// 128 x 5 ms = 640 ms; a backup adds the read that returns the amplifier to its program and the
// file's JSON text. Restoring 128 changed programs reads them all first, then per program sends
// the block and the store (a 5 ms pause after each) and reads it back: at least
// 128 x 5 + 128 x 15 ms, plus the return. An amplifier that answers once about the program
// before after each change has every program but the first asked twice, at once: its backup
// should take at most twice as long as a clean one's.
#include <benchmark/benchmark.h>

#include <memory>

#include "device/librarian.h"
#include "device/midi_ports.h"
#include "emulator/loopback_ports.h"

namespace nimba {
namespace {

constexpr int64_t poll_ms = 5;
constexpr int64_t read_floor_ms = program_count * poll_ms;
constexpr int64_t backup_floor_ms = read_floor_ms + poll_ms;
constexpr int64_t restore_floor_ms = read_floor_ms + program_count * 3 * poll_ms + poll_ms;

struct bench_link {
    loopback_bus bus;
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    std::unique_ptr<midi_in_port> in;
    std::unique_ptr<midi_out_port> out;

    bench_link() {
        reset_device_part(*state);
        bus.clock = &steady_clock_seam();
        link->state = state.get();
        link->clock = &steady_clock_seam();
        const midi_port_factory ports = loopback_port_factory(bus);
        in = ports.make_input("midi input client", 100);
        out = ports.make_output("midi client");
        link->midi_in = in.get();
        link->midi_out = out.get();
        find_and_open_ports(*link);
    }
};

void report(benchmark::State& state, int64_t floor_ms, bool complete) {
    state.counters["floor_ms"] = static_cast<double>(floor_ms);
    state.counters["complete"] = complete ? 1 : 0;
}

// Every program read, the amplifier returned to its program, the file's text made; the argument
// is how many stale replies the amplifier makes after each change (0: a clean amplifier).
void BM_BackupAllPrograms(benchmark::State& state) {
    bool complete = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<bench_link>();
        b->bus.amp.faults.stale_program_replies = static_cast<int32_t>(state.range(0));
        state.ResumeTiming();
        complete = complete && read_all_programs(*b->link).status == walk_status::done &&
                   return_to_current_program(*b->link).status == walk_status::done;
        benchmark::DoNotOptimize(backup_json(backup_of_state(*b->state, utc_time_text())));
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    // A stale amplifier answers program 0 at once: the walk starts on it.
    report(state, state.range(0) > 0 ? 2 * backup_floor_ms - poll_ms : backup_floor_ms, complete);
}
BENCHMARK(BM_BackupAllPrograms)
    ->ArgName("stale")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// A backup whose 128 programs all differ from the amplifier's: read, write each, read it back.
void BM_RestoreChangedPrograms(benchmark::State& state) {
    bool complete = true;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<bench_link>();
        program_backup file;
        for (program_values& p : file.programs) p.words = {1, 2, 3, 4, 1, 2, 1, 0, 1};
        restore_report written;
        state.ResumeTiming();
        complete = complete && read_all_programs(*b->link).status == walk_status::done &&
                   restore_programs(*b->link, file, {}, written).status == walk_status::done &&
                   return_to_current_program(*b->link).status == walk_status::done &&
                   written.stored.size() == program_count;
        state.PauseTiming();
        b.reset();
        state.ResumeTiming();
    }
    report(state, restore_floor_ms, complete);
}
BENCHMARK(BM_RestoreChangedPrograms)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace
} // namespace nimba
