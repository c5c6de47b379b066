// The import's choices (channel, tail fade, level matching) against expectations worked out
// here independently, the level of known filters, and the default conversion's images held
// byte for byte against the ones the editor has always made.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ir/ir_export.h"
#include "ir/ir_import.h"
#include "ir/ir_level.h"
#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

constexpr double pi = 3.14159265358979323846;

std::vector<float> decaying_noise(size_t n, uint32_t seed, float scale = 0.9f) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-scale, scale);
    std::vector<float> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = dist(gen) * std::exp(-static_cast<float>(i) / (static_cast<float>(n) / 4.0f));
    out[0] = scale;
    return out;
}

TEST(IrShape, ChannelChoice) {
    // Frames (left, right); the left channel is silent throughout.
    const std::vector<float> frames = {0.0f, 0.5f, 0.0f, -0.25f, 0.0f, 0.125f};
    const std::vector<float> both = {0.25f, -0.125f, 0.0625f};
    const std::vector<float> mono = {0.3f, 0.2f, 0.1f};
    const struct {
        std::vector<float> file;
        uint16_t channels;
        ir_channel channel;
        std::vector<float> expected;
    } cases[] = {
        {frames, 2, ir_channel::left, {0.0f}}, // as always: a silent left gives its last sample
        {frames, 2, ir_channel::right, {0.5f, -0.25f, 0.125f}},
        {frames, 2, ir_channel::both, both},
        {{0.6f, 0.2f, -0.3f, -0.1f}, 2, ir_channel::both, {0.4f, -0.2f}},
        {mono, 1, ir_channel::right, mono},
        {mono, 1, ir_channel::both, mono},
    };
    for (const auto& c : cases) {
        ir_choices choices;
        choices.channel = c.channel;
        const ir_conversion ir = convert_wav_to_ir(float_wav(c.file, 48000, c.channels), choices);
        ASSERT_EQ(ir.rejection, ir_rejection::none);
        ASSERT_EQ(ir.samples.size(), c.expected.size()) << static_cast<int>(c.channel);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_FLOAT_EQ(ir.samples[i], c.expected[i])
                << static_cast<int>(c.channel) << " " << i;
    }
}

// The half-cosine's gains at known points: the sample before the fade untouched, a quarter,
// half and three quarters of the way, and 0 at the last sample.
TEST(IrShape, TailFadeGains) {
    const double c45 = 0.5 * (1.0 + std::sqrt(0.5)); // 0.5 (1 + cos 45 degrees)
    const struct {
        size_t length;
        std::vector<std::pair<size_t, double>> gains; // sample index, expected gain
    } cases[] = {
        {4096,
         {{3583, 1.0}, {3584 + 127, c45}, {3584 + 255, 0.5}, {3584 + 383, 1.0 - c45}, {4095, 0.0}}},
        {1000, {{487, 1.0}, {488 + 255, 0.5}, {999, 0.0}}},
        {4, {{0, c45}, {1, 0.5}, {2, 1.0 - c45}, {3, 0.0}}}, // shorter than 512: all of it
        {1, {{0, 0.0}}},
    };
    for (const auto& c : cases) {
        const std::vector<float> flat(c.length, 0.5f);
        ir_choices fade;
        fade.tail = ir_tail::fade;
        const ir_conversion ir = convert_wav_to_ir(float_wav(flat, 48000), fade);
        ASSERT_EQ(ir.samples.size(), c.length);
        for (const auto& [index, gain] : c.gains)
            EXPECT_NEAR(ir.samples[index], 0.5 * gain, 1e-7) << c.length << " " << index;
        EXPECT_EQ(ir.samples.back(), 0.0f);
    }
}

// |H|^2 of h = (a, b) is a^2 + b^2 + 2ab cos(w): its mean over log frequency, by a fine
// trapezoid of the closed form.
double two_tap_level_db(double a, double b) {
    const int steps = 200000;
    const double low = std::log(100.0), high = std::log(6000.0);
    double sum = 0.0;
    for (int i = 0; i <= steps; ++i) {
        const double f = std::exp(low + (high - low) * i / steps);
        const double power = a * a + b * b + 2 * a * b * std::cos(2 * pi * f / 48000.0);
        sum += (i == 0 || i == steps) ? power / 2 : power;
    }
    return 10.0 * std::log10(sum / steps);
}

