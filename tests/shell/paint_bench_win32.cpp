// paint_bench [passes]: times drawing passes in the main window with bitmaps made once per
// render target (the editor's way) against bitmaps made and released in every draw call, for
// the whole screen and for the built-in pictures and masks alone.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/win32/d2d_canvas_win32.h"
#include "app/win32/main_window_win32.h"
#include "core/assets/pictures.h"
#include "core/state.h"
#include "ui/renderer.h"

namespace {

using namespace nimba;

// Every built-in picture squeezed into the view, and every mask in two colours.
void draw_all_pictures(canvas& c) {
    const float w = static_cast<float>(c.view_width());
    const float h = static_cast<float>(c.view_height());
    for (int p = 0; p < static_cast<int>(picture::count); ++p) {
        const blob b = picture_blob(static_cast<picture>(p));
        const auto colour = picture_from_blob(b, picture_kind::colour);
        if (colour) c.picture(0, 0, w, h, b);
        if (picture_from_blob(b, picture_kind::mask)) {
            const float x = static_cast<float>(p % 10) * 40.0f;
            const float y = static_cast<float>(p / 10) * 40.0f;
            c.mask(x, y, 32, 32, b, 0xFFFFFFFF);
            c.mask(x, y + 200, 32, 32, b, 0xFF1E46C8);
        }
    }
}

double ms_per_pass(d2d_drawing& drawing, const std::function<void(canvas&)>& draw, int passes) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; ++i) paint_pass(drawing, draw);
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / passes;
}

void compare(d2d_drawing& drawing, const char* what, const std::function<void(canvas&)>& draw,
             int passes) {
    set_bitmap_caching(drawing, true);
    for (int i = 0; i < 2; ++i) paint_pass(drawing, draw);
    const double cached = ms_per_pass(drawing, draw, passes);
    const d2d_counters before = counters(drawing);
    set_bitmap_caching(drawing, false);
    const double uncached = ms_per_pass(drawing, draw, passes);
    const d2d_counters after = counters(drawing);
    std::printf("paint %s (%d passes each): cached %.1f ms, uncached %.1f ms, ratio %.2f; "
                "uncached, each pass made %d bitmaps and %d tinted masks\n",
                what, passes, cached, uncached, uncached / cached,
                (after.bitmaps - before.bitmaps) / passes,
                (after.tinted_masks - before.tinted_masks) / passes);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    main_window window;
    if (create_main_window(window, window_title, application_id) != window_creation::created) {
        std::fprintf(stderr, "paint_bench: no window\n");
        return 1;
    }
    show_main_window();
    d2d_drawing& drawing = *main_window_globals().drawing;
    auto state = std::make_unique<editor_state>();
    build_editor_state(*state);
    ui_context ui;
    compare(
        drawing, "whole screen",
        [&](canvas& c) {
            ui.target = &c;
            render_screen(*state, ui);
        },
        passes);
    compare(drawing, "pictures and masks", draw_all_pictures, passes);
    destroy_editor_state(*state);
    return 0;
}
