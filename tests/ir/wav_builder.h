// Test helpers: WAV files assembled byte by byte, and sox when present.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/core/temp_files.h"

namespace nimba::test {

inline void put_le(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void put_id(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

struct fmt_fields {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 48000;
    uint16_t bits = 16;
    uint16_t block_align = 0; // 0: channels * bytes per sample
};

inline std::vector<uint8_t> fmt_body(const fmt_fields& f) {
    std::vector<uint8_t> body;
    const uint16_t align =
        f.block_align ? f.block_align : static_cast<uint16_t>(f.channels * ((f.bits + 7) / 8));
    put_le(body, f.tag, 2);
    put_le(body, f.channels, 2);
    put_le(body, f.rate, 4);
    put_le(body, uint64_t{f.rate} * align, 4);
    put_le(body, align, 2);
    put_le(body, f.bits, 2);
    return body;
}

inline void put_chunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body,
                      int64_t declared = -1) {
    put_id(out, id);
    put_le(out, declared < 0 ? body.size() : static_cast<uint64_t>(declared), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0);
}

// RIFF/WAVE with a format chunk and a data chunk (data size field overridable).
inline std::vector<uint8_t> riff_wav(const std::vector<uint8_t>& fmt,
                                     const std::vector<uint8_t>& data, int64_t declared = -1) {
    std::vector<uint8_t> out;
    put_id(out, "RIFF");
    put_le(out, 0, 4);
    put_id(out, "WAVE");
    put_chunk(out, "fmt ", fmt);
    put_chunk(out, "data", data, declared);
    const uint32_t riff_size = static_cast<uint32_t>(out.size() - 8);
    std::memcpy(out.data() + 4, &riff_size, 4); // tests run on little-endian machines
    return out;
}

inline std::vector<uint8_t> float_bytes(const std::vector<float>& samples) {
    std::vector<uint8_t> out(samples.size() * 4);
    if (!samples.empty()) std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

inline std::vector<uint8_t> pcm16_bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    for (int16_t s : samples) put_le(out, static_cast<uint16_t>(s), 2);
    return out;
}

// A float WAV of interleaved samples at `rate`.
inline std::vector<uint8_t> float_wav(const std::vector<float>& samples, uint32_t rate,
                                      uint16_t channels = 1) {
    return riff_wav(fmt_body({3, channels, rate, 32}), float_bytes(samples));
}

// sox is the independent decoder the codec is held against; it runs natively only.
inline bool sox_available() {
#ifdef _WIN32
    return false;
#else
    return std::system("sox --version >/dev/null 2>&1") == 0;
#endif
}

inline bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

} // namespace nimba::test
