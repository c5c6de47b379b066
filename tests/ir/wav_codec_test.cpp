// The WAV codec: hand-made files with known samples, files made by sox checked against sox's
// own decoding, and malformed or truncated input.
#include "ir/wav_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

std::vector<float> decode_all(const std::vector<uint8_t>& bytes, uint16_t* channels = nullptr) {
    const auto file = open_wav(bytes);
    if (!file) return {};
    if (channels) *channels = file->format.channels;
    return decode_wav_frames(*file, file->format.frame_count);
}

struct scaling_case {
    const char* name;
    fmt_fields fmt;
    std::vector<uint8_t> data;
    std::vector<float> expected;
};

TEST(WavCodec, ScalesEachEncoding) {
    double d = -0.25;
    std::vector<uint8_t> f64(8);
    std::memcpy(f64.data(), &d, 8);
    const scaling_case cases[] = {
        {"8-bit unsigned", {1, 1, 48000, 8}, {0, 128, 255}, {-1.0f, 0.0f, 127 / 128.0f}},
        {"16-bit",
         {1, 1, 48000, 16},
         {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40},
         {-1.0f, 32767 / 32768.0f, 0.5f}},
        {"24-bit",
         {1, 1, 48000, 24},
         {0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF},
         {-1.0f, -1 / 8388608.0f}},
        {"32-bit", {1, 1, 48000, 32}, {0, 0, 0, 0x80, 0, 0, 0, 0x40}, {-1.0f, 0.5f}},
        {"float 32", {3, 1, 48000, 32}, float_bytes({0.75f, -2.0f}), {0.75f, -2.0f}},
        {"float 64", {3, 1, 48000, 64}, f64, {-0.25f}},
        // G.711 code words with well-known linear values.
        {"A-law",
         {6, 1, 48000, 8},
         {0xD5, 0x55, 0xAA, 0x2A},
         {8 / 32768.0f, -8 / 32768.0f, 32256 / 32768.0f, -32256 / 32768.0f}},
        {"mu-law",
         {7, 1, 48000, 8},
         {0xFF, 0x80, 0x00},
         {0.0f, 32124 / 32768.0f, -32124 / 32768.0f}},
        {"stereo 16-bit interleaved",
         {1, 2, 48000, 16},
         {1, 0, 2, 0, 3, 0, 4, 0},
         {1 / 32768.0f, 2 / 32768.0f, 3 / 32768.0f, 4 / 32768.0f}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decode_all(riff_wav(fmt_body(c.fmt), c.data)), c.expected) << c.name;
    }
}