TEST(IrShape, LevelOfKnownFilters) {
    std::vector<float> delayed(300, 0.0f);
    delayed[200] = 0.5f;
    std::vector<float> gapped(49, 0.0f); // h = 0.5 d(n) + 0.5 d(n - 48): comb with 1 kHz teeth
    gapped[0] = gapped[48] = 0.5f;
    const struct {
        const char* name;
        std::vector<float> samples;
        double expected_db;
    } cases[] = {
        {"unit impulse", {1.0f}, 0.0},
        {"delayed half impulse", delayed, 20.0 * std::log10(0.5)},
        {"two-tap low-pass", {0.5f, 0.5f}, two_tap_level_db(0.5, 0.5)},
        {"two-tap high-pass", {0.5f, -0.5f}, two_tap_level_db(0.5, -0.5)},
        {"comb", gapped, 10.0 * std::log10(0.5)}, // a whole number of teeth per point: mean 0.5
    };
    for (const auto& c : cases) EXPECT_NEAR(ir_level_db(c.samples), c.expected_db, 0.05) << c.name;
    EXPECT_EQ(ir_level_db(std::vector<float>(10, 0.0f)), -INFINITY);
}

TEST(IrShape, LevelMatchedToTheFactoryMedian) {
    const double median = factory_median_level_db();
    ir_choices matched;
    matched.level = ir_level::matched;
    const struct {
        const char* name;
        std::vector<float> file;
        bool peak_limited;
    } cases[] = {
        {"loud", decaying_noise(3000, 1, 0.9f), false},
        {"quiet", decaying_noise(3000, 2, 0.05f), false},
        {"one short click", {0.02f}, true}, // flat and quiet: only 1.0 at most
    };
    for (const auto& c : cases) {
        const ir_conversion ir = convert_wav_to_ir(float_wav(c.file, 48000), matched);
        ASSERT_EQ(ir.rejection, ir_rejection::none) << c.name;
        const double level = ir_level_db(ir.samples);
        if (c.peak_limited) {
            EXPECT_EQ(ir_peak(ir.samples), 1.0f) << c.name;
            EXPECT_GT(ir.level.shortfall_db, 0.0) << c.name;
            EXPECT_NEAR(level + ir.level.shortfall_db, median, 0.1) << c.name;
        } else {
            EXPECT_NEAR(level, median, 0.1) << c.name;
            EXPECT_EQ(ir.level.shortfall_db, 0.0) << c.name;
            EXPECT_LE(ir_peak(ir.samples), 1.0f) << c.name;
        }
        // The gain applied is the one the level changed by.
        const ir_conversion as_is = convert_wav_to_ir(float_wav(c.file, 48000));
        EXPECT_NEAR(level - ir_level_db(as_is.samples), ir.level.gain_db, 0.01) << c.name;
    }
    // The median lies between the factory cabinets' levels, six on either side.
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    int below = 0;
    for (const cabinet_entry& cabinet : cabinets)
        below += ir_level_db(*cabinet_samples(cabinet)) < median ? 1 : 0;
    EXPECT_EQ(below, cabinet_count / 2);
    // A silent file cannot be matched and says so.
    const ir_conversion silent = convert_wav_to_ir(float_wav({0.0f, 0.0f}, 48000), matched);
    EXPECT_EQ(silent.samples, std::vector<float>{0.0f});
    EXPECT_EQ(silent.level.shortfall_db, INFINITY);
}

#if defined(__GLIBC__)
// FNV-1a of an image, to hold the default conversion to the images it has always made.
uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}
#endif

TEST(IrShape, DefaultChoicesMakeTheSameImagesAsAlways) {
    const struct {
        uint32_t rate;
        uint16_t channels;
        size_t frames;
        uint64_t image_hash;
    } cases[] = {
        // Hashes of the images the conversion made before it had any choices.
        {44100, 1, 3000, 0xbad2575eccce15a7ull},
        {48000, 2, 5000, 0x41a4713a875a3c05ull},
        {96000, 2, 9000, 0xc978bc7ce9df3da1ull},
        {88200, 1, 20000, 0x81429310437a4ae7ull},
    };
    for (const auto& c : cases) {
        const std::vector<float> file = decaying_noise(c.frames * c.channels, c.rate);
        const ir_conversion ir = convert_wav_to_ir(float_wav(file, c.rate, c.channels));
        const auto image = encode_ir_image(ir.samples);
        ASSERT_TRUE(image);
#if defined(__GLIBC__)
        // Recorded with glibc's maths library: mingw's and the browser's synthesise the test
        // input with other last bits, so there only the choices-versus-defaults check holds.
        EXPECT_EQ(fnv1a(*image), c.image_hash) << c.rate << " Hz " << c.channels << " channels";
#endif
        EXPECT_EQ(convert_wav_to_ir(float_wav(file, c.rate, c.channels), ir_choices{}).samples,
                  ir.samples);
    }
}

} // namespace
} // namespace nimba
