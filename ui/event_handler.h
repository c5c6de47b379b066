// The editor's event callback: paint runs the renderer; pointer move, left button down and the
// wheel act on the hit regions; the timer asks for a paint when the outcome line has expired.
// It edits the editor state and posts `command`; it never talks to the amplifier. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/draw/canvas.h"
#include "core/seams.h"
#include "core/state.h"
#include "ui/outcome_line.h"
#include "ui/window.h"

namespace nimba {

// What the platform layer gives the user interface.
struct ui_context {
    canvas* target = nullptr;         // the canvas of the current drawing pass (event 0)
    pointer_input* pointer = nullptr; // pointer position in window pixels, wheel notches
    float dpi = 96.0f;                // render target's horizontal DPI; 96 when there is none
    clock_seam* clock = nullptr;      // the 20 ms pauses, the outcome line's time
    repaint_request repaint;
    std::function<void()> set_arrow_cursor;
    uint32_t accent = 0xFF1E46C8; // recomputed at the start of every pass
    outcome_line outcome;         // the latest outcome as the status bar shows it
};

void handle_event(editor_state& state, ui_context& ui, int32_t event);

} // namespace nimba