// The format comes from the sub-format GUID's first two bytes, whatever the rest says.
TEST(WavCodec, ExtensibleFormatUsesItsSubformat) {
    const std::vector<uint8_t> standard = {0, 0, 0,    0, 0x10, 0,    0x80,
                                           0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const std::vector<uint8_t> ambisonic = {0,    0,    0x21, 0x07, 0xD3, 0x11, 0x86,
                                            0x44, 0xC8, 0xC1, 0xCA, 0,    0,    0};
    const struct {
        uint16_t bits, subformat;
        std::vector<uint8_t> tail, data;
        std::optional<float> sample; // nothing: refused
    } cases[] = {
        {16, 0x0001, standard, {0x00, 0x40}, 0.5f},
        {16, 0x0001, ambisonic, {0x00, 0x40}, 0.5f},
        {32, 0x0003, ambisonic, {0x00, 0x00, 0x80, 0x3E}, 0.25f},
        {24, 0x0001, ambisonic, {0x00, 0x00, 0xC0}, -0.5f},
        {16, 0x0055, standard, {0x00, 0x40}, std::nullopt},
    };
    for (const auto& c : cases) {
        auto fmt = fmt_body({0xFFFE, 1, 48000, c.bits});
        put_le(fmt, 22, 2);          // extension size
        put_le(fmt, c.bits, 2);      // valid bits
        put_le(fmt, 4, 4);           // channel mask
        put_le(fmt, c.subformat, 2); // the GUID's first two bytes
        fmt.insert(fmt.end(), c.tail.begin(), c.tail.end());
        const auto bytes = riff_wav(fmt, c.data);
        EXPECT_EQ(open_wav(bytes).has_value(), c.sample.has_value()) << c.subformat;
        if (c.sample) {
            EXPECT_EQ(decode_all(bytes), std::vector<float>{*c.sample}) << c.subformat;
        }
    }
}

TEST(WavCodec, FrameCountIsWhatTheDataHolds) {
    const std::vector<uint8_t> data = pcm16_bytes({1, 2, 3, 4, 5});
    struct {
        const char* name;
        int64_t declared;
        size_t keep; // bytes of the file kept
        uint64_t frames;
    } cases[] = {
        {"declared size", 10, SIZE_MAX, 5},
        {"declared smaller than present", 6, SIZE_MAX, 3},
        {"declared beyond the file", 0xFFFFFFF0, SIZE_MAX, 5},
        {"file cut inside the data", 10, 44 + 7, 3},
        {"odd trailing byte ignored", 9, SIZE_MAX, 4},
    };
    for (const auto& c : cases) {
        auto bytes = riff_wav(fmt_body({}), data, c.declared);
        if (c.keep < bytes.size()) bytes.resize(c.keep);
        const auto file = open_wav(bytes);
        ASSERT_TRUE(file) << c.name;
        EXPECT_EQ(file->format.frame_count, c.frames) << c.name;
        EXPECT_EQ(decode_wav_frames(*file, UINT64_MAX).size(), c.frames) << c.name;
    }
}

TEST(WavCodec, RefusesWhatItCannotDecode) {
    const auto good_fmt = fmt_body({});
    const auto data = pcm16_bytes({1, 2});
    auto no_wave = riff_wav(good_fmt, data);
    no_wave[8] = 'X';
    std::vector<uint8_t> no_fmt, no_data;
    put_id(no_fmt, "RIFF"), put_le(no_fmt, 0, 4), put_id(no_fmt, "WAVE"),
        put_chunk(no_fmt, "data", data);
    put_id(no_data, "RIFF"), put_le(no_data, 0, 4), put_id(no_data, "WAVE"),
        put_chunk(no_data, "fmt ", good_fmt);
    auto short_fmt = good_fmt;
    short_fmt.resize(14);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"not RIFF", std::vector<uint8_t>(64, 'x')},
        {"not WAVE", no_wave},
        {"no format chunk", no_fmt},
        {"no data chunk", no_data},
        {"short format chunk", riff_wav(short_fmt, data)},
        {"zero channels", riff_wav(fmt_body({1, 0, 48000, 16}), data)},
        {"zero rate", riff_wav(fmt_body({1, 1, 0, 16}), data)},
        {"unknown tag", riff_wav(fmt_body({0x55, 1, 48000, 16}), data)},
        {"PCM wider than 32 bits", riff_wav(fmt_body({1, 1, 48000, 40}), data)},
        {"PCM of 0 bits", riff_wav(fmt_body({1, 1, 48000, 0, 2}), data)},
        {"24-bit float", riff_wav(fmt_body({3, 1, 48000, 24}), data)},
        {"16-bit A-law", riff_wav(fmt_body({6, 1, 48000, 16}), data)},
        {"ADPCM block smaller than its header", riff_wav(fmt_body({2, 2, 48000, 4, 14}), data)},
        {"IMA block no larger than its header", riff_wav(fmt_body({0x11, 1, 48000, 4, 4}), data)},
    };
    for (const auto& c : cases) EXPECT_FALSE(open_wav(c.bytes)) << c.name;
}

