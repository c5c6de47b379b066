// Readers of the built-in data containers.
#include "core/assets/blobs.h"

#include <cstring>

namespace nimba {

namespace {

uint16_t read_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool has_magic(blob b, char a, char c) {
    return b.data && b.size >= 2 && b.data[0] == static_cast<uint8_t>(a) &&
           b.data[1] == static_cast<uint8_t>(c);
}

} // namespace

float ir_samples::sample(uint32_t i) const {
    uint32_t bits = static_cast<uint32_t>(bytes[4 * i]) |
                    (static_cast<uint32_t>(bytes[4 * i + 1]) << 8) |
                    (static_cast<uint32_t>(bytes[4 * i + 2]) << 16) |
                    (static_cast<uint32_t>(bytes[4 * i + 3]) << 24);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::optional<ir_samples> ir_samples_from_blob(blob b) {
    if (!has_magic(b, 'R', 'W') || b.size < 4) return std::nullopt;
    const uint16_t byte_count = read_u16(b.data + 2);
    if (byte_count % 4 != 0 || b.size - 4 < byte_count) return std::nullopt;
    return ir_samples{b.data + 4, byte_count / 4u};
}

std::optional<picture_view> picture_from_blob(blob b, picture_kind expected) {
    const char second = expected == picture_kind::colour ? 'I' : 'M';
    if (!has_magic(b, 'R', second) || b.size < 6) return std::nullopt;
    picture_view v;
    v.kind = expected;
    v.width = read_u16(b.data + 2);
    v.height = read_u16(b.data + 4);
    const size_t need = static_cast<size_t>(v.pitch()) * v.height;
    if (v.width == 0 || v.height == 0 || b.size - 6 < need) return std::nullopt;
    v.pixels = b.data + 6;
    return v;
}

} // namespace nimba
