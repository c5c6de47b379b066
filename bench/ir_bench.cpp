// Cabinet IR benchmarks: the WAV conversion of a long high-rate file and of a typical short
// IR, and a full cabinet upload to a virtual amplifier that answers at once, on the real
// clock, where the reply wait's 5 ms polling sets a floor of 66 x 5 ms plus the 100 ms pause.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "device/link.h"
#include "device/midi_ports.h"
#include "emulator/loopback_ports.h"
#include "ir/ir_import.h"
#include "ir/ir_transfer.h"

namespace nimba {
namespace {

void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A PCM RIFF file of a decaying tone, as a recorded cabinet IR looks.
std::vector<uint8_t> pcm_wav(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames) {
    const uint32_t bytes = bits / 8u;
    std::vector<uint8_t> out;
    const auto id = [&](const char* s) { out.insert(out.end(), s, s + 4); };
    id("RIFF");
    put(out, static_cast<uint32_t>(36 + frames * channels * bytes), 4);
    id("WAVE");
    id("fmt ");
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, channels, 2);
    put(out, rate, 4);
    put(out, rate * channels * bytes, 4);
    put(out, channels * bytes, 2);
    put(out, bits, 2);
    id("data");
    put(out, static_cast<uint32_t>(frames * channels * bytes), 4);
    const double full = std::ldexp(1.0, bits - 1) - 1;
    for (size_t i = 0; i < frames; ++i) {
        const double v = std::exp(-3.0 * i / rate) * std::sin(0.05 * i);
        for (uint16_t c = 0; c < channels; ++c)
            put(out, static_cast<uint32_t>(static_cast<int32_t>(v * full)), bytes);
    }
    return out;
}

void BM_ConvertLong96kStereo24Bit(benchmark::State& state) {
    const auto file = pcm_wav(96000, 2, 24, 960000); // 10 s
    for (auto _ : state) benchmark::DoNotOptimize(convert_wav_to_ir(file));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ConvertLong96kStereo24Bit)->Unit(benchmark::kMillisecond);

void BM_ConvertShort44k16Bit(benchmark::State& state) {
    const auto file = pcm_wav(44100, 1, 16, 4410); // 100 ms
    for (auto _ : state) benchmark::DoNotOptimize(convert_wav_to_ir(file));
}
BENCHMARK(BM_ConvertShort44k16Bit)->Unit(benchmark::kMillisecond);

void BM_UploadFullCabinetRealClock(benchmark::State& state) {
    loopback_bus bus;
    auto editor = std::make_unique<editor_state>();
    auto link = std::make_unique<device_link>();
    const midi_port_factory ports = loopback_port_factory(bus);
    auto in = ports.make_input("midi input client", 100);
    auto out = ports.make_output("midi client");
    link->state = editor.get();
    link->midi_in = in.get();
    link->midi_out = out.get();
    link->clock = &steady_clock_seam();
    find_and_open_ports(*link);
    const auto image = *encode_ir_image(std::vector<float>(4096, 0.1f));
    for (auto _ : state) {
        upload_ir_image(*link, image, 0, L"BENCH");
        if (editor->progress != 100) state.SkipWithError("transfer did not complete");
    }
    state.counters["floor_ms"] = 66 * 5 + 100;
}
BENCHMARK(BM_UploadFullCabinetRealClock)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace nimba
