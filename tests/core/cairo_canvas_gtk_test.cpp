// The cairo canvas drawn onto image surfaces at scale 1 and 2 and read back pixel by pixel:
// one group per kind of canvas call, the surface caches, and the text rules (sizes, ellipsis,
// wrapping, the trimming a style keeps, alignment).
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/draw/cairo_canvas_gtk.h"
#include "tests/core/canvas_scene.h"

#if defined(__SANITIZE_THREAD__)
// Pango sets fontconfig up and matches fonts on threads of its own, and hands the results over
// with GLib's futex-based locks, which the thread checker cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n";
}
#endif

namespace nimba {
namespace {

// Pango's per-thread font map and fontconfig's caches live to the end of the process; freeing
// them after the last test keeps the leak checker's report to the code under test.
struct font_caches_released : ::testing::Environment {
    void TearDown() override {
        pango_cairo_font_map_set_default(nullptr);
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const release_font_caches =
    ::testing::AddGlobalTestEnvironment(new font_caches_released);

blob blob_of(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

struct CairoCanvas : ::testing::TestWithParam<int32_t> {
    cairo_drawing_ptr drawing = create_cairo_drawing();
    scene_pictures pictures = make_scene_pictures();
    int32_t scale() const { return GetParam(); }

    // One pass onto a black frame of width x height drawing units, read back.
    scene_pixels paint(int32_t width, int32_t height, const std::function<void(canvas&)>& draw) {
        cairo_surface_t* surface = view_surface(width, height, scale());
        cairo_t* cr = cairo_create(surface);
        paint_pass(*drawing, cr, width, height, scale(), draw);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        scene_pixels out{width * scale(), height * scale(), scale(), {}};
        const unsigned char* data = cairo_image_surface_get_data(surface);
        for (int32_t y = 0; y < out.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(
                data + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface));
            for (int32_t x = 0; x < out.width; ++x) out.rgb.push_back(row[x] & 0xFFFFFF);
        }
        cairo_surface_destroy(surface);
        return out;
    }
    scene_pixels scene() {
        return paint(480, 240, [&](canvas& c) { draw_canvas_scene(c, pictures); });
    }
};
INSTANTIATE_TEST_SUITE_P(Scale, CairoCanvas, ::testing::Values(1, 2));

// Every operation lands where the scene says; the single line ends in an ellipsis and the
// same text wraps.
TEST_P(CairoCanvas, EveryOperationShowsWhereTheSceneSays) {
    const scene_pixels p = scene();
    expect_scene_probes(p);
    expect_scene_texts(p);
}

// Square boxes keep aliased edges at any position; rounded ones blend along their corners.
TEST_P(CairoCanvas, BoxesAreAliasedBelowRadiusOneAndRoundedFromIt) {
    for (const auto& [radius, blends] :
         {std::pair{0.0f, false}, {0.9f, false}, {1.0f, true}, {8.0f, true}}) {
        const scene_pixels p = paint(
            60, 60, [&](canvas& c) { c.box(10.3f, 10.6f, 30.4f, 30.2f, radius, 0xFFFF0000); });
        bool blended = false;
        for (uint32_t v : p.rgb) blended |= v != 0 && v != 0xFF0000;
        EXPECT_EQ(blended, blends) << "radius " << radius;
        EXPECT_EQ(p.at(25, 25), 0xFF0000u) << "radius " << radius;
    }
}

// Colour pictures keep their premultiplied colours; one mask takes any colour and stays in
// its box.
TEST_P(CairoCanvas, PicturesAndMasksKeepTheirColours) {
    const std::vector<uint8_t> half_red = {'R', 'I', 1, 0, 1, 0, 128, 0, 0, 128};
    const scene_pixels p = paint(200, 120, [&](canvas& c) {
        c.box(0, 100, 20, 20, 0, 0xFFFFFFFF);
        c.picture(0, 100, 40, 20, blob_of(half_red));
        c.mask(10, 10, 64, 64, blob_of(pictures.disc), 0xFFFF0000);
        c.mask(100, 10, 64, 64, blob_of(pictures.disc), 0x800000FF);
    });
    EXPECT_TRUE(near_colour(p.at(10, 110), 0xFF7F7F, 2)) << std::hex << p.at(10, 110);
    EXPECT_TRUE(near_colour(p.at(30, 110), 0x800000, 2)) << std::hex << p.at(30, 110);
    EXPECT_EQ(p.at(42, 42), 0xFF0000u);
    EXPECT_TRUE(near_colour(p.at(132, 42), 0x000080, 2)) << std::hex << p.at(132, 42);
    EXPECT_EQ(p.at(12, 12), 0u);
    for (int32_t y = 0; y < 100; ++y) EXPECT_EQ(p.at(75, y), 0u) << "padded edge, row " << y;
}

TEST_P(CairoCanvas, BadPicturesAndFormatsDrawNothing) {
    std::vector<uint8_t> truncated(pictures.quadrants.begin(), pictures.quadrants.end() - 1);
    std::vector<uint8_t> zero_width = pictures.quadrants;
    zero_width[2] = zero_width[3] = 0;
    const blob bad[] = {
        {}, blob_of(truncated), blob_of(zero_width), {pictures.quadrants.data(), 3}};
    const scene_pixels p = paint(100, 100, [&](canvas& c) {
        for (const blob& b : bad) {
            c.picture(10, 10, 64, 64, b);
            c.picture_part(0, 0, 4, 4, 10, 10, 64, 64, b);
            c.mask(10, 10, 64, 64, b, 0xFFFFFFFF);
        }
        c.picture(10, 10, 64, 64, blob_of(pictures.disc));
        c.mask(10, 10, 64, 64, blob_of(pictures.quadrants), 0xFFFFFFFF);
        for (int32_t style : {-1, 3, 1000}) {
            c.text(10, 9, 90, 50, ~0u, static_cast<text_style>(style), 0, 0, L"XX",
                   text_flow::one_line);
        }
    });
    EXPECT_EQ(counters(*drawing).pictures + counters(*drawing).masks, 0);
    EXPECT_EQ(p.rgb, std::vector<uint32_t>(p.rgb.size(), 0));
}

// Surfaces are made once per blob; stretched copies last while each pass draws them at the
// same place and scale; dropping or switching caching off makes them again.
TEST_P(CairoCanvas, SurfacesAreMadeOnceAndStretchedCopiesFollowThePlace) {
    const struct {
        float x, scale;
        int32_t placed;
    } passes[] = {{10, 1, 1}, {10, 1, 1}, {11, 1, 2}, {11, 0.5f, 3}, {11, 0.5f, 3}, {10, 1, 4}};
    for (const auto& pass : passes) {
        paint(100, 100, [&](canvas& c) {
            c.set_scale(pass.scale);
            c.picture(pass.x, 10, 40, 40, blob_of(pictures.quadrants));
            c.picture_part(0, 0, 4, 4, 0, 0, 8, 8, blob_of(pictures.quadrants));
        });
        EXPECT_EQ(counters(*drawing).placed, pass.placed) << pass.x << " at " << pass.scale;
    }
    EXPECT_EQ(counters(*drawing).pictures, 1);
    drop_surfaces(*drawing);
    scene();
    EXPECT_EQ(counters(*drawing).pictures, 2);
    EXPECT_EQ(counters(*drawing).masks, 1);
    set_surface_caching(*drawing, false);
    scene();
    const cairo_counters n = counters(*drawing);
    EXPECT_EQ(n.pictures, 4); // the picture and the picture part
    EXPECT_EQ(n.masks, 2);
    EXPECT_EQ(n.placed, 6);
    EXPECT_EQ(n.passes, 8);
}

// Copying the stretched pixels gives what stretching the blob in the frame gives.
TEST_P(CairoCanvas, StretchedCopiesMatchDrawingStraightIntoTheFrame) {
    const std::vector<uint8_t> full = {'R', 'M', 2, 0, 2, 0, 255, 255, 255, 255};
    auto draw = [&](canvas& c) {
        c.box(0, 0, 200, 100, 0, 0xFF202020);
        c.set_scale(0.8f);
        c.picture(10.3f, 12.6f, 90.2f, 70.7f, blob_of(pictures.quadrants));
        c.mask(130.4f, 10.2f, 70.5f, 61.3f, blob_of(pictures.disc), 0xC000FFFF);
        c.mask(20.3f, 80.6f, 30.2f, 10.7f, blob_of(full), 0xFFFFFFFF); // its edges aliased
        c.set_scale(1);
        c.picture(150, 60, 300, 300, blob_of(pictures.quadrants)); // partly out of the frame
    };
    paint(200, 100, draw);
    const scene_pixels copied = paint(200, 100, draw);
    set_surface_caching(*drawing, false);
    const scene_pixels stretched = paint(200, 100, draw);
    for (size_t i = 0; i < copied.rgb.size(); ++i) {
        ASSERT_TRUE(near_colour(copied.rgb[i], stretched.rgb[i], 2))
            << i % copied.width << "," << i / copied.width;
    }
}

// The three styles set the same capitals in growing sizes; a text that fits lays out alike on
// one line and wrapped.
TEST_P(CairoCanvas, TheThreeStylesGrowAndAFittingTextLaysOutAlikeInEitherFlow) {
    std::vector<int32_t> heights;
    for (text_style style : {text_style::small, text_style::regular, text_style::large}) {
        auto draw = [&](text_flow flow) {
            return paint(200, 40, [&](canvas& c) {
                c.text(10, 9, 190, 30, ~0u, style, align_leading, valign_centre, L"HHHH", flow);
            });
        };
        const scene_pixels p = draw(text_flow::one_line);
        EXPECT_EQ(p.rgb, draw(text_flow::wrapped).rgb) << static_cast<int>(style);
        const ink_extent e = ink_in(p, {0, 0, 200, 40});
        heights.push_back(e.bottom - e.top);
    }
    EXPECT_LT(heights[0], heights[1]);
    EXPECT_LT(heights[1], heights[2]);
    EXPECT_GE(heights[0], 6 * scale());
    EXPECT_LE(heights[2], 11 * scale());
}

// Leading/top, centre/centre and trailing/bottom put the ink's middle where each says.
TEST_P(CairoCanvas, TextIsAlignedOnBothAxes) {
    const scene_box box = {20, 20, 220, 120};
    const struct {
        int32_t h, v;
        int32_t x, y; // where the ink's middle must be, within 20 units across and 6 down
    } places[] = {{align_leading, valign_top, 40, 27},
                  {align_centre, valign_centre, 120, 70},
                  {align_trailing, valign_bottom, 200, 113}};
    for (const auto& at : places) {
        const scene_pixels p = paint(240, 140, [&](canvas& c) {
            c.text(box.left, box.top, box.right, box.bottom, ~0u, text_style::large, at.h, at.v,
                   L"Amp", text_flow::one_line);
        });
        const ink_extent e = ink_in(p, box);
        EXPECT_NEAR((e.left + e.right) / 2.0 / scale(), at.x, 20) << at.h;
        EXPECT_NEAR((e.top + e.bottom) / 2.0 / scale(), at.y, 6) << at.v;
    }
}

// Wrapped text runs past a short box until its style has drawn a single line; from then on
// the style trims, and the wrapped text stops inside the box.
TEST_P(CairoCanvas, WrappedTextKeepsTheTrimmingItsFormatLastHad) {
    auto wrapped = [&](canvas& c) {
        c.text(10, 10, 110, 40, ~0u, text_style::regular, align_leading, valign_top, scene_text,
               text_flow::wrapped);
    };
    EXPECT_TRUE(ink_in(paint(120, 120, wrapped), {0, 42, 120, 120}).any());
    paint(120, 120, [&](canvas& c) {
        c.text(0, 0, 50, 20, ~0u, text_style::regular, 0, 0, L"x", text_flow::one_line);
    });
    const scene_pixels after = paint(120, 120, wrapped);
    EXPECT_FALSE(ink_in(after, {0, 42, 120, 120}).any());
    EXPECT_TRUE(ink_in(after, {10, 10, 110, 40}).any());
}

TEST(CairoDrawing, APassLeavesTheContextAsItFoundItAndReportsTheView) {
    const cairo_drawing_ptr d = create_cairo_drawing();
    cairo_surface_t* surface = view_surface(300, 200, 2);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, 5, 7);
    std::pair<int32_t, int32_t> view;
    paint_pass(*d, cr, 300, 200, 2, [&](canvas& c) {
        view = {c.view_width(), c.view_height()};
        c.set_scale(3);
    });
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    EXPECT_EQ(view, std::pair(300, 200));
    EXPECT_EQ(std::tuple(m.xx, m.x0, m.y0), std::tuple(1.0, 5.0, 7.0));
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

} // namespace
} // namespace nimba
