// Firmware update benchmarks on the real clock against a virtual amplifier that answers at
// once. The reply wait polls every 5 ms, so 512 chunks and the close (513 acknowledged
// messages) cannot take less than 513 x 5 ms = 2565 ms; the transfer adds its 100 ms pause
// after the close. The whole update in a connect sequence adds the version exchange, the
// cycle's own 5 ms, the backup before it (six slot names, 128 programs and the return, each one
// awaited reply), and the worker's 100 ms and 2000 ms pauses around the restart message.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "device/firmware.h"
#include "device/link.h"
#include "device/midi_ports.h"
#include "device/worker.h"
#include "emulator/loopback_ports.h"

namespace nimba {
namespace {

constexpr int64_t poll_ms = 5;
constexpr int64_t acknowledged_messages = firmware_chunk_count + 1;
constexpr int64_t transfer_floor_ms = acknowledged_messages * poll_ms + 100;
constexpr int64_t backup_floor_ms = (slot_count + program_count + 1) * poll_ms;
constexpr int64_t update_floor_ms =
    poll_ms + poll_ms + backup_floor_ms + transfer_floor_ms + 100 + 2000;

std::vector<uint8_t> newer_image() {
    std::vector<uint8_t> image(firmware_image_size);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    image[0x1FFFC] = 0x01;
    image[0x1FFFD] = 0x01;
    return image;
}

struct bench_link {
    loopback_bus bus;
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    worker_services services;
    worker_locals locals;
    std::vector<uint8_t> image = newer_image();
    std::filesystem::path backups = std::filesystem::temp_directory_path() / "nimba_bench_backups";

    bench_link() {
        reset_device_part(*state);
        bus.amp.firmware_version = 0x0100;
        bus.clock = &steady_clock_seam();
        link->state = state.get();
        link->clock = &steady_clock_seam();
        services.ports = loopback_port_factory(bus);
        services.fetch = [this](const std::string&, std::span<uint8_t> buffer) {
            std::copy(image.begin(), image.end(), buffer.begin());
            return fetch_result{fetch_status::ok, image.size()};
        };
        services.backup_folder = backups.wstring();
        open_worker_ports(*link, services, locals);
    }
    ~bench_link() {
        std::error_code ignored;
        std::filesystem::remove_all(backups, ignored);
    }
};

void report(benchmark::State& state, int64_t floor_ms, int64_t updates) {
    state.counters["floor_ms"] = static_cast<double>(floor_ms);
    state.counters["updates_done"] = static_cast<double>(updates);
}

// transfer_firmware alone: 513 acknowledged messages and the pause after the close.
void BM_FirmwareTransfer(benchmark::State& state) {
    int64_t updates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<bench_link>();
        find_and_open_ports(*b->link);
        std::copy(b->image.begin(), b->image.end(), b->link->firmware_image.begin());
        state.ResumeTiming();
        transfer_firmware(*b->link);
        state.PauseTiming();
        updates += b->bus.amp.firmware_updates;
        b.reset();
        state.ResumeTiming();
    }
    report(state, transfer_floor_ms, updates);
}
BENCHMARK(BM_FirmwareTransfer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One worker cycle from the amplifier's arrival: version, download, transfer, restart.
void BM_FirmwareUpdateInConnectSequence(benchmark::State& state) {
    int64_t updates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto b = std::make_unique<bench_link>();
        state.ResumeTiming();
        worker_cycle(*b->link, b->services, b->locals);
        state.PauseTiming();
        updates += b->bus.amp.firmware_updates;
        b.reset();
        state.ResumeTiming();
    }
    report(state, update_floor_ms, updates);
}
BENCHMARK(BM_FirmwareUpdateInConnectSequence)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace
} // namespace nimba
