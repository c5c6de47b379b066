// paint_bench: times full drawing passes in the main window with bitmaps made once per render
// target (the editor's way) against bitmaps made and released in every draw call. Draws the
// real screen when the program carries its pictures, otherwise a stand-in of the same shape:
// three 1400 x 1200 pictures, eight parts of one, nineteen masks, boxes and texts.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/assets/pictures.h"
#include "app/draw/d2d_canvas_win32.h"
#include "app/main_window_win32.h"
#include "app/state.h"
#include "ui/renderer.h"

namespace {

using namespace nimba;

std::vector<uint8_t> solid_picture(char kind, uint16_t width, uint16_t height, uint8_t seed) {
    const size_t bytes_per_pixel = kind == 'I' ? 4 : 1;
    std::vector<uint8_t> p = {'R',
                              static_cast<uint8_t>(kind),
                              static_cast<uint8_t>(width & 0xFF),
                              static_cast<uint8_t>(width >> 8),
                              static_cast<uint8_t>(height & 0xFF),
                              static_cast<uint8_t>(height >> 8)};
    p.resize(6 + bytes_per_pixel * width * height);
    for (size_t i = 6; i < p.size(); ++i) p[i] = static_cast<uint8_t>((i * 31 + seed) | 0x80);
    if (kind == 'I') {
        for (size_t i = 6 + 3; i < p.size(); i += 4) p[i] = 0xFF;
    }
    return p;
}

struct stand_in_screen {
    std::vector<std::vector<uint8_t>> pictures; // amplifier, tolex, channel
    std::vector<std::vector<uint8_t>> masks;
};

stand_in_screen make_stand_in() {
    stand_in_screen s;
    for (uint8_t i = 0; i < 3; ++i) s.pictures.push_back(solid_picture('I', 1400, 1200, i));
    s.masks.push_back(solid_picture('M', 129, 20, 9));
    for (uint8_t i = 0; i < 18; ++i) s.masks.push_back(solid_picture('M', 23, 23, i));
    return s;
}

blob blob_of(const std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}

void draw_stand_in(canvas& c, const stand_in_screen& s) {
    c.box(0, 0, static_cast<float>(c.view_width()), static_cast<float>(c.view_height()), 0,
          0xFF030304);
    c.set_scale(0.55f);
    c.picture(0, 0, 1400, 1200, blob_of(s.pictures[0]));
    c.picture(0, 0, 1400, 1200, blob_of(s.pictures[1]));
    for (int i = 0; i < 8; ++i) {
        const float x = 300.0f + 90.0f * i;
        c.picture_part(x, 340, 24, 24, x, 340, 24, 24, blob_of(s.pictures[2]));
    }
    c.set_scale(1);
    for (size_t i = 0; i < s.masks.size(); ++i) {
        const float x = 10.0f + 40.0f * static_cast<float>(i);
        c.mask(x, 10, 23, 23, blob_of(s.masks[i]), i % 2 ? 0xFFFFFFFF : 0xFF9A9AA0);
        c.mask(x, 600, 23, 23, blob_of(s.masks[i]), 0xFF1E46C8);
    }
    for (int i = 0; i < 60; ++i) {
        c.box(260.0f + (i % 10) * 70.0f, 100.0f + (i / 10) * 40.0f, 60, 30, i % 2 ? 10.0f : 0.0f,
              0xFF202226);
    }
    for (int i = 0; i < 40; ++i) {
        c.text(20, 60.0f + i * 13.0f, 200, 12, 0xFFB0B0B8, i % 3, align_leading, valign_centre,
               L"NO IR SELECTED", true);
    }
}

double ms_per_pass(d2d_drawing& drawing, const std::function<void(canvas&)>& draw, int passes) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; ++i) paint_pass(drawing, draw);
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / passes;
}

} // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 40;
    main_window window;
    if (create_main_window(window, window_title, application_id) != window_creation::created) {
        std::fprintf(stderr, "paint_bench: no window\n");
        return 1;
    }
    show_main_window();
    d2d_drawing& drawing = *main_window_globals().drawing;

    const bool embedded = picture_blob(picture::amplifier).size > 0;
    auto state = std::make_unique<editor_state>();
    build_editor_state(*state, &window, nullptr);
    const stand_in_screen stand_in = make_stand_in();
    uint32_t accent = 0;
    std::function<void(canvas&)> draw;
    if (embedded) {
        draw = [&](canvas& c) { render_screen(*state, c, accent); };
    } else {
        draw = [&](canvas& c) { draw_stand_in(c, stand_in); };
    }

    for (int i = 0; i < 3; ++i) paint_pass(drawing, draw);
    const double cached = ms_per_pass(drawing, draw, passes);
    const d2d_counters before = counters(drawing);
    set_bitmap_caching(drawing, false);
    const double uncached = ms_per_pass(drawing, draw, passes);
    const d2d_counters after = counters(drawing);
    std::printf("paint (%s screen, %d passes each): cached %.2f ms, uncached %.2f ms, "
                "ratio %.1f; uncached made %d bitmaps and %d tinted masks per pass\n",
                embedded ? "real" : "stand-in", passes, cached, uncached, uncached / cached,
                (after.bitmaps - before.bitmaps) / passes,
                (after.tinted_masks - before.tinted_masks) / passes);
    destroy_editor_state(*state);
    return 0;
}