TEST(WavCodec, SkipsUnknownChunksAndFindsFactAfterData) {
    std::vector<uint8_t> bytes;
    put_id(bytes, "RIFF"), put_le(bytes, 0, 4), put_id(bytes, "WAVE");
    put_chunk(bytes, "LIST", {1, 2, 3}); // odd size: padded
    put_chunk(bytes, "fmt ", fmt_body({}));
    put_chunk(bytes, "data", pcm16_bytes({100, 200}));
    const auto file = open_wav(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(decode_wav_frames(*file, 10), (std::vector<float>{100 / 32768.0f, 200 / 32768.0f}));
}

// A Microsoft ADPCM block with a predictor index outside the coefficient table ends decoding
// at that block; the blocks before it stand.
TEST(WavCodec, CorruptAdpcmBlockEndsDecoding) {
    auto fmt = fmt_body({2, 1, 48000, 4, 16});
    put_le(fmt, 4, 2);  // extension size
    put_le(fmt, 20, 2); // frames per block
    put_le(fmt, 1, 2);  // one coefficient pair
    put_le(fmt, 256, 2), put_le(fmt, 0, 2);
    std::vector<uint8_t> data = {0, 16, 0, 0x10, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bad = data;
    bad[0] = 1;
    data.insert(data.end(), bad.begin(), bad.end());
    const auto bytes = riff_wav(fmt, data);
    const auto file = open_wav(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->format.frames_per_block, 20u);
    const auto frames = decode_wav_frames(*file, UINT64_MAX);
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames[0], 32 / 32768.0f); // the older header sample comes first
    EXPECT_EQ(frames[1], 16 / 32768.0f);
}

// A refusal, or at most what the header declares and the bytes can hold (ADPCM packs two
// samples a byte besides its block headers), every sample finite and within full scale.
void expect_refused_or_bounded(const std::vector<uint8_t>& bytes) {
    const auto f = open_wav(bytes);
    if (!f) return;
    const auto samples = decode_wav_frames(*f, UINT64_MAX);
    EXPECT_LE(samples.size(), f->format.frame_count * f->format.channels);
    EXPECT_LE(samples.size() * 2, bytes.size() * 8 + 16);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(),
                            [](float x) { return std::isfinite(x) && std::abs(x) <= 1.0f; }));
}

// Every prefix of every kind of file, and every single-byte corruption of the headers, is
// refused or decoded within its buffer (the sanitizers watch the reads).
TEST(WavCodec, TruncatedAndCorruptedHeadersStayInBounds) {
    std::vector<std::vector<uint8_t>> files = {
        riff_wav(fmt_body({}), pcm16_bytes({1, -2, 3, -4})),
        riff_wav(fmt_body({3, 2, 44100, 64}), std::vector<uint8_t>(64, 0x3F)),
        riff_wav(fmt_body({2, 2, 44100, 4, 64}), std::vector<uint8_t>(150, 0x07)),
        riff_wav(fmt_body({0x11, 2, 44100, 4, 72}), std::vector<uint8_t>(150, 0x5A)),
    };
    for (const auto& original : files) {
        for (size_t keep = 0; keep <= original.size(); ++keep) {
            SCOPED_TRACE(keep);
            expect_refused_or_bounded({original.begin(), original.begin() + keep});
        }
        for (size_t at = 0; at < 48 && at < original.size(); ++at) {
            for (uint8_t value : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x7F}, uint8_t{0xFF}}) {
                auto bytes = original;
                bytes[at] = value;
                SCOPED_TRACE(testing::Message() << "byte " << at << " = " << int{value});
                expect_refused_or_bounded(bytes);
            }
        }
    }
}

TEST(WavCodec, WriterMakesFloatRiff) {
    const auto bytes = encode_wav_float32(std::vector<float>{0.5f, -1.0f, 0.25f, 0.0f}, 2, 44100);
    ASSERT_EQ(bytes.size(), 44u + 16u);
    const auto file = open_wav(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->format.encoding, wav_encoding::ieee_float);
    EXPECT_EQ(file->format.channels, 2);
    EXPECT_EQ(file->format.sample_rate, 44100u);
    EXPECT_EQ(decode_wav_frames(*file, 10), (std::vector<float>{0.5f, -1.0f, 0.25f, 0.0f}));
    EXPECT_TRUE(encode_wav_float32(std::vector<float>{1.0f, 2.0f, 3.0f}, 2, 44100).empty());
    EXPECT_TRUE(encode_wav_float32({}, 0, 44100).empty());
}

// ---- against sox ------------------------------------------------------------------------------

struct sox_case {
    const char* name;
    const char* file_options; // how sox writes the file under test
    const char* extension;
    float tolerance;
    wav_container container;
    bool declared_by_fact; // false: sox declares whole ADPCM blocks, so we decode them all
    // sox rescales float samples when it reads Wave64 files, so the reference for those is
    // its decoding of the RIFF file from which the Wave64 file was made (same sample bits).
    bool reference_from_riff = false;
};

