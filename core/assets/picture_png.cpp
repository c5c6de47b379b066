// The PNG reader behind the pictures. The header is read with Debian's stb_image (libstb-dev),
// built here for PNG only and from memory only, and so is the image data's zlib stream; the rows
// are inflated straight into the blob and unfiltered there, so a picture costs its own bytes and
// no second copy while it is decoded. Every edition (Windows, Linux, the browser) runs this code.
#include "core/assets/picture_png.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 65535 // the blob's 16-bit width and height
#include <stb_image.h>

namespace nimba {

namespace {

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

// The chunks up to IEND, each whole and carrying its CRC (stb_image checks neither the CRCs nor
// the stream's checksum, so damaged bytes could otherwise decode into wrong pixels), and where
// the image data lies.
struct png_chunks {
    std::vector<blob> image_data; // each IDAT chunk's data, in order
    std::string fault;            // empty when every chunk up to IEND is sound
};

png_chunks read_chunks(blob png) {
    png_chunks out;
    size_t at = 8; // after the signature, which the header check has read
    while (png.size - at >= 12) {
        const uint32_t length = read_u32_be(png.data + at);
        if (length > png.size - at - 12) {
            out.fault = "a chunk runs past the end";
            return out;
        }
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = at + 4; i < at + 8 + length; ++i)
            crc = crc_table[(crc ^ png.data[i]) & 0xFF] ^ (crc >> 8);
        if ((crc ^ 0xFFFFFFFFu) != read_u32_be(png.data + at + 8 + length)) {
            out.fault = "damaged: a chunk fails its CRC";
            return out;
        }
        if (std::memcmp(png.data + at + 4, "IDAT", 4) == 0)
            out.image_data.push_back({png.data + at + 8, length});
        if (std::memcmp(png.data + at + 4, "IEND", 4) == 0) return out;
        at += 12 + length;
    }
    out.fault = "cut short: no IEND chunk";
    return out;
}

// The header fields stb_image leaves unsaid; its IHDR is the first chunk, which the header check
// has read whole.
constexpr size_t ihdr_colour_type = 25;
constexpr size_t ihdr_interlace = 28;
constexpr uint8_t png_grey = 0;
constexpr uint8_t png_rgba = 6;

uint8_t paeth(uint8_t a, uint8_t b, uint8_t c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes the row filters in place: the inflated rows, each a filter byte then `pitch` bytes, lie
// from `bytes` on and become the plain rows, `pitch` apart, from the same address. A plain row
// never reaches the filtered bytes still to be read, and the row above is already plain (above
// the first row, zeros).
bool unfilter(uint8_t* bytes, size_t pitch, size_t rows, size_t step) {
    const std::vector<uint8_t> zeros(pitch);
    for (size_t y = 0; y < rows; ++y) {
        const uint8_t* in = bytes + y * (pitch + 1);
        const uint8_t filter = *in++;
        uint8_t* row = bytes + y * pitch;
        const uint8_t* up = y > 0 ? row - pitch : zeros.data();
        const size_t lead = std::min(step, pitch); // the bytes with no pixel to their left
        switch (filter) {
        case 0:
            std::memmove(row, in, pitch);
            break;
        case 1:
            std::memmove(row, in, lead);
            for (size_t i = lead; i < pitch; ++i)
                row[i] = static_cast<uint8_t>(in[i] + row[i - step]);
            break;
        case 2:
            for (size_t i = 0; i < pitch; ++i) row[i] = static_cast<uint8_t>(in[i] + up[i]);
            break;
        case 3:
            for (size_t i = 0; i < lead; ++i) row[i] = static_cast<uint8_t>(in[i] + (up[i] >> 1));
            for (size_t i = lead; i < pitch; ++i)
                row[i] = static_cast<uint8_t>(in[i] + ((row[i - step] + up[i]) >> 1));
            break;
        case 4:
            for (size_t i = 0; i < lead; ++i) row[i] = static_cast<uint8_t>(in[i] + up[i]);
            for (size_t i = lead; i < pitch; ++i) {
                row[i] = static_cast<uint8_t>(in[i] + paeth(row[i - step], up[i], up[i - step]));
            }
            break;
        default:
            return false;
        }
    }
    return true;
}

int channels_of(picture_kind kind) {
    return kind == picture_kind::colour ? 4 : 1;
}

// Everything png_picture_fault checks but the chunks.
std::string header_fault(blob png, picture_kind kind) {
    if (!png.data || png.size == 0) return "no PNG data";
    if (png.size > static_cast<size_t>(std::numeric_limits<int>::max())) return "too large";
    const int length = static_cast<int>(png.size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(png.data, length, &width, &height, &channels))
        return std::string("not a PNG picture: ") + stb_reason();
    if (stbi_is_16_bit_from_memory(png.data, length)) return "16 bits a channel, not 8";
    const uint8_t colour_type = png.data[ihdr_colour_type];
    if (kind == picture_kind::colour && (channels != 4 || colour_type != png_rgba))
        return "a colour picture must be RGBA";
    if (kind == picture_kind::mask && (channels != 1 || colour_type != png_grey))
        return "a mask must be grey without alpha";
    if (png.data[ihdr_interlace] != 0) return "interlaced, which no picture is";
    return {};
}

// Inflates the stream into the blob's pixels and unfilters them there; "" when every row came.
std::string decode_rows(blob stream, uint8_t* pixels, size_t pitch, size_t rows, size_t step) {
    const size_t inflated = (pitch + 1) * rows;
    const int made = stbi_zlib_decode_buffer(
        reinterpret_cast<char*>(pixels), static_cast<int>(inflated),
        reinterpret_cast<const char*>(stream.data), static_cast<int>(stream.size));
    if (made < 0) return "cannot be decoded: " + stb_reason();
    if (static_cast<size_t>(made) != inflated) return "cut short: rows are missing";
    if (!unfilter(pixels, pitch, rows, step)) return "a row has an unknown filter";
    return {};
}

} // namespace

std::string png_picture_fault(blob png, picture_kind kind) {
    if (std::string fault = header_fault(png, kind); !fault.empty()) return fault;
    return read_chunks(png).fault;
}

png_picture picture_from_png(blob png, picture_kind kind) {
    png_picture out;
    out.fault = header_fault(png, kind);
    const png_chunks chunks = out.fault.empty() ? read_chunks(png) : png_chunks{};
    if (out.fault.empty()) out.fault = chunks.fault;
    if (!out.fault.empty()) return out;
    const uint32_t width = read_u32_be(png.data + 16);
    const uint32_t height = read_u32_be(png.data + 20);
    const size_t step = static_cast<size_t>(channels_of(kind));
    const size_t pitch = width * step;
    if ((pitch + 1) * height > static_cast<size_t>(std::numeric_limits<int>::max())) {
        out.fault = "too large";
        return out;
    }
    // The image data as one stream: in place when it is one chunk, as the pictures are.
    std::vector<uint8_t> joined;
    blob stream = chunks.image_data.empty() ? blob{} : chunks.image_data.front();
    if (chunks.image_data.size() > 1) {
        for (const blob& part : chunks.image_data)
            joined.insert(joined.end(), part.data, part.data + part.size);
        stream = {joined.data(), joined.size()};
    }
    try {
        out.blob_bytes.resize(6 + (pitch + 1) * height);
    } catch (const std::bad_alloc&) {
        out.fault = "too large to hold in memory";
        return out;
    }
    uint8_t* b = out.blob_bytes.data();
    out.fault = decode_rows(stream, b + 6, pitch, height, step);
    if (!out.fault.empty()) {
        out.blob_bytes = large_page_bytes();
        return out;
    }
    out.blob_bytes.resize(6 + pitch * height);
    b[0] = 'R';
    b[1] = kind == picture_kind::colour ? 'I' : 'M';
    b[2] = static_cast<uint8_t>(width & 0xFF);
    b[3] = static_cast<uint8_t>(width >> 8);
    b[4] = static_cast<uint8_t>(height & 0xFF);
    b[5] = static_cast<uint8_t>(height >> 8);
    return out;
}

png_picture picture_from_png_over(blob png, picture_kind kind, blob base) {
    png_picture out;
    if (!picture_from_blob(base, kind)) {
        out.fault = "the picture it is stored against is missing";
        return out;
    }
    out = picture_from_png(png, kind);
    if (!out.fault.empty()) return out;
    if (out.blob_bytes.size() != base.size ||
        !std::equal(out.blob_bytes.begin(), out.blob_bytes.begin() + 6, base.data)) {
        out = {{}, "not the size of the picture it is stored against"};
        return out;
    }
    for (size_t i = 6; i < base.size; ++i) out.blob_bytes[i] ^= base.data[i];
    return out;
}

} // namespace nimba
