// Cabinet IR import: silence removal, resampling, the cut to 4096, refusals, and the IR image.
#include "ir/ir_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/file_access.h"
#include "core/state.h"
#include "device/link.h"
#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

std::vector<float> noise(size_t n, uint32_t seed = 7) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-0.9f, 0.9f);
    std::vector<float> out(n);
    for (auto& v : out) v = dist(gen);
    out[0] = 0.5f; // never silent, so the working signal is the whole file
    return out;
}

ir_conversion convert(const std::vector<uint8_t>& bytes) {
    return convert_wav_to_ir(bytes);
}

TEST(IrImport, KeepsFromFirstAudibleSampleAt48k) {
    std::vector<float> file(5000);
    for (size_t i = 0; i < 100; ++i) file[i] = (i % 2 ? 0.01f : -0.01f); // bounds are silent
    for (size_t i = 100; i < file.size(); ++i) file[i] = static_cast<float>(i) / 10000.0f;
    file[100] = 0.5f;
    const auto ir = convert(float_wav(file, 48000));
    ASSERT_EQ(ir.rejection, ir_rejection::none);
    EXPECT_EQ(ir.samples, std::vector<float>(file.begin() + 100, file.begin() + 4196));
}

TEST(IrImport, SilentFileGivesItsLastSample) {
    EXPECT_EQ(convert(float_wav(std::vector<float>(10, 0.0f), 48000)).samples,
              std::vector<float>{0.0f});
    std::vector<float> quiet(10, 0.005f);
    quiet.back() = -0.0075f;
    EXPECT_EQ(convert(float_wav(quiet, 48000)).samples, std::vector<float>{-0.0075f});
    std::vector<float> nan_first = {std::nanf(""), 0.0f};
    EXPECT_EQ(convert(float_wav(nan_first, 48000)).rejection, // NaN is not silence: kept, refused
              ir_rejection::not_finite);
}

TEST(IrImport, LengthAfterResampling) {
    const struct {
        uint32_t rate;
        size_t working;
        size_t expected;
    } cases[] = {
        {44100, 4410, 4096}, // 4800 before the cut
        {44100, 3000, 3265}, {96000, 1000, 500},  {96000, 1, 0},
        {88200, 2205, 1200}, {48000, 9000, 4096},
    };
    for (const auto& c : cases) {
        std::vector<float> file(50, 0.0f); // leading silence is removed first
        const auto sound = noise(c.working);
        file.insert(file.end(), sound.begin(), sound.end());
        const auto ir = convert(float_wav(file, c.rate));
        ASSERT_EQ(ir.rejection, ir_rejection::none) << c.rate << " " << c.working;
        EXPECT_EQ(ir.samples.size(), c.expected) << c.rate << " " << c.working;
    }
}

// The kernel against a plain double-precision Lanczos (a = 3) over the same 8 taps.
TEST(IrImport, ResamplesWithLanczosKernel) {
    for (uint32_t rate : {44100u, 96000u, 64000u}) {
        const auto source = noise(2000, rate);
        const auto ir = convert(float_wav(source, rate));
        ASSERT_FALSE(ir.samples.empty());
        const double step = rate / 48000.0;
        double worst = 0;
        for (size_t m = 0; m < ir.samples.size(); ++m) {
            const double p = m * step;
            const auto k = static_cast<int64_t>(std::floor(p));
            double sum = 0;
            for (int64_t t = k - 4; t <= k + 3; ++t) {
                if (t < 0 || t >= static_cast<int64_t>(source.size())) continue;
                const double x = p - t;
                const double y = x * 3.14159265358979323846;
                const double w = x == 0             ? 1
                                 : std::fabs(x) < 3 ? 3 * std::sin(y) * std::sin(y / 3) / (y * y)
                                                    : 0;
                sum += w * source[t];
            }
            worst = std::max(worst, std::fabs(sum - ir.samples[m]));
        }
        EXPECT_LT(worst, 2e-4) << rate;
    }
}

