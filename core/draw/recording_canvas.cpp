// The recording canvas and its queries.
#include "core/draw/recording_canvas.h"

namespace nimba {

namespace {

// A new call of `kind` at the scale in force.
draw_call& add_call(recording_canvas& r, draw_kind kind) {
    draw_call& c = r.calls.emplace_back();
    c.kind = kind;
    c.scale = r.current_scale;
    return c;
}

// A new call of `kind` placed at (x, y, w, h).
draw_call& add_placed_call(recording_canvas& r, draw_kind kind, float x, float y, float w,
                           float h) {
    draw_call& c = add_call(r, kind);
    c.x = x, c.y = y, c.width = w, c.height = h;
    c.right = x + w, c.bottom = y + h;
    return c;
}

} // namespace

void recording_canvas::reset() {
    calls.clear();
    current_scale = 1;
}

void recording_canvas::set_scale(float s) {
    current_scale = s;
    add_call(*this, draw_kind::scale);
}

void recording_canvas::box(float x, float y, float w, float h, float radius, uint32_t colour) {
    draw_call& c = add_placed_call(*this, draw_kind::box, x, y, w, h);
    c.radius = radius;
    c.colour = colour;
}

void recording_canvas::picture(float x, float y, float w, float h, blob picture) {
    add_placed_call(*this, draw_kind::picture, x, y, w, h).picture = picture;
}

void recording_canvas::picture_part(float sx, float sy, float sw, float sh, float dx, float dy,
                                    float dw, float dh, blob picture) {
    draw_call& c = add_placed_call(*this, draw_kind::picture_part, dx, dy, dw, dh);
    c.sx = sx, c.sy = sy, c.sw = sw, c.sh = sh;
    c.picture = picture;
}

void recording_canvas::mask(float x, float y, float w, float h, blob mask, uint32_t colour) {
    draw_call& c = add_placed_call(*this, draw_kind::mask, x, y, w, h);
    c.picture = mask;
    c.colour = colour;
}

void recording_canvas::text(float left, float top, float right, float bottom, uint32_t colour,
                            text_style style, int32_t h_align, int32_t v_align,
                            std::wstring_view text, text_flow flow) {
    draw_call& c = add_placed_call(*this, draw_kind::text, left, top, right - left, bottom - top);
    c.colour = colour;
    c.style = style, c.h_align = h_align, c.v_align = v_align;
    c.text.assign(text);
    c.flow = flow;
}

const draw_call* find_text(const recording_canvas& c, std::wstring_view text) {
    for (const draw_call& call : c.calls)
        if (call.kind == draw_kind::text && call.text == text) return &call;
    return nullptr;
}

std::vector<const draw_call*> find_texts_containing(const recording_canvas& c,
                                                    std::wstring_view part) {
    std::vector<const draw_call*> found;
    for (const draw_call& call : c.calls)
        if (call.kind == draw_kind::text && call.text.find(part) != std::wstring::npos)
            found.push_back(&call);
    return found;
}

std::vector<const draw_call*> find_calls(const recording_canvas& c, draw_kind kind) {
    std::vector<const draw_call*> found;
    for (const draw_call& call : c.calls)
        if (call.kind == kind) found.push_back(&call);
    return found;
}

std::vector<const draw_call*> find_boxes(const recording_canvas& c, uint32_t colour) {
    std::vector<const draw_call*> found;
    for (const draw_call& call : c.calls)
        if (call.kind == draw_kind::box && call.colour == colour) found.push_back(&call);
    return found;
}

const draw_call* find_at(const recording_canvas& c, draw_kind kind, float x, float y, float w,
                         float h) {
    for (const draw_call& call : c.calls)
        if (call.kind == kind && call.x == x && call.y == y && call.width == w && call.height == h)
            return &call;
    return nullptr;
}

ptrdiff_t call_index(const recording_canvas& c, const draw_call* call) {
    if (!call || c.calls.empty() || call < c.calls.data() ||
        call >= c.calls.data() + c.calls.size())
        return -1;
    return call - c.calls.data();
}

} // namespace nimba
