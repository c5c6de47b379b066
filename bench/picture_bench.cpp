// The built-in pictures' cost when first drawn: decoding one colour picture (1400 x 1200), a
// channel picture (stored against the amplifier) and one mask from their PNG, and the start-up
// check of every picture's PNG (header and chunk CRCs, no decoding).
#include <benchmark/benchmark.h>

#include "core/assets/picture_png.h"
#include "core/assets/pictures.h"

namespace nimba {
namespace {

void decode(benchmark::State& s, picture p, picture_kind kind) {
    const blob png = picture_png(p);
    for (auto _ : s) {
        png_picture decoded = picture_from_png(png, kind);
        benchmark::DoNotOptimize(decoded.blob_bytes.data());
    }
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * png.size));
}
BENCHMARK_CAPTURE(decode, amplifier, picture::amplifier, picture_kind::colour)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, tolex_snake_skin, picture::tolex_snake_skin, picture_kind::colour)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, logo, picture::logo, picture_kind::mask)->Unit(benchmark::kMicrosecond);

// A channel picture: its XOR with the amplifier decoded, then the amplifier's pixels XORed in.
void decode_channel(benchmark::State& s) {
    const blob png = picture_png(picture::channel_blue);
    const blob amplifier = picture_blob(picture::amplifier);
    for (auto _ : s) {
        png_picture decoded = picture_from_png_over(png, picture_kind::colour, amplifier);
        benchmark::DoNotOptimize(decoded.blob_bytes.data());
    }
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations() * png.size));
}
BENCHMARK(decode_channel)->Unit(benchmark::kMillisecond);

void check_every_picture(benchmark::State& s) {
    for (auto _ : s) {
        for (int i = 0; i < static_cast<int>(picture::count); ++i) {
            const auto p = static_cast<picture>(i);
            benchmark::DoNotOptimize(png_picture_fault(
                picture_png(p),
                i < static_cast<int>(picture::logo) ? picture_kind::colour : picture_kind::mask));
        }
    }
}
BENCHMARK(check_every_picture)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nimba
