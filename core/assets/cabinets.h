// The factory cabinet library: twelve cabinets with names, descriptions, the main flag and
// their built-in impulse responses. Filled once while the editor state is built; read-only after.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/assets/blobs.h"

namespace nimba {

inline constexpr int cabinet_count = 12;

struct cabinet_entry {
    std::wstring name;
    std::wstring description;
    int32_t is_main = 0;
    blob ir; // "RW" blob: 4096 float samples at 48 kHz
};

using cabinet_library = std::array<cabinet_entry, cabinet_count>;

void fill_cabinet_library(cabinet_library& cabinets);

} // namespace nimba
