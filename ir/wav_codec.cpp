// WAV codec. Sections: byte readers and tables; container walk (RIFF, Wave64); format chunk;
// frame counting; sample decoders (PCM, float, G.711, Microsoft ADPCM, IMA ADPCM); writer.
#include "ir/wav_codec.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace nimba {

namespace {

// ---- byte readers and tables -------------------------------------------------------------

uint16_t read_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int16_t read_i16(const uint8_t* p) {
    return static_cast<int16_t>(read_u16(p));
}
uint32_t read_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t read_u64(const uint8_t* p) {
    return static_cast<uint64_t>(read_u32(p)) | (static_cast<uint64_t>(read_u32(p + 4)) << 32);
}

bool has_id(std::span<const uint8_t> bytes, size_t at, const char* id) {
    return bytes.size() >= at + 4 && std::memcmp(bytes.data() + at, id, 4) == 0;
}

// Wave64 identifies chunks by GUIDs stored little-endian in their first three fields.
using guid_bytes = std::array<uint8_t, 16>;
constexpr guid_bytes w64_riff = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
// "wave", "fmt ", "data" and "fact" share the tail of this GUID after their four letters.
constexpr uint8_t w64_tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                  0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

bool is_w64_guid(const uint8_t* p, const char* letters) {
    return std::memcmp(p, letters, 4) == 0 && std::memcmp(p + 4, w64_tail, 12) == 0;
}

enum : uint16_t {
    tag_pcm = 0x0001,
    tag_ms_adpcm = 0x0002,
    tag_ieee_float = 0x0003,
    tag_alaw = 0x0006,
    tag_mulaw = 0x0007,
    tag_ima_adpcm = 0x0011,
    tag_extensible = 0xFFFE,
};

constexpr std::array<std::array<int16_t, 2>, 7> standard_ms_coefficients = {
    {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}}};
constexpr int32_t ms_adaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};

constexpr int32_t ima_steps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int32_t ima_index_change[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int64_t max_ms_delta = int64_t{1} << 24;

int16_t clamp16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
}

