// The canvas seam: the drawing operations the renderer uses. Direct2D implements it on Windows
// (app/win32/d2d_canvas_win32.cpp), cairo and pango on Linux (cairo_canvas_gtk.cpp); the
// recording canvas keeps every call for tests. GUI thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/assets/blobs.h"

namespace nimba {

// Horizontal choice: 0 leading, 1 centre, any other trailing.
// Vertical choice: 1 near (top), 0 centre, any other far (bottom).
enum : int32_t { align_leading = 0, align_centre = 1, align_trailing = 2 };
enum : int32_t { valign_centre = 0, valign_top = 1, valign_bottom = 2 };

// The screen's text styles: one semi-bold family in three sizes.
enum class text_style : int32_t {
    small = 0,   // 10 units: knob captions, the version line
    regular = 1, // 11 units: status bar, slot names, buttons
    large = 2,   // 13 units: program name, panel titles, cabinet names
};
inline constexpr int32_t text_style_count = 3;

enum class text_flow { one_line, wrapped };

struct canvas {
    virtual ~canvas() = default;

    // Size of the drawing area in drawing units (96 per inch), truncated.
    virtual int32_t view_width() = 0;
    virtual int32_t view_height() = 0;

    // Uniform scale of everything drawn after it; 1 is the identity.
    virtual void set_scale(float s) = 0;

    // Filled rectangle in 0xAARRGGBB. radius < 1: square corners, aliased edges;
    // otherwise a rounded rectangle with that radius on both axes, antialiased.
    virtual void box(float x, float y, float width, float height, float radius,
                     uint32_t colour) = 0;

    // An "RI" picture drawn into the destination box (opacity 1, linear interpolation);
    // anything else draws nothing.
    virtual void picture(float x, float y, float width, float height, blob picture) = 0;
    virtual void picture_part(float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                              float dh, blob picture) = 0;

    // An "RM" mask painted in a solid colour with aliased edges; anything else draws nothing.
    virtual void mask(float x, float y, float width, float height, blob mask, uint32_t colour) = 0;

    // Text laid out in the box (left, top)-(right, bottom) in one of the three text styles.
    // one_line: no wrapping, trimmed at a character with the style's ellipsis sign; wrapped:
    // word-wrapped, trimming as the style last had it. A value outside text_style draws nothing.
    virtual void text(float left, float top, float right, float bottom, uint32_t colour,
                      text_style style, int32_t h_align, int32_t v_align, std::wstring_view text,
                      text_flow flow) = 0;
};

} // namespace nimba
