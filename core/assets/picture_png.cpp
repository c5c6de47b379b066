// The PNG reader behind the pictures: Debian's stb_image (libstb-dev), built here for PNG only
// and from memory only, so every edition (Windows, Linux, the browser) decodes with the same code.
#include "core/assets/picture_png.h"

#include <array>
#include <cstring>
#include <limits>
#include <memory>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 65535 // the blob's 16-bit width and height
#include <stb_image.h>

namespace nimba {

namespace {

struct stbi_release {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

std::string stb_reason() {
    const char* reason = stbi_failure_reason();
    return reason ? reason : "unknown";
}

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320, reflected, inverted).
constexpr std::array<uint32_t, 256> crc_table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}();

uint32_t read_u32_be(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// stb_image checks neither the chunks' CRCs nor the stream's checksum, so damaged bytes could
// decode into wrong pixels: every chunk up to IEND must be whole and carry its CRC.
std::string chunk_fault(blob png) {
    size_t at = 8; // after the signature, which the header check has read
    while (png.size - at >= 12) {
        const uint32_t length = read_u32_be(png.data + at);
        if (length > png.size - at - 12) return "a chunk runs past the end";
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = at + 4; i < at + 8 + length; ++i)
            crc = crc_table[(crc ^ png.data[i]) & 0xFF] ^ (crc >> 8);
        if ((crc ^ 0xFFFFFFFFu) != read_u32_be(png.data + at + 8 + length))
            return "damaged: a chunk fails its CRC";
        if (std::memcmp(png.data + at + 4, "IEND", 4) == 0) return {};
        at += 12 + length;
    }
    return "cut short: no IEND chunk";
}

int channels_of(picture_kind kind) {
    return kind == picture_kind::colour ? 4 : 1;
}

} // namespace

std::string png_picture_fault(blob png, picture_kind kind) {
    if (!png.data || png.size == 0) return "no PNG data";
    if (png.size > static_cast<size_t>(std::numeric_limits<int>::max())) return "too large";
    const int length = static_cast<int>(png.size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(png.data, length, &width, &height, &channels))
        return std::string("not a PNG picture: ") + stb_reason();
    if (stbi_is_16_bit_from_memory(png.data, length)) return "16 bits a channel, not 8";
    if (channels != channels_of(kind)) {
        return kind == picture_kind::colour ? "a colour picture must be RGBA"
                                            : "a mask must be grey without alpha";
    }
    return chunk_fault(png);
}

png_picture picture_from_png(blob png, picture_kind kind) {
    png_picture out;
    out.fault = png_picture_fault(png, kind);
    if (!out.fault.empty()) return out;
    int width = 0, height = 0, channels = 0;
    const int wanted = channels_of(kind);
    const std::unique_ptr<stbi_uc, stbi_release> pixels(stbi_load_from_memory(
        png.data, static_cast<int>(png.size), &width, &height, &channels, wanted));
    if (!pixels) {
        out.fault = std::string("cannot be decoded: ") + stb_reason();
        return out;
    }
    const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * wanted;
    out.blob_bytes.resize(6 + size);
    uint8_t* b = out.blob_bytes.data();
    b[0] = 'R';
    b[1] = kind == picture_kind::colour ? 'I' : 'M';
    b[2] = static_cast<uint8_t>(width & 0xFF);
    b[3] = static_cast<uint8_t>(width >> 8);
    b[4] = static_cast<uint8_t>(height & 0xFF);
    b[5] = static_cast<uint8_t>(height >> 8);
    std::memcpy(b + 6, pixels.get(), size);
    return out;
}

} // namespace nimba