TEST(IrImport, RateAndChannelLimits) {
    const struct {
        uint32_t rate;
        uint16_t channels;
        ir_rejection expected;
    } cases[] = {
        {44099, 1, ir_rejection::sample_rate},
        {44100, 1, ir_rejection::none},
        {96000, 1, ir_rejection::none},
        {96001, 1, ir_rejection::sample_rate},
        {8000, 2, ir_rejection::sample_rate},
        {48000, 2, ir_rejection::none},
        {48000, 3, ir_rejection::too_many_channels},
    };
    for (const auto& c : cases) {
        const auto ir = convert(float_wav(noise(30u * c.channels), c.rate, c.channels));
        EXPECT_EQ(ir.rejection, c.expected) << c.rate << " Hz, " << c.channels << " channels";
        EXPECT_EQ(ir.samples.empty(), c.expected != ir_rejection::none);
    }
}

TEST(IrImport, StereoTakesLeftChannelOnly) {
    const std::vector<float> frames = {0.0f, 0.9f, 0.2f, 0.9f, 0.3f, -0.9f, 0.4f, 0.1f};
    EXPECT_EQ(convert(float_wav(frames, 48000, 2)).samples, (std::vector<float>{0.2f, 0.3f, 0.4f}));
    const std::vector<float> silent_left = {0.0f, 0.9f, 0.0f, 0.8f, 0.0f, 0.7f};
    EXPECT_EQ(convert(float_wav(silent_left, 48000, 2)).samples, std::vector<float>{0.0f});
}

// Every frame the file holds is decoded, whatever its sample width.
TEST(IrImport, DecodesEveryDeclaredFrame) {
    std::vector<int16_t> pcm(3000, 1000);
    const auto wav16 = riff_wav(fmt_body({1, 1, 48000, 16}), pcm16_bytes(pcm));
    ASSERT_EQ(wav16.size(), 6044u);
    const auto ir16 = convert(wav16);
    ASSERT_EQ(ir16.samples.size(), 3000u);
    EXPECT_EQ(ir16.samples.back(), 1000 / 32768.0f);

    const auto wav8 = riff_wav(fmt_body({1, 1, 48000, 8}), std::vector<uint8_t>(2000, 192));
    const auto ir8 = convert(wav8);
    ASSERT_EQ(ir8.samples.size(), 2000u);
    EXPECT_EQ(ir8.samples.back(), 0.5f);
}

// Whatever comes out of the conversion is a finite number, or the file is refused.
TEST(IrImport, RefusesWhatIsNotFinite) {
    std::vector<uint8_t> huge_doubles;
    for (double d : {0.5, 1e300, 0.25}) {
        uint64_t bits = 0; // memcpy, not std::bit_cast: the browser build's libc++ lacks it
        std::memcpy(&bits, &d, sizeof bits);
        put_le(huge_doubles, bits, 8);
    }
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> near_max(326, 3.3e38f); // kernel weights sum past 1 on the way
    const struct {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"64-bit float past the float range", riff_wav(fmt_body({3, 1, 48000, 64}), huge_doubles)},
        {"finite floats whose resampling overflows", float_wav(near_max, 44100)},
        {"NaN", float_wav({0.5f, std::nanf("")}, 48000)},
        {"infinity", float_wav({0.5f, -inf}, 96000)},
    };
    for (const auto& c : cases) {
        const ir_conversion ir = convert(c.file);
        EXPECT_EQ(ir.rejection, ir_rejection::not_finite) << c.name;
        EXPECT_TRUE(ir.samples.empty()) << c.name;
    }
    EXPECT_EQ(refusal_text({ir_rejection::not_finite, {}, {}}),
              "contains samples that are not finite numbers");
}

// Frames are decoded a slice at a time and silence is dropped as it goes: a sound after a
// silence many slices long converts as the sound alone, and a long sound as its start.
TEST(IrImport, LongSilenceAndLongFilesConvertAsTheirSoundingStart) {
    const std::vector<float> sound = noise(30000);
    for (const uint32_t rate : {44100u, 48000u, 96000u}) {
        std::vector<float> file(300001, 0.0f);
        file.insert(file.end(), sound.begin(), sound.end());
        // Just the frames the 4096 output samples read, and nothing after them.
        const size_t needed = size_t{4096} * rate / 48000 + 5;
        const auto start = std::vector<float>(sound.begin(), sound.begin() + needed);
        const ir_conversion whole = convert(float_wav(file, rate));
        ASSERT_EQ(whole.rejection, ir_rejection::none) << rate;
        EXPECT_EQ(whole.samples.size(), 4096u) << rate;
        EXPECT_EQ(whole.samples, convert(float_wav(sound, rate)).samples) << rate;
        EXPECT_EQ(whole.samples, convert(float_wav(start, rate)).samples) << rate;
    }
    // Silent throughout, across slices: its last sample.
    std::vector<float> silent(200000, 0.001f);
    silent.back() = -0.002f;
    EXPECT_EQ(convert(float_wav(silent, 48000)).samples, std::vector<float>{-0.002f});
}

