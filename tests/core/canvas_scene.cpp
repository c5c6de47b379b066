// The canvas test scene: one of each operation, at fixed places, on a dark background.
#include "tests/core/canvas_scene.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace nimba {

namespace {

std::vector<uint8_t> picture_header(char kind, uint16_t width, uint16_t height) {
    return {'R',
            static_cast<uint8_t>(kind),
            static_cast<uint8_t>(width & 0xFF),
            static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height & 0xFF),
            static_cast<uint8_t>(height >> 8)};
}

blob blob_of(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

constexpr uint32_t opaque(uint32_t rgb) {
    return 0xFF000000u | rgb;
}

} // namespace

scene_pictures make_scene_pictures() {
    scene_pictures p;
    p.quadrants = picture_header('I', 8, 8);
    constexpr std::array<std::array<uint8_t, 4>, 4> quadrant_colours = {{
        {255, 0, 0, 255},
        {0, 255, 0, 255},
        {0, 0, 255, 255},
        {255, 255, 255, 255},
    }};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const auto& c = quadrant_colours[(y / 4) * 2 + x / 4];
            p.quadrants.insert(p.quadrants.end(), c.begin(), c.end());
        }
    }
    p.disc = picture_header('M', 16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int dx = 2 * x - 15, dy = 2 * y - 15;
            p.disc.push_back(dx * dx + dy * dy <= 14 * 14 ? 255 : 0);
        }
    }
    return p;
}

void draw_canvas_scene(canvas& c, const scene_pictures& pictures) {
    c.box(0, 0, static_cast<float>(c.view_width()), static_cast<float>(c.view_height()), 0,
          opaque(scene_background));
    c.box(20, 20, 100, 60, 0, opaque(0xFF0000));
    c.box(140, 20, 100, 60, 10, opaque(0x00FF00));
    c.picture(260, 20, 64, 64, blob_of(pictures.quadrants));
    // Under a scale of 2 the green quadrant lands on (340, 20)-(380, 60).
    c.set_scale(2);
    c.picture_part(4, 0, 4, 4, 170, 10, 20, 20, blob_of(pictures.quadrants));
    c.set_scale(1);
    c.mask(400, 20, 64, 64, blob_of(pictures.disc), opaque(0x00FFFF));
    const scene_box t = trimmed_text_box;
    c.text(static_cast<float>(t.left), static_cast<float>(t.top), static_cast<float>(t.right),
           static_cast<float>(t.bottom), opaque(scene_ink), text_style::large, align_leading,
           valign_centre, scene_text, text_flow::one_line);
    const scene_box w = wrapped_text_box;
    c.text(static_cast<float>(w.left), static_cast<float>(w.top), static_cast<float>(w.right),
           static_cast<float>(w.bottom), opaque(scene_ink), text_style::large, align_leading,
           valign_top, scene_text, text_flow::wrapped);
}

const std::vector<scene_probe> scene_probes = {
    {"background", 10, 10, scene_background},
    {"box inside", 70, 50, 0xFF0000},
    {"box first column (aliased edge)", 20, 50, 0xFF0000},
    {"box last column (aliased edge)", 119, 50, 0xFF0000},
    {"box right of its edge", 120, 50, scene_background},
    {"rounded box inside", 190, 50, 0x00FF00},
    {"rounded box left edge middle", 141, 50, 0x00FF00},
    {"rounded box cut corner", 140, 20, scene_background},
    {"picture red quadrant", 276, 36, 0xFF0000},
    {"picture green quadrant", 308, 36, 0x00FF00},
    {"picture blue quadrant", 276, 68, 0x0000FF},
    {"picture white quadrant", 308, 68, 0xFFFFFF},
    {"scaled picture part", 360, 40, 0x00FF00},
    {"scaled picture part, right of it", 390, 40, scene_background},
    {"mask centre", 432, 52, 0x00FFFF},
    {"mask outside the disc", 402, 22, scene_background},
};

bool near_colour(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

ink_extent ink_in(const scene_pixels& p, scene_box box) {
    ink_extent e;
    for (int32_t y = box.top * p.scale; y < box.bottom * p.scale; ++y) {
        for (int32_t x = box.left * p.scale; x < box.right * p.scale; ++x) {
            if ((p.pixel(x, y) & 0xFF) < 0x90) continue;
            if (e.top < 0) e.top = y;
            e.bottom = y;
            if (e.left < 0 || x < e.left) e.left = x;
            if (x > e.right) e.right = x;
        }
    }
    return e;
}

void expect_scene_probes(const scene_pixels& p) {
    for (const scene_probe& probe : scene_probes) {
        EXPECT_TRUE(near_colour(p.at(probe.x, probe.y), probe.rgb))
            << probe.what << ": " << std::hex << p.at(probe.x, probe.y) << " for " << probe.rgb;
    }
}

void expect_scene_texts(const scene_pixels& p) {
    const int32_t s = p.scale;
    const scene_box t = trimmed_text_box;
    const ink_extent one_line = ink_in(p, t);
    ASSERT_TRUE(one_line.any());
    EXPECT_LE(one_line.bottom - one_line.top, 18 * s) << "one line only";
    EXPECT_LT(one_line.right, (t.right - 1) * s);
    // Nothing of the text spills past its box.
    EXPECT_FALSE(ink_in(p, {t.right, t.top, t.right + 30, t.bottom}).any());
    // The last few columns of ink are the ellipsis' dots: low in the line, never full height.
    const ink_extent tail = ink_in(p, {one_line.right / s - 8, one_line.top / s,
                                       one_line.right / s + 1, one_line.bottom / s + 1});
    EXPECT_GT(tail.top, one_line.top + (one_line.bottom - one_line.top) / 2);

    const ink_extent wrapped = ink_in(p, wrapped_text_box);
    ASSERT_TRUE(wrapped.any());
    EXPECT_GT(wrapped.bottom - wrapped.top, 40 * s) << "three lines or more";
    EXPECT_LT(wrapped.right, wrapped_text_box.right * s);
}

} // namespace nimba
