// A 64-bit digest of a picture's raw bytes (FNV-1a): the art tool lists one for each picture
// it rasterises, and the tests hold the decoded pictures against that list. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimba {

constexpr uint64_t pixel_digest(const uint8_t* bytes, size_t size) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    return h;
}

} // namespace nimba