TEST(IrImport, RefusalsSayWhy) {
    temp_folder dir;
    write_file(dir / "empty.wav", {});
    write_file(dir / "text.wav", {'h', 'e', 'l', 'l', 'o'});
    write_file(dir / "nodata.wav", riff_wav(fmt_body({}), {}));
    write_file(dir / "good.wav", float_wav(noise(100), 48000));
    write_file(dir / "big.wav", {});
    std::filesystem::resize_file(dir / "big.wav", max_read_bytes + 1); // sparse

    const auto in_dir = [&](const char* name) { return wide(dir / name); };
    const std::string big = "holds more than " + std::to_string(max_read_bytes) + " bytes";
    // What the user is told; "(" ends a text the system completes with its own words.
    const std::string unreadable = "import refused: the file cannot be read";
    const struct {
        std::wstring path;
        ir_rejection expected;
        std::string told;
    } cases[] = {
        {L"", ir_rejection::unreadable, unreadable + ": no file named"},
        {in_dir("missing.wav"), ir_rejection::unreadable, unreadable + ": cannot be opened ("},
        {in_dir("empty.wav"), ir_rejection::unreadable, unreadable},
        {wide(dir.path), ir_rejection::unreadable, unreadable + ": is a folder, not a file"},
        {wide(dir / "big.wav"), ir_rejection::unreadable, unreadable + ": " + big},
        {in_dir("text.wav"), ir_rejection::not_decodable,
         "import refused: not a WAV file we can decode"},
        {in_dir("nodata.wav"), ir_rejection::no_frames, "import refused: no audio frames"},
        {in_dir("good.wav"), ir_rejection::none, ""},
    };
    for (const auto& c : cases) {
        const ir_conversion conversion = read_ir_from_wav(c.path);
        EXPECT_EQ(conversion.rejection, c.expected) << utf8_from_wide(c.path);
        // A refusal reaches the user with its reason, as the import's outcome words it.
        const bool loaded = conversion.rejection == ir_rejection::none;
        const std::string told =
            loaded ? std::string()
                   : make_outcome(outcome_code::import_refused, {refusal_text(conversion)}).text;
        if (c.told.ends_with('('))
            EXPECT_TRUE(told.starts_with(c.told)) << told;
        else
            EXPECT_EQ(told, c.told);
    }
    EXPECT_STREQ(rejection_text(ir_rejection::sample_rate),
                 "sample rate outside 44100 to 96000 Hz");
}

TEST(IrImport, ImageLayout) {
    const std::vector<float> samples(4096, 0.25f);
    const auto image = encode_ir_image(samples);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), 16428u);
    const uint8_t header[44] = {'R', 'I', 'F',  'F',  0x24, 0x40, 0,    0,    'W',  'A', 'V',
                                'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    3,   0,
                                1,   0,   0x80, 0xBB, 0,    0,    0x00, 0xEE, 0x02, 0,   4,
                                0,   32,  0,    'd',  'a',  't',  'a',  0x00, 0x40, 0,   0};
    EXPECT_TRUE(std::equal(header, header + 44, image->begin()));
    float last;
    std::memcpy(&last, image->data() + 16424, 4);
    EXPECT_EQ(last, 0.25f);

    const auto empty = encode_ir_image({});
    ASSERT_TRUE(empty);
    ASSERT_EQ(empty->size(), 44u);
    EXPECT_EQ((*empty)[4], 36);
    EXPECT_EQ((*empty)[40], 0);

    EXPECT_FALSE(encode_ir_image(std::vector<float>(4097, 0.0f)));

    // A 96 kHz file of one sample converts to no samples and so to the bare header.
    const auto single = convert(float_wav({0.5f}, 96000));
    ASSERT_EQ(single.rejection, ir_rejection::none);
    EXPECT_EQ(encode_ir_image(single.samples)->size(), 44u);
}

} // namespace
} // namespace nimba
