// A scene that uses every canvas operation with small pictures made here, and the places where
// each operation must show. Drawn on the Direct2D canvas in a window and on the cairo canvas
// in an image surface to prove that they render. GUI thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/draw/canvas.h"

namespace nimba {

struct scene_pictures {
    std::vector<uint8_t> quadrants; // "RI" 8 x 8: red, green / blue, white quadrants
    std::vector<uint8_t> disc;      // "RM" 16 x 16: a full-coverage disc on nothing
};
scene_pictures make_scene_pictures();

void draw_canvas_scene(canvas& c, const scene_pictures& pictures);

// A point of the scene and the colour it must have (0xRRGGBB).
struct scene_probe {
    const char* what;
    int32_t x, y;
    uint32_t rgb;
};
extern const std::vector<scene_probe> scene_probes;

// The boxes of the two texts: the single-line text trimmed with an ellipsis, and the same
// text wrapped over several lines.
struct scene_box {
    int32_t left, top, right, bottom;
};
inline constexpr scene_box trimmed_text_box = {20, 120, 180, 140};
inline constexpr scene_box wrapped_text_box = {220, 120, 380, 220};
inline constexpr std::wstring_view scene_text =
    L"Cabinet impulse responses go into the six user slots of the amplifier";
inline constexpr uint32_t scene_background = 0x202020;
inline constexpr uint32_t scene_ink = 0xFFFFFF;

// A drawn frame read back as 0xRRGGBB pixels, `scale` of them to a drawing unit each way.
struct scene_pixels {
    int32_t width = 0, height = 0; // in pixels
    int32_t scale = 1;
    std::vector<uint32_t> rgb;
    uint32_t pixel(int32_t x, int32_t y) const { return rgb[static_cast<size_t>(y) * width + x]; }
    // The pixel at the top left of the drawing unit (x, y).
    uint32_t at(int32_t x, int32_t y) const { return pixel(x * scale, y * scale); }
};

// Every channel within `tolerance` of the other colour's.
bool near_colour(uint32_t a, uint32_t b, int tolerance = 12);

// Rows and columns, in pixels, of a box (in drawing units) that hold text ink: bright pixels
// on the dark background.
struct ink_extent {
    int32_t top = -1, bottom = -1, left = -1, right = -1;
    bool any() const { return top >= 0; }
};
ink_extent ink_in(const scene_pixels& p, scene_box box);

// Checks every probe of the scene.
void expect_scene_probes(const scene_pixels& p);

// Checks the scene's two texts: one line inside its box ending in an ellipsis, and the same
// text wrapped over three lines or more.
void expect_scene_texts(const scene_pixels& p);

} // namespace nimba
