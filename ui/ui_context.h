// What the user interface keeps between events: what the platform layer gives it (canvas,
// pointer, DPI, clock, repaint and cursor requests) and what only the GUI thread touches (the hit
// regions, the accent of the last pass, the audition switch, the outcome line). GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/draw/canvas.h"
#include "core/seams.h"
#include "ui/hit_regions.h"
#include "ui/outcome_line.h"
#include "ui/palette.h"
#include "ui/window.h"

namespace nimba {

struct ui_context {
    canvas* target = nullptr;         // the canvas of the current drawing pass (event 0)
    pointer_input* pointer = nullptr; // pointer position in window pixels, wheel notches
    float dpi = 96.0f;                // render target's horizontal DPI; 96 when there is none
    clock_seam* clock = nullptr;      // the outcome line's time
    repaint_request repaint;
    std::function<void()> set_arrow_cursor;
    uint32_t accent = colour_accent_blue; // recomputed at the start of every pass
    std::vector<hit_region> hit_regions;  // registered by every pass, never shrinks
    int32_t audition = 0;                 // 1: a cabinet chosen on the page is sent at once
    outcome_line outcome;                 // the latest outcome as the status bar shows it
};

} // namespace nimba
