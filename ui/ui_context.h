// What the user interface keeps between events: what the platform layer gives it (canvas,
// pointer, keys, DPI, clock, repaint and cursor requests) and what only the GUI thread touches
// (the hit regions, the accent of the last pass, the audition switch, the outcome line, the
// keyboard's focus, the status texts of the last pass and the restore question's text as shown).
// GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/draw/canvas.h"
#include "core/seams.h"
#include "ui/hit_regions.h"
#include "ui/outcome_line.h"
#include "ui/palette.h"
#include "ui/text_buffer.h"
#include "ui/window.h"

namespace nimba {

struct ui_context {
    canvas* target = nullptr;         // the canvas of the current drawing pass (event 0)
    pointer_input* pointer = nullptr; // pointer position in window pixels, wheel notches
    key_input* keys = nullptr;        // the key of event_key
    float dpi = 96.0f;                // render target's horizontal DPI; 96 when there is none
    clock_seam* clock = nullptr;      // the outcome line's time
    repaint_request repaint;
    std::function<void()> set_arrow_cursor;
    uint32_t accent = colour_accent_blue; // recomputed at the start of every pass
    std::vector<hit_region> hit_regions;  // registered by every pass, never shrinks
    int32_t audition = 0;                 // 1: a cabinet chosen on the page is sent at once
    outcome_line outcome;                 // the latest outcome as the status bar shows it
    int32_t focus = -1;                   // the focused control (its first id); -1: none yet
    bool focus_shown = false;             // a key was used since the last click: ring drawn
    rect focus_ring;                      // around the focused control in the last pass
    text_buffer status;                   // the status bar's texts in the last pass
    uint32_t question_serial = 0;         // the restore question shown, and its text
    std::wstring question;
};

} // namespace nimba