// G.711 expansions to 16-bit linear.
int16_t expand_alaw(uint8_t a) {
    a ^= 0x55;
    int32_t t = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment == 0) {
        t += 8;
    } else {
        t += 0x108;
        t <<= segment - 1;
    }
    return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t expand_mulaw(uint8_t u) {
    u = static_cast<uint8_t>(~u);
    int32_t t = ((u & 0x0F) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return static_cast<int16_t>((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

// ---- container walk -----------------------------------------------------------------------

struct raw_chunks {
    std::span<const uint8_t> fmt;
    std::span<const uint8_t> data;
    bool has_fmt = false;
    bool has_data = false;
    std::optional<uint32_t> fact_frames;
};

// The body of a chunk that claims `declared` bytes at `at`: never past the buffer's end.
std::span<const uint8_t> clamped_body(std::span<const uint8_t> bytes, size_t at,
                                      uint64_t declared) {
    if (at >= bytes.size()) return {};
    const uint64_t available = bytes.size() - at;
    return bytes.subspan(at, static_cast<size_t>(std::min(declared, available)));
}

void keep_chunk(raw_chunks& found, int kind, std::span<const uint8_t> body) {
    if (kind == 0 && !found.has_fmt) {
        found.fmt = body;
        found.has_fmt = true;
    } else if (kind == 1 && !found.has_data) {
        found.data = body;
        found.has_data = true;
    } else if (kind == 2 && body.size() >= 4 && !found.fact_frames) {
        found.fact_frames = read_u32(body.data());
    }
}

std::optional<raw_chunks> walk_riff(std::span<const uint8_t> bytes) {
    raw_chunks found;
    uint64_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* header = bytes.data() + at;
        const uint64_t size = read_u32(header + 4);
        const auto body = clamped_body(bytes, static_cast<size_t>(at + 8), size);
        const int kind = std::memcmp(header, "fmt ", 4) == 0   ? 0
                         : std::memcmp(header, "data", 4) == 0 ? 1
                         : std::memcmp(header, "fact", 4) == 0 ? 2
                                                               : -1;
        keep_chunk(found, kind, body);
        at += 8 + size + (size & 1); // chunks are padded to an even length
    }
    return found;
}

std::optional<raw_chunks> walk_wave64(std::span<const uint8_t> bytes) {
    raw_chunks found;
    uint64_t at = 40;
    while (at + 24 <= bytes.size()) {
        const uint8_t* header = bytes.data() + at;
        const uint64_t size = read_u64(header + 16); // includes the 24-byte header
        if (size < 24) break;
        const auto body = clamped_body(bytes, static_cast<size_t>(at + 24), size - 24);
        const int kind = is_w64_guid(header, "fmt ")   ? 0
                         : is_w64_guid(header, "data") ? 1
                         : is_w64_guid(header, "fact") ? 2
                                                       : -1;
        keep_chunk(found, kind, body);
        if (size > bytes.size() - at) break;
        at += size + (8 - size % 8) % 8; // chunks are 8-byte aligned
    }
    return found;
}

// ---- format chunk ---------------------------------------------------------------------------

uint32_t adpcm_header_bytes(wav_encoding encoding, uint16_t channels) {
    return (encoding == wav_encoding::ms_adpcm ? 7u : 4u) * channels;
}

// Frames held by an ADPCM block of `bytes` bytes (a whole or a cut-off last block).
uint64_t adpcm_frames_in(const wav_format& f, uint64_t bytes) {
    const uint32_t header = adpcm_header_bytes(f.encoding, f.channels);
    if (bytes < header) return 0;
    const uint64_t payload = bytes - header;
    if (f.encoding == wav_encoding::ms_adpcm) return 2 + payload * 2 / f.channels;
    return 1 + payload / (4u * f.channels) * 8;
}

bool read_format(std::span<const uint8_t> fmt, wav_file& file) {
    if (fmt.size() < 16) return false;
    wav_format& f = file.format;
    uint16_t tag = read_u16(fmt.data());
    f.channels = read_u16(fmt.data() + 2);
    f.sample_rate = read_u32(fmt.data() + 4);
    f.block_align = read_u16(fmt.data() + 12);
    f.bits_per_sample = read_u16(fmt.data() + 14);
    if (f.channels == 0 || f.sample_rate == 0) return false;

    const bool extensible = tag == tag_extensible;
    if (extensible) {
        // The sub-format GUID starts with the format tag. Its other bytes name who defined the
        // layout (the standard tail, or an ambisonic one, say); the samples are coded alike.
        if (fmt.size() < 40) return false;
        tag = read_u16(fmt.data() + 24);
    }
    switch (tag) {
    case tag_pcm:
        f.encoding = wav_encoding::pcm;
        if (f.bits_per_sample == 0 || f.bits_per_sample > 32) return false;
        break;
    case tag_ieee_float:
        f.encoding = wav_encoding::ieee_float;
        if (f.bits_per_sample != 32 && f.bits_per_sample != 64) return false;
        break;
    case tag_alaw:
    case tag_mulaw:
        f.encoding = tag == tag_alaw ? wav_encoding::alaw : wav_encoding::mulaw;
        if (f.bits_per_sample != 8) return false;
        break;
    case tag_ms_adpcm:
    case tag_ima_adpcm:
        f.encoding = tag == tag_ms_adpcm ? wav_encoding::ms_adpcm : wav_encoding::ima_adpcm;
        break;
    default:
        return false;
    }

    if (f.encoding == wav_encoding::ms_adpcm || f.encoding == wav_encoding::ima_adpcm) {
        const uint32_t header = adpcm_header_bytes(f.encoding, f.channels);
        if (f.block_align <= header) return false;
        f.frames_per_block = static_cast<uint32_t>(adpcm_frames_in(f, f.block_align));
        if (f.encoding == wav_encoding::ms_adpcm) {
            // Extension: cbSize, samples per block, coefficient count, coefficient pairs. The
            // extensible layout has no room for them: it uses the standard set.
            if (!extensible && fmt.size() >= 22) {
                const uint16_t count = read_u16(fmt.data() + 20);
                const size_t fit = (fmt.size() - 22) / 4;
                for (size_t i = 0; i < std::min<size_t>(count, fit); ++i) {
                    const uint8_t* p = fmt.data() + 22 + 4 * i;
                    file.adpcm_coefficients.push_back({read_i16(p), read_i16(p + 2)});
                }
            }
            if (file.adpcm_coefficients.empty())
                file.adpcm_coefficients.assign(standard_ms_coefficients.begin(),
                                               standard_ms_coefficients.end());
        }
    } else {
        // Integer and float samples: whole bytes per sample, whatever block_align claims.
        const uint32_t frame_bytes = (f.bits_per_sample + 7u) / 8u * f.channels;
        if (frame_bytes > 0xFFFF) return false;
        f.block_align = static_cast<uint16_t>(frame_bytes);
    }
    return true;
}

// ---- frame counting -------------------------------------------------------------------------

uint64_t count_frames(const wav_format& f, size_t data_size, std::optional<uint32_t> fact) {
    if (f.encoding != wav_encoding::ms_adpcm && f.encoding != wav_encoding::ima_adpcm)
        return data_size / f.block_align;
    const uint64_t whole = data_size / f.block_align;
    const uint64_t held =
        whole * f.frames_per_block + adpcm_frames_in(f, data_size % f.block_align);
    // The fact chunk says how many frames the encoder put in; the last block is padded.
    return fact ? std::min<uint64_t>(*fact, held) : held;
}

// ---- sample decoders ----------------------------------------------------------------------

float pcm_sample(const uint8_t* p, uint32_t bytes) {
    switch (bytes) {
    case 1:
        return (static_cast<int32_t>(p[0]) - 128) / 128.0f;
    case 2:
        return read_i16(p) / 32768.0f;
    case 3: {
        const int32_t v = static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) |
                                               (static_cast<uint32_t>(p[1]) << 16) |
                                               (static_cast<uint32_t>(p[2]) << 24)) >>
                          8;
        return v / 8388608.0f;
    }
    default:
        return static_cast<float>(static_cast<int32_t>(read_u32(p)) / 2147483648.0);
    }
}

float float_sample(const uint8_t* p, uint32_t bytes) {
    if (bytes == 4) {
        const uint32_t bits = read_u32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    const uint64_t bits = read_u64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return static_cast<float>(d);
}

void decode_plain(const wav_file& file, uint64_t first, uint64_t frames, float* out) {
    const wav_format& f = file.format;
    const uint32_t bytes = f.block_align / f.channels;
    const uint64_t samples = frames * f.channels;
    const uint8_t* p = file.data.data() + first * f.block_align;
    for (uint64_t i = 0; i < samples; ++i, p += bytes) {
        switch (f.encoding) {
        case wav_encoding::pcm:
            out[i] = pcm_sample(p, bytes);
            break;
        case wav_encoding::ieee_float:
            out[i] = float_sample(p, bytes);
            break;
        case wav_encoding::alaw:
            out[i] = expand_alaw(*p) / 32768.0f;
            break;
        default:
            out[i] = expand_mulaw(*p) / 32768.0f;
            break;
        }
    }
}

// One Microsoft ADPCM block into `frames` frames; false when its predictor index is invalid.
bool decode_ms_block(const wav_file& file, std::span<const uint8_t> block, uint64_t frames,
                     float* out) {
    const uint32_t ch = file.format.channels;
    struct channel_state {
        int64_t c1, c2, delta, s1, s2;
    };
    std::vector<channel_state> state(ch);
    for (uint32_t c = 0; c < ch; ++c) {
        const uint8_t predictor = block[c];
        if (predictor >= file.adpcm_coefficients.size()) return false;
        state[c] = {file.adpcm_coefficients[predictor][0], file.adpcm_coefficients[predictor][1],
                    read_i16(&block[ch + 2 * c]), read_i16(&block[3 * ch + 2 * c]),
                    read_i16(&block[5 * ch + 2 * c])};
    }
    // The header carries the first two frames, the older one last.
    for (uint32_t c = 0; c < ch; ++c) {
        if (frames > 0) out[c] = state[c].s2 / 32768.0f;
        if (frames > 1) out[ch + c] = state[c].s1 / 32768.0f;
    }
    const uint64_t nibbles = frames > 2 ? (frames - 2) * ch : 0;
    const uint8_t* payload = block.data() + 7 * ch;
    for (uint64_t k = 0; k < nibbles; ++k) {
        const uint8_t byte = payload[k / 2];
        const int32_t code = (k % 2 == 0) ? byte >> 4 : byte & 0x0F;
        channel_state& s = state[k % ch];
        const int64_t predicted = (s.s1 * s.c1 + s.s2 * s.c2) >> 8;
        const int64_t signed_code = code >= 8 ? code - 16 : code;
        const int16_t sample = clamp16(predicted + signed_code * s.delta);
        s.s2 = s.s1;
        s.s1 = sample;
        // A corrupt stream can grow the step without end; real encoders stay far below this.
        s.delta = std::clamp<int64_t>((ms_adaptation[code] * s.delta) >> 8, 16, max_ms_delta);
        out[(2 + k / ch) * ch + k % ch] = sample / 32768.0f;
    }
    return true;
}

void decode_ima_block(const wav_file& file, std::span<const uint8_t> block, uint64_t frames,
                      float* out) {
    const uint32_t ch = file.format.channels;
    for (uint32_t c = 0; c < ch; ++c) {
        int32_t predictor = read_i16(&block[4 * c]);
        int32_t index = std::min<int32_t>(block[4 * c + 2], 88);
        out[c] = predictor / 32768.0f;
        // Each channel's codes come in 4-byte groups of 8, low nibble first.
        for (uint64_t frame = 1; frame < frames; ++frame) {
            const uint64_t n = frame - 1;
            const uint64_t at = 4 * ch + ((n / 8) * ch + c) * 4 + (n % 8) / 2;
            const int32_t code = (n % 2 == 0) ? block[at] & 0x0F : block[at] >> 4;
            const int32_t step = ima_steps[index];
            int32_t diff = step >> 3;
            if (code & 4) diff += step;
            if (code & 2) diff += step >> 1;
            if (code & 1) diff += step >> 2;
            predictor = clamp16((code & 8) ? predictor - diff : predictor + diff);
            index = std::clamp(index + ima_index_change[code & 7], 0, 88);
            out[frame * ch + c] = predictor / 32768.0f;
        }
    }
}

uint64_t decode_adpcm(const wav_file& file, uint64_t first, uint64_t frames, float* out) {
    const wav_format& f = file.format;
    uint64_t done = 0;
    for (size_t at = static_cast<size_t>(first / f.frames_per_block * f.block_align);
         done < frames && at < file.data.size(); at += f.block_align) {
        const auto block =
            file.data.subspan(at, std::min<size_t>(f.block_align, file.data.size() - at));
        const uint64_t in_block = std::min(
            {frames - done, uint64_t{f.frames_per_block}, adpcm_frames_in(f, block.size())});
        if (in_block == 0) break;
        float* dest = out + done * f.channels;
        if (f.encoding == wav_encoding::ms_adpcm) {
            if (!decode_ms_block(file, block, in_block, dest)) break;
        } else {
            decode_ima_block(file, block, in_block, dest);
        }
        done += in_block;
    }
    return done;
}

} // namespace

std::optional<wav_file> open_wav(std::span<const uint8_t> bytes) {
    std::optional<raw_chunks> chunks;
    wav_file file;
    if (bytes.size() >= 12 && has_id(bytes, 0, "RIFF") && has_id(bytes, 8, "WAVE")) {
        chunks = walk_riff(bytes);
        file.format.container = wav_container::riff;
    } else if (bytes.size() >= 40 && std::memcmp(bytes.data(), w64_riff.data(), 16) == 0 &&
               is_w64_guid(bytes.data() + 24, "wave")) {
        chunks = walk_wave64(bytes);
        file.format.container = wav_container::wave64;
    }
    if (!chunks || !chunks->has_fmt || !chunks->has_data) return std::nullopt;
    try {
        if (!read_format(chunks->fmt, file)) return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    file.data = chunks->data;
    file.format.frame_count = count_frames(file.format, file.data.size(), chunks->fact_frames);
    return file;
}

std::vector<float> decode_wav_frames(const wav_file& file, uint64_t max_frames,
                                     uint64_t first_frame) {
    const wav_format& f = file.format;
    const bool adpcm =
        f.encoding == wav_encoding::ms_adpcm || f.encoding == wav_encoding::ima_adpcm;
    if (f.channels == 0 || f.block_align == 0 || first_frame >= f.frame_count ||
        (adpcm && first_frame % f.frames_per_block != 0))
        return {};
    // frame_count came from the data size, so it bounds every read below.
    const uint64_t frames = std::min(max_frames, f.frame_count - first_frame);
    std::vector<float> out;
    try {
        out.resize(static_cast<size_t>(frames * f.channels));
        uint64_t done = frames;
        if (adpcm)
            done = decode_adpcm(file, first_frame, frames, out.data());
        else
            decode_plain(file, first_frame, frames, out.data());
        out.resize(static_cast<size_t>(done * f.channels));
    } catch (const std::bad_alloc&) {
        return {};
    }
    return out;
}

std::vector<uint8_t> encode_wav_float32(std::span<const float> interleaved, uint16_t channels,
                                        uint32_t sample_rate) {
    const uint64_t data_size = uint64_t{interleaved.size()} * 4;
    if (channels == 0 || sample_rate == 0 || interleaved.size() % channels != 0 ||
        channels > 0xFFFF / 4 || data_size > 0xFFFFFFFFull - 36 ||
        uint64_t{sample_rate} * 4 * channels > 0xFFFFFFFFull)
        return {};
    std::vector<uint8_t> image(44 + static_cast<size_t>(data_size));
    uint8_t* p = image.data();
    auto put = [&p](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) *p++ = static_cast<uint8_t>(value >> (8 * i));
    };
    auto put_id = [&p](const char* id) {
        std::memcpy(p, id, 4);
        p += 4;
    };
    put_id("RIFF");
    put(static_cast<uint32_t>(36 + data_size), 4);
    put_id("WAVE");
    put_id("fmt ");
    put(16, 4);
    put(tag_ieee_float, 2);
    put(channels, 2);
    put(sample_rate, 4);
    put(sample_rate * 4u * channels, 4);
    put(4u * channels, 2);
    put(32, 2);
    put_id("data");
    put(static_cast<uint32_t>(data_size), 4);
    for (float sample : interleaved) {
        uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        put(bits, 4);
    }
    return image;
}

} // namespace nimba
