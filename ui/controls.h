// The frame being drawn and the immediate-mode helpers every control goes through: id,
// rectangle, register (hover and click), then draw in the colour its hover flag selects.
// GUI thread only, inside a drawing pass.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/assets/pictures.h"
#include "core/draw/canvas.h"
#include "core/state.h"
#include "ui/control_table.h"
#include "ui/hit_regions.h"
#include "ui/ui_context.h"

namespace nimba {

// What every drawing step of one pass reads: the state, the canvas, the user interface's own
// context (hit regions, audition), the view size W x H in drawing units and the accent colour
// worked out at the start of the pass.
struct frame {
    editor_state& state;
    canvas& target;
    ui_context& ui;
    int32_t width;
    int32_t height;
    uint32_t accent;
};

inline uint32_t hover_colour(bool is_hovered, uint32_t hov, uint32_t rest) {
    return is_hovered ? hov : rest;
}

void draw_box(frame& f, rect r, float radius, uint32_t colour);
void draw_mask(frame& f, rect r, picture p, uint32_t colour);
// The layout box of a text: (left, top)-(right, bottom).
struct edges {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Text laid out in `box`: one line with the ellipsis sign unless the flow is wrapped.
void draw_text(frame& f, edges box, uint32_t colour, text_style style, int32_t h_align,
               int32_t v_align, std::wstring_view text, text_flow flow = text_flow::one_line);

// Registers the regions of control `id` at r, for its row's kind and page, takes r into the
// focus ring when the control has the keyboard's focus, and returns whether it is drawn in its
// hover look: hovered or focused (a wheel control has none: false).
bool control(frame& f, int32_t id, rect region);

// An outline around the focus ring's controls, over everything drawn before it; nothing when
// no control took the ring in this pass.
void draw_focus_ring(frame& f);

// A control drawn as a mask in `drawn` and hit in `region`.
void mask_control(frame& f, int32_t id, rect region, rect drawn, picture p, uint32_t hov,
                  uint32_t rest);
inline void mask_button(frame& f, int32_t id, rect r, picture p, uint32_t hov, uint32_t rest) {
    mask_control(f, id, r, r, p, hov, rest);
}

// A control drawn as a (rounded) box over its whole region; returns the hover flag.
bool box_button(frame& f, int32_t id, rect r, float radius, uint32_t hov, uint32_t rest);

} // namespace nimba
