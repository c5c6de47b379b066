// Drawing helpers and the immediate-mode control helpers.
#include "ui/controls.h"

#include "ui/focus.h"
#include "ui/palette.h"

namespace nimba {

void draw_box(frame& f, rect r, float radius, uint32_t colour) {
    f.target.box(r.x, r.y, r.width, r.height, radius, colour);
}

void draw_mask(frame& f, rect r, picture p, uint32_t colour) {
    f.target.mask(r.x, r.y, r.width, r.height, picture_blob(p), colour);
}

void draw_text(frame& f, edges box, uint32_t colour, text_style style, int32_t h_align,
               int32_t v_align, std::wstring_view text, text_flow flow) {
    f.target.text(box.left, box.top, box.right, box.bottom, colour, style, h_align, v_align, text,
                  flow);
}

bool control(frame& f, int32_t id, rect region) {
    const control_row* row = find_control(id);
    if (!row) return false;
    const bool focused = in_focus_ring(f.state, f.ui, id);
    if (focused) f.ui.focus_ring = bounding(f.ui.focus_ring, region);
    if (row->kind == control_kind::wheel) {
        register_region(f.ui.hit_regions, id, region, region_wheel, row->page);
        return false;
    }
    register_region(f.ui.hit_regions, id, region, region_hover, row->page);
    register_region(f.ui.hit_regions, id, region, region_click, row->page);
    return focused || hovered(f.ui.hit_regions, id);
}

void draw_focus_ring(frame& f) {
    const rect r = f.ui.focus_ring;
    if (r.width <= 0 || r.height <= 0) return;
    constexpr int32_t gap = 2, line = 1;
    const int32_t x = r.x - gap - line, y = r.y - gap - line;
    const int32_t w = r.width + 2 * (gap + line), h = r.height + 2 * (gap + line);
    draw_box(f, {x, y, w, line}, 0, colour_white);
    draw_box(f, {x, y + h - line, w, line}, 0, colour_white);
    draw_box(f, {x, y + line, line, h - 2 * line}, 0, colour_white);
    draw_box(f, {x + w - line, y + line, line, h - 2 * line}, 0, colour_white);
}

void mask_control(frame& f, int32_t id, rect region, rect drawn, picture p, uint32_t hov,
                  uint32_t rest) {
    draw_mask(f, drawn, p, hover_colour(control(f, id, region), hov, rest));
}

bool box_button(frame& f, int32_t id, rect r, float radius, uint32_t hov, uint32_t rest) {
    const bool is_hovered = control(f, id, r);
    draw_box(f, r, radius, hover_colour(is_hovered, hov, rest));
    return is_hovered;
}

} // namespace nimba
