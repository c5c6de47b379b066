// The canvas seam: the drawing operations the renderer uses. Direct2D implements it on Windows
// (d2d_canvas_win32.cpp), cairo and pango on Linux (cairo_canvas_gtk.cpp); the recording canvas
// keeps every call for tests. GUI thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/assets/blobs.h"

namespace nimba {

// Horizontal choice: 0 leading, 1 centre, any other trailing.
// Vertical choice: 1 near (top), 0 centre, any other far (bottom).
enum : int32_t { align_leading = 0, align_centre = 1, align_trailing = 2 };
enum : int32_t { valign_centre = 0, valign_top = 1, valign_bottom = 2 };

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

    // Text in format 0 (10 units), 1 (11) or 2 (13). The layout box runs from (x, y - 1) to
    // (x + width, y + height). single_line: no wrapping, trimmed at a character with the
    // format's ellipsis sign; otherwise word-wrapped, trimming as the format last had it.
    virtual void text(float x, float y, float width, float height, uint32_t colour, int32_t format,
                      int32_t h_align, int32_t v_align, std::wstring_view text,
                      bool single_line) = 0;

    // Text drawn straight into the box (left, top)-(right, bottom). wrap false: no wrapping,
    // character trimming with the ellipsis sign (settings that stay on the shared format).
    // wrap true: word-wrapped, with the trimming the format last had.
    virtual void text_box(float left, float top, float right, float bottom, uint32_t colour,
                          int32_t format, int32_t h_align, int32_t v_align, std::wstring_view text,
                          bool wrap) = 0;
};

} // namespace nimba
