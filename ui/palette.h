// Every colour the screen draws, in 0xAARRGGBB, each named once. Constants: any thread may
// read them.
#pragma once

#include <cstdint>

namespace nimba {

inline constexpr uint32_t colour_background = 0xFF030303;
inline constexpr uint32_t colour_header = 0xFF08080A;   // title rows of the panel, top bar
inline constexpr uint32_t colour_list_odd = 0xFF101012; // cabinet list rows 1, 3, ...
inline constexpr uint32_t colour_panel = 0xFF141416;    // slot panel, pills, dark text on light
inline constexpr uint32_t colour_list_even = 0xFF1C1C1E;
inline constexpr uint32_t colour_row_odd = 0xFF202022; // slot rows 1, 3, 5; resting button
inline constexpr uint32_t colour_off = 0xFF303032;     // a switch that is off or cannot move
inline constexpr uint32_t colour_dim = 0xFF505050;
inline constexpr uint32_t colour_mid = 0xFF8C8C8E;
inline constexpr uint32_t colour_light = 0xFFBEBEBE;
inline constexpr uint32_t colour_heading = 0xFFDCDCDC;
inline constexpr uint32_t colour_white = 0xFFF0F0F0;
inline constexpr uint32_t colour_hairline = 0x40000000;
inline constexpr uint32_t colour_veil = 0xA0000000; // over what cannot be used right now

// The accent follows the channel and its mode.
inline constexpr uint32_t colour_accent_blue = 0xFF1E46C8;
inline constexpr uint32_t colour_accent_violet = 0xFFA014B4;
inline constexpr uint32_t colour_accent_red = 0xFFC83228;
inline constexpr uint32_t colour_accent_green = 0xFF28A032;

} // namespace nimba
