// The cairo canvas drawn onto image surfaces at scale 1 and 2 and read back pixel by pixel:
// one group per kind of canvas call, the surface cache's lifecycle, and the text rules
// (sizes, ellipsis, wrapping, trimming kept by the format, the layout box).
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "core/draw/cairo_canvas_gtk.h"
#include "tests/core/canvas_scene.h"

namespace nimba {
namespace {

// Fontconfig is set up on this thread before pango would set it up on a thread of its own and
// hand it over with GLib's futex lock, which the thread checker cannot see. Pango's per-thread
// font map and fontconfig's caches live to the end of the process; freeing them after the last
// test keeps the leak checker's report to the code under test.
struct font_caches_released : ::testing::Environment {
    void SetUp() override { FcInit(); }
    void TearDown() override {
        pango_cairo_font_map_set_default(nullptr);
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const release_font_caches =
    ::testing::AddGlobalTestEnvironment(new font_caches_released);

scene_pixels paint(cairo_drawing& d, int32_t width, int32_t height, int32_t scale,
                   const std::function<void(canvas&)>& draw) {
    cairo_surface_t* surface = view_surface(width, height, scale);
    cairo_t* cr = cairo_create(surface);
    paint_pass(d, cr, width, height, scale, draw);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    scene_pixels out{width * scale, height * scale, scale, {}};
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int32_t y = 0; y < out.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int32_t x = 0; x < out.width; ++x) out.rgb.push_back(row[x] & 0xFFFFFF);
    }
    cairo_surface_destroy(surface);
    return out;
}

blob blob_of(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

struct CairoCanvas : ::testing::TestWithParam<int32_t> {
    cairo_drawing_ptr drawing = create_cairo_drawing();
    scene_pictures pictures = make_scene_pictures();
    int32_t scale() const { return GetParam(); }
    scene_pixels paint(int32_t width, int32_t height, const std::function<void(canvas&)>& draw) {
        return nimba::paint(*drawing, width, height, scale(), draw);
    }
};
INSTANTIATE_TEST_SUITE_P(Scale, CairoCanvas, ::testing::Values(1, 2));

TEST_P(CairoCanvas, EveryOperationShowsWhereTheSceneSays) {
    expect_scene_probes(paint(480, 240, [&](canvas& c) { draw_canvas_scene(c, pictures); }));
}

// Square boxes keep aliased edges at any position; rounded ones blend along their corners.
TEST_P(CairoCanvas, BoxesAreAliasedBelowRadiusOneAndRoundedFromIt) {
    const struct {
        float radius;
        bool blended;
    } cases[] = {{0, false}, {0.9f, false}, {1, true}, {8, true}};
    for (const auto& c : cases) {
        const scene_pixels p = paint(60, 60, [&](canvas& cv) {
            cv.box(0, 0, 60, 60, 0, 0xFF000000);
            cv.box(10.3f, 10.6f, 30.4f, 30.2f, c.radius, 0xFFFF0000);
        });
        bool blended = false;
        for (uint32_t v : p.rgb) blended |= v != 0 && v != 0xFF0000;
        EXPECT_EQ(blended, c.blended) << "radius " << c.radius;
        EXPECT_EQ(p.at(25, 25), 0xFF0000u) << "radius " << c.radius;
    }
}

TEST_P(CairoCanvas, PicturesKeepTheirPremultipliedColours) {
    // One translucent red pixel (half coverage, premultiplied) over white and over black.
    std::vector<uint8_t> half_red = {'R', 'I', 1, 0, 1, 0, 128, 0, 0, 128};
    const scene_pixels p = paint(40, 20, [&](canvas& c) {
        c.box(0, 0, 20, 20, 0, 0xFFFFFFFF);
        c.box(20, 0, 20, 20, 0, 0xFF000000);
        c.picture(0, 0, 40, 20, blob_of(half_red));
    });
    EXPECT_TRUE(near_colour(p.at(10, 10), 0xFF7F7F)) << std::hex << p.at(10, 10);
    EXPECT_TRUE(near_colour(p.at(30, 10), 0x800000)) << std::hex << p.at(30, 10);
}

TEST_P(CairoCanvas, SurfacesAreMadeOncePerBlobUntilDroppedOrUncached) {
    auto scene = [&](canvas& c) { draw_canvas_scene(c, pictures); };
    paint(480, 240, scene);
    paint(480, 240, scene);
    cairo_counters n = counters(*drawing);
    EXPECT_EQ(n.pictures, 1); // picture and picture part share one surface
    EXPECT_EQ(n.masks, 1);
    EXPECT_EQ(n.placed, 2); // the picture and the mask, stretched once
    EXPECT_EQ(n.passes, 2);
    drop_surfaces(*drawing);
    paint(480, 240, scene);
    n = counters(*drawing);
    EXPECT_EQ(n.pictures, 2);
    EXPECT_EQ(n.masks, 2);
    EXPECT_EQ(n.placed, 4);
    set_surface_caching(*drawing, false);
    const scene_pixels p = paint(480, 240, scene);
    n = counters(*drawing);
    EXPECT_EQ(n.pictures, 4);
    EXPECT_EQ(n.masks, 3);
    EXPECT_EQ(n.placed, 4);
    EXPECT_TRUE(near_colour(p.at(360, 40), 0x00FF00)) << "uncached still draws";
}

// A stretched picture is kept while each pass draws it at the same place and scale, and made
// again when it moves or after a pass that left it out.
TEST_P(CairoCanvas, StretchedPixelsFollowThePlaceAndLastOnlyOnePass) {
    const blob quadrants = blob_of(pictures.quadrants);
    const struct {
        float x, scale;
        int32_t placed;
    } passes[] = {{10, 1, 1}, {10, 1, 1}, {11, 1, 2}, {11, 0.5f, 3}, {11, 0.5f, 3}, {10, 1, 4}};
    for (const auto& pass : passes) {
        paint(100, 100, [&](canvas& c) {
            c.set_scale(pass.scale);
            c.picture(pass.x, 10, 40, 40, quadrants);
        });
        EXPECT_EQ(counters(*drawing).placed, pass.placed) << pass.x << " at " << pass.scale;
    }
}

// Copying the stretched pixels gives what stretching the blob in the frame gives.
TEST_P(CairoCanvas, StretchedPixelsMatchDrawingStraightIntoTheFrame) {
    auto scene = [&](canvas& c) {
        c.box(0, 0, 200, 100, 0, 0xFF202020);
        c.set_scale(0.8f);
        c.picture(10.3f, 12.6f, 90.2f, 70.7f, blob_of(pictures.quadrants));
        c.mask(130.4f, 10.2f, 70.5f, 61.3f, blob_of(pictures.disc), 0xC000FFFF);
        c.set_scale(1);
        c.picture(150, 60, 300, 300, blob_of(pictures.quadrants)); // partly out of the frame
    };
    paint(200, 100, scene);
    const scene_pixels copied = paint(200, 100, scene);
    set_surface_caching(*drawing, false);
    const scene_pixels stretched = paint(200, 100, scene);
    ASSERT_EQ(copied.rgb.size(), stretched.rgb.size());
    for (size_t i = 0; i < copied.rgb.size(); ++i) {
        ASSERT_TRUE(near_colour(copied.rgb[i], stretched.rgb[i], 2))
            << i % copied.width << "," << i / copied.width << ": " << std::hex << copied.rgb[i]
            << " for " << stretched.rgb[i];
    }
}

TEST_P(CairoCanvas, OneMaskTakesEachColourAndKeepsToItsBox) {
    const blob disc = blob_of(pictures.disc);
    const scene_pixels p = paint(200, 100, [&](canvas& c) {
        c.box(0, 0, 200, 100, 0, 0xFF000000);
        c.mask(10, 10, 64, 64, disc, 0xFFFF0000);
        c.mask(100, 10, 64, 64, disc, 0xFF0000FF);
        c.mask(100.5f, 80.5f, 16, 16, blob_of(pictures.quadrants), 0xFFFFFFFF); // no mask
    });
    EXPECT_EQ(p.at(42, 42), 0xFF0000u);
    EXPECT_EQ(p.at(132, 42), 0x0000FFu);
    EXPECT_EQ(p.at(12, 12), 0u);
    EXPECT_EQ(p.at(108, 88), 0u);
    // Nothing of the padded disc edge lands outside the box.
    for (int32_t y = 0; y < 100; ++y) EXPECT_EQ(p.at(75, y), 0u);
}

TEST_P(CairoCanvas, BadPicturesAndFormatsDrawNothing) {
    std::vector<uint8_t> truncated(pictures.quadrants.begin(), pictures.quadrants.end() - 1);
    std::vector<uint8_t> zero_width = pictures.quadrants;
    zero_width[2] = zero_width[3] = 0;
    const blob bad[] = {
        {}, blob_of(truncated), blob_of(zero_width), {pictures.quadrants.data(), 3}};
    const scene_pixels p = paint(300, 100, [&](canvas& c) {
        c.box(0, 0, 300, 100, 0, 0xFF000000);
        for (const blob& b : bad) {
            c.picture(10, 10, 64, 64, b);
            c.picture_part(0, 0, 4, 4, 10, 10, 64, 64, b);
            c.mask(10, 10, 64, 64, b, 0xFFFFFFFF);
        }
        c.picture(10, 10, 64, 64, blob_of(pictures.disc));
        for (int32_t format : {-1, 3, 1000}) {
            c.text(10, 10, 200, 40, 0xFFFFFFFF, format, 0, 0, L"XXXXXXXX", true);
        }
        c.box(250, 10, 10, 10, 0, 0xFF00FF00);
    });
    EXPECT_EQ(counters(*drawing).pictures, 0);
    EXPECT_EQ(counters(*drawing).masks, 0);
    for (int32_t y = 0; y < 80; ++y) {
        for (int32_t x = 0; x < 220; ++x) ASSERT_EQ(p.at(x, y), 0u) << x << "," << y;
    }
    EXPECT_EQ(p.at(255, 15), 0x00FF00u);
}

TEST_P(CairoCanvas, SingleLineTextEndsInAnEllipsisAndTheSameTextWraps) {
    expect_scene_texts(paint(480, 240, [&](canvas& c) { draw_canvas_scene(c, pictures); }));
}

// Formats 0, 1 and 2 set the same capitals in growing sizes; text() and text_box() with a top
// one unit higher lay out the same box.
TEST_P(CairoCanvas, TheThreeFormatsGrowAndTextStartsOneUnitAboveItsBox) {
    std::vector<int32_t> heights;
    for (int32_t format : {0, 1, 2}) {
        const scene_pixels p = paint(200, 40, [&](canvas& c) {
            c.box(0, 0, 200, 40, 0, 0xFF000000);
            c.text(10, 10, 180, 20, 0xFFFFFFFF, format, align_leading, valign_centre, L"HHHH",
                   true);
        });
        const scene_pixels same = paint(200, 40, [&](canvas& c) {
            c.box(0, 0, 200, 40, 0, 0xFF000000);
            c.text_box(10, 9, 190, 30, 0xFFFFFFFF, format, align_leading, valign_centre, L"HHHH",
                       false);
        });
        EXPECT_EQ(p.rgb, same.rgb) << "format " << format;
        const ink_extent e = ink_in(p, {0, 0, 200, 40});
        heights.push_back(e.bottom - e.top);
    }
    EXPECT_LT(heights[0], heights[1]);
    EXPECT_LT(heights[1], heights[2]);
    EXPECT_GE(heights[0], 6 * scale());
    EXPECT_LE(heights[2], 11 * scale());
}

TEST_P(CairoCanvas, TextIsAlignedOnBothAxes) {
    const scene_box box = {20, 20, 220, 120};
    struct place {
        int32_t h, v;
        bool left, centre_x, right, top, centre_y, bottom;
    };
    const place places[] = {
        {align_leading, valign_top, true, false, false, true, false, false},
        {align_centre, valign_centre, false, true, false, false, true, false},
        {align_trailing, valign_bottom, false, false, true, false, false, true},
    };
    for (const place& at : places) {
        const scene_pixels p = paint(240, 140, [&](canvas& c) {
            c.box(0, 0, 240, 140, 0, 0xFF000000);
            c.text_box(box.left, box.top, box.right, box.bottom, 0xFFFFFFFF, 2, at.h, at.v, L"Amp",
                       false);
        });
        const ink_extent e = ink_in(p, box);
        ASSERT_TRUE(e.any());
        const int32_t s = scale();
        const int32_t mid_x = (e.left + e.right) / 2 / s, mid_y = (e.top + e.bottom) / 2 / s;
        EXPECT_EQ(e.left / s < box.left + 4, at.left) << at.h;
        EXPECT_EQ(std::abs(mid_x - 120) < 4, at.centre_x) << at.h;
        EXPECT_EQ(e.right / s > box.right - 4, at.right) << at.h;
        EXPECT_EQ(e.top / s < box.top + 6, at.top) << at.v;
        EXPECT_EQ(std::abs(mid_y - 70) < 4, at.centre_y) << at.v;
        EXPECT_EQ(e.bottom / s > box.bottom - 6, at.bottom) << at.v;
    }
}

// Wrapped text runs past a short box until its format has drawn a single line; from then on
// the format trims, and the wrapped text stops inside the box.
TEST_P(CairoCanvas, WrappedTextKeepsTheTrimmingItsFormatLastHad) {
    const scene_box box = {10, 10, 110, 40};
    auto wrapped = [&](canvas& c) {
        c.box(0, 0, 120, 120, 0, 0xFF000000);
        c.text_box(box.left, box.top, box.right, box.bottom, 0xFFFFFFFF, 1, align_leading,
                   valign_top, scene_text, true);
    };
    const scene_pixels before = paint(120, 120, wrapped);
    EXPECT_TRUE(ink_in(before, {0, box.bottom + 2, 120, 120}).any());
    paint(120, 120, [&](canvas& c) {
        c.text(0, 0, 50, 20, 0xFFFFFFFF, 1, align_leading, valign_centre, L"x", true);
    });
    const scene_pixels after = paint(120, 120, wrapped);
    EXPECT_FALSE(ink_in(after, {0, box.bottom + 2, 120, 120}).any());
    EXPECT_TRUE(ink_in(after, box).any());
}

TEST(CairoDrawing, APassLeavesTheContextAsItFoundItAndReportsTheView) {
    const cairo_drawing_ptr d = create_cairo_drawing();
    cairo_surface_t* surface = view_surface(300, 200, 2);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, 5, 7);
    int32_t width = 0, height = 0;
    paint_pass(*d, cr, 300, 200, 2, [&](canvas& c) {
        width = c.view_width();
        height = c.view_height();
        c.set_scale(3);
        c.set_scale(1.5f);
    });
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);
    EXPECT_EQ(m.xx, 1);
    EXPECT_EQ(m.x0, 5);
    EXPECT_EQ(m.y0, 7);
    EXPECT_EQ(cairo_image_surface_get_width(surface), 600);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

} // namespace
} // namespace nimba
