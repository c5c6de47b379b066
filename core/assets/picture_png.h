// Pictures stored as PNG: reading one into its "RI" colour picture or "RM" mask blob, the rows
// inflated (stb_image's zlib; this module holds the library's implementation) straight into the
// blob. Any thread; calls share nothing.
#pragma once

#include <cstdint>
#include <string>

#include "core/assets/blobs.h"
#include "core/memory_pages.h"

namespace nimba {

// A colour picture is an 8-bit RGBA PNG whose bytes are the premultiplied R, G, B, A of the
// "RI" blob; a mask is an 8-bit grey PNG of the coverage. Anything else is refused.
struct png_picture {
    large_page_bytes blob_bytes; // the whole "RI"/"RM" blob; empty when refused
    std::string fault;           // why it was refused; empty when read
};

// Everything but the pixels: "" when the header reads as a picture of that kind at a size the
// blob can hold and every chunk up to the end is whole and carries its CRC.
std::string png_picture_fault(blob png, picture_kind kind);

// The whole picture, decoded.
png_picture picture_from_png(blob png, picture_kind kind);

// A picture stored as the byte-wise XOR of its pixels with those of another decoded picture, its
// base, of the same kind and size: decoded, then the base's pixels XORed in again. Refused when
// the PNG is, or when the base is missing or not of that kind and size.
png_picture picture_from_png_over(blob png, picture_kind kind, blob base);

} // namespace nimba