TEST(WavCodecAgainstSox, DecodesLikeSox) {
    if (!sox_available()) GTEST_SKIP() << "sox is not available on this platform";
    const sox_case cases[] = {
        {"MS ADPCM mono", "-c 1 -e ms-adpcm", "wav", 0, wav_container::riff, true},
        {"MS ADPCM stereo", "-c 2 -e ms-adpcm", "wav", 0, wav_container::riff, true},
        {"IMA ADPCM mono", "-c 1 -e ima-adpcm", "wav", 0, wav_container::riff, true},
        {"IMA ADPCM stereo", "-c 2 -e ima-adpcm", "wav", 0, wav_container::riff, true},
        {"A-law", "-c 2 -e a-law", "wav", 0, wav_container::riff, true},
        {"mu-law", "-c 1 -e u-law", "wav", 0, wav_container::riff, true},
        {"8-bit", "-c 2 -b 8 -e unsigned-integer", "wav", 0, wav_container::riff, true},
        {"24-bit", "-c 1 -b 24 -e signed-integer", "wav", 0, wav_container::riff, true},
        {"32-bit", "-c 2 -b 32 -e signed-integer", "wav", 1e-7f, wav_container::riff, true},
        {"float 64", "-c 1 -b 64 -e floating-point", "wav", 1e-7f, wav_container::riff, true},
        {"Wave64 16-bit", "-c 2 -b 16 -e signed-integer", "w64", 0, wav_container::wave64, true},
        {"Wave64 float", "-c 1 -b 32 -e floating-point", "w64", 1e-7f, wav_container::wave64, true,
         true},
        {"Wave64 IMA ADPCM", "-c 1 -e ima-adpcm", "w64", 0, wav_container::wave64, false},
    };
    temp_folder dir;
    int serial = 0;
    for (const auto& c : cases) {
        const std::string n = std::to_string(serial++);
        const auto source = dir / ("in" + n + "." + c.extension);
        const auto twin = dir / ("twin" + n + ".wav");
        const auto raw = dir / ("out" + n + ".f32");
        // Noise exercises every ADPCM code; several blocks, the last one part-filled.
        const std::string made = c.reference_from_riff ? twin.string() : source.string();
        ASSERT_TRUE(run("sox -V1 -R -r 44100 -n " + std::string(c.file_options) + " '" + made +
                        "' synth 5003s whitenoise vol 0.8"))
            << c.name;
        if (c.reference_from_riff) {
            ASSERT_TRUE(run("sox -V1 '" + made + "' '" + source.string() + "'")) << c.name;
        }
        ASSERT_TRUE(
            run("sox -V1 -R '" + made + "' -t raw -e floating-point -b 32 '" + raw.string() + "'"))
            << c.name;
        const auto bytes = read_file(source);
        const auto reference_bytes = read_file(raw);
        std::vector<float> reference(reference_bytes.size() / 4);
        std::memcpy(reference.data(), reference_bytes.data(), reference.size() * 4);

        uint16_t channels = 0;
        const auto file = open_wav(bytes);
        ASSERT_TRUE(file) << c.name;
        EXPECT_EQ(file->format.container, c.container) << c.name;
        const auto ours = decode_all(bytes, &channels);
        EXPECT_EQ(ours.size(), c.declared_by_fact ? 5003u * channels : reference.size()) << c.name;
        ASSERT_LE(ours.size(), reference.size()) << c.name;
        size_t differing = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            if (!(std::fabs(ours[i] - reference[i]) <= c.tolerance)) ++differing;
        EXPECT_EQ(differing, 0u) << c.name;

        // Decoded a few blocks at a time, the frames are the same.
        const uint64_t slice = 3 * uint64_t{file->format.frames_per_block};
        std::vector<float> sliced;
        for (uint64_t first = 0; first < file->format.frame_count; first += slice) {
            const auto part = decode_wav_frames(*file, slice, first);
            sliced.insert(sliced.end(), part.begin(), part.end());
        }
        EXPECT_EQ(sliced, ours) << c.name;
    }
}

} // namespace
} // namespace nimba
