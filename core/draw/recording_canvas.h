// A canvas that keeps every drawing call with its geometry, colour, text and the scale in
// force, so tests can ask what a frame drew and where. Also a counting canvas that keeps
// nothing, for timing the renderer alone. GUI thread (or a test's thread) only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/draw/canvas.h"

namespace nimba {

enum class draw_kind { scale, box, picture, picture_part, mask, text };

// One recorded call. Boxes, pictures and masks keep (x, y, width, height); text keeps its
// (left, top, right, bottom) in x, y, right, bottom and the derived width/height.
struct draw_call {
    draw_kind kind = draw_kind::box;
    float x = 0, y = 0, width = 0, height = 0;
    float right = 0, bottom = 0;
    float sx = 0, sy = 0, sw = 0, sh = 0; // source box of picture_part
    float radius = 0;
    float scale = 1; // the scale in force when the call was made (the new scale for `scale`)
    uint32_t colour = 0;
    text_style style = text_style::small;
    int32_t h_align = 0, v_align = 0;
    text_flow flow = text_flow::one_line;
    std::wstring text;
    blob picture;
};

struct recording_canvas final : canvas {
    int32_t width = 1024;
    int32_t height = 720;
    float current_scale = 1;
    std::vector<draw_call> calls;

    recording_canvas() = default;
    recording_canvas(int32_t w, int32_t h) : width(w), height(h) {}

    // Forgets every call and returns to the identity scale; keeps the view size.
    void reset();

    int32_t view_width() override { return width; }
    int32_t view_height() override { return height; }
    void set_scale(float s) override;
    void box(float x, float y, float w, float h, float radius, uint32_t colour) override;
    void picture(float x, float y, float w, float h, blob picture) override;
    void picture_part(float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                      float dh, blob picture) override;
    void mask(float x, float y, float w, float h, blob mask, uint32_t colour) override;
    void text(float left, float top, float right, float bottom, uint32_t colour, text_style style,
              int32_t h_align, int32_t v_align, std::wstring_view text, text_flow flow) override;
};

// Counts calls and keeps nothing else.
struct counting_canvas final : canvas {
    int32_t width = 1024;
    int32_t height = 720;
    int64_t count = 0;

    int32_t view_width() override { return width; }
    int32_t view_height() override { return height; }
    void set_scale(float) override { ++count; }
    void box(float, float, float, float, float, uint32_t) override { ++count; }
    void picture(float, float, float, float, blob) override { ++count; }
    void picture_part(float, float, float, float, float, float, float, float, blob) override {
        ++count;
    }
    void mask(float, float, float, float, blob, uint32_t) override { ++count; }
    void text(float, float, float, float, uint32_t, text_style, int32_t, int32_t, std::wstring_view,
              text_flow) override {
        ++count;
    }
};

// Queries over a recording. Pointers stay valid until the canvas records or resets.
const draw_call* find_text(const recording_canvas& c, std::wstring_view text);
std::vector<const draw_call*> find_texts_containing(const recording_canvas& c,
                                                    std::wstring_view part);
std::vector<const draw_call*> find_calls(const recording_canvas& c, draw_kind kind);
std::vector<const draw_call*> find_boxes(const recording_canvas& c, uint32_t colour);
// The first call of the kind whose (x, y, width, height) match exactly.
const draw_call* find_at(const recording_canvas& c, draw_kind kind, float x, float y, float w,
                         float h);
// Index of a call in the recording, for drawing-order checks; -1 when it is not there.
ptrdiff_t call_index(const recording_canvas& c, const draw_call* call);

} // namespace nimba
