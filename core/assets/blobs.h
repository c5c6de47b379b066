// The built-in data containers and their readers: "RW" cabinet IRs, "RI" colour pictures and
// "RM" masks. Readers check the magic and the size and never read past the blob. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace nimba {

// A blob of bytes embedded in the program (or made by a test).
struct blob {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// "RW" IR blob: magic, unsigned 16-bit byte count, then that many bytes of float samples.
struct ir_samples {
    const uint8_t* bytes = nullptr; // little-endian IEEE floats, possibly unaligned
    uint32_t count = 0;
    float sample(uint32_t i) const;
};
std::optional<ir_samples> ir_samples_from_blob(blob b);

// "RI" (4 bytes a pixel, premultiplied RGBA) or "RM" (1 byte a pixel, coverage) picture.
enum class picture_kind { colour, mask };
struct picture_view {
    picture_kind kind = picture_kind::colour;
    uint16_t width = 0;
    uint16_t height = 0;
    const uint8_t* pixels = nullptr; // rows top to bottom, pitch = width * bytes per pixel
    uint32_t pitch() const { return kind == picture_kind::colour ? width * 4u : width; }
};
std::optional<picture_view> picture_from_blob(blob b, picture_kind expected);

} // namespace nimba
