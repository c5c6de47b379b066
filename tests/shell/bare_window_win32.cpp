// bare_window: the editor's window drawing boxes and one line of text, no pictures, until it is
// closed. scripts/bench-pictures.sh runs it under Wine beside the demo: its peak memory is what
// Wine costs before the editor draws anything (Direct2D over OpenGL, the fonts).
#include "app/win32/d2d_canvas_win32.h"
#include "app/win32/main_window_win32.h"
#include "core/draw/canvas.h"
#include "ui/window.h"

int main() {
    using namespace nimba;
    main_window window;
    window.on_event = [](int32_t event) {
        if (event != event_paint) return;
        canvas& c = drawing_canvas(*main_window_globals().drawing);
        c.box(0, 0, 1024, 720, 0, 0xFF202020);
        // Bands of 64 greys across the middle, for the bench's check that a frame was painted.
        for (uint32_t i = 0; i < 64; ++i)
            c.box(320.0f + 6.0f * i, 250, 6, 220, 0, 0xFF000000u | (i * 4u) * 0x010101u);
        c.text(20, 20, 400, 60, 0xFFFFFFFF, text_style::large, align_leading, valign_top,
               L"Corvane Editor", text_flow::one_line);
    };
    if (create_main_window(window, "Bare window", application_id) != window_creation::created)
        return 1;
    show_main_window();
    run_message_loop(window);
    return 0;
}
