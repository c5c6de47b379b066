// The embedded pictures: decoded once, byte for byte what the rasteriser made, every blob well
// formed at the size the renderer expects, colour pictures properly premultiplied, the channel
// pictures lit where the renderer copies from them, and the overlays and masks covering what
// they should.
#include "core/assets/pictures.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/assets/pixel_digest.h"

namespace nimba {
namespace {

struct expected_picture {
    picture p;
    picture_kind kind;
    uint16_t width, height;
};

constexpr picture_kind colour = picture_kind::colour;
constexpr picture_kind mask = picture_kind::mask;

constexpr expected_picture all_pictures[] = {
    {picture::amplifier, colour, 1400, 1200},
    {picture::tolex_snake_skin, colour, 1400, 1200},
    {picture::tolex_purple, colour, 1400, 1200},
    {picture::tolex_red, colour, 1400, 1200},
    {picture::tolex_turquoise, colour, 1400, 1200},
    {picture::tolex_white, colour, 1400, 1200},
    {picture::channel_blue, colour, 1400, 1200},
    {picture::channel_violet, colour, 1400, 1200},
    {picture::channel_red, colour, 1400, 1200},
    {picture::channel_green, colour, 1400, 1200},
    {picture::logo, mask, 258, 40},
    {picture::icon_store, mask, 46, 46},
    {picture::icon_midi, mask, 46, 46},
    {picture::icon_link, mask, 46, 46},
    {picture::icon_import, mask, 46, 46},
    {picture::icon_page, mask, 46, 46},
    {picture::icon_virtual_cab, mask, 46, 46},
    {picture::icon_custom_shop, mask, 46, 46},
    {picture::arrow_left, mask, 22, 22},
    {picture::arrow_right, mask, 22, 22},
    {picture::diagram_base, mask, 250, 100},
    {picture::diagram_accent, mask, 250, 100},
    {picture::diagram_slot_0, mask, 250, 100},
    {picture::diagram_slot_1, mask, 250, 100},
    {picture::diagram_slot_2, mask, 250, 100},
    {picture::diagram_slot_3, mask, 250, 100},
    {picture::diagram_slot_4, mask, 250, 100},
    {picture::diagram_slot_5, mask, 250, 100},
    {picture::maker_mark, mask, 186, 18},
};
static_assert(std::size(all_pictures) == static_cast<size_t>(picture::count));

picture_view view_of(picture p, picture_kind kind) {
    const auto v = picture_from_blob(picture_blob(p), kind);
    EXPECT_TRUE(v.has_value()) << "picture " << static_cast<int>(p);
    return v.value_or(picture_view{});
}

struct rgba {
    int r, g, b, a;
};

rgba pixel(const picture_view& v, int x, int y) {
    const uint8_t* px = v.pixels + static_cast<size_t>(y) * v.pitch() + 4 * x;
    return {px[0], px[1], px[2], px[3]};
}

int coverage(const picture_view& v, int x, int y) {
    return v.pixels[static_cast<size_t>(y) * v.pitch() + x];
}

// What art_raster rasterised, before it stored the pictures as PNG: each raw blob's size and
// digest, in the enum's order.
struct raw_picture {
    size_t size;
    uint64_t digest;
};
constexpr raw_picture rasterised[] = {
#include "art_digests.inc"
};
static_assert(std::size(rasterised) == static_cast<size_t>(picture::count));

// Threads asking at once for pictures not yet decoded all get the one decoded blob, at one
// address, and it is the rasteriser's raw blob byte for byte.
TEST(Pictures, DecodedOnceIntoTheRasterisersExactBytes) {
    constexpr size_t count = static_cast<size_t>(picture::count);
    release_picture_pngs(); // as at start-up: their pages read back unchanged when decoded
    std::vector<std::array<blob, count>> seen(4);
    std::vector<std::thread> askers;
    for (size_t t = 0; t < seen.size(); ++t) {
        askers.emplace_back([&seen, t] {
            for (size_t i = 0; i < count; ++i) {
                const size_t k = t % 2 ? count - 1 - i : i; // half of them from the other end
                seen[t][k] = picture_blob(static_cast<picture>(k));
            }
        });
    }
    for (std::thread& t : askers) t.join();
    for (size_t i = 0; i < count; ++i) {
        const auto p = static_cast<picture>(i);
        SCOPED_TRACE(picture_name(p));
        const blob b = picture_blob(p);
        for (const auto& one : seen) EXPECT_EQ(one[i].data, b.data);
        ASSERT_EQ(b.size, rasterised[i].size);
        EXPECT_EQ(pixel_digest(b.data, b.size), rasterised[i].digest);
        EXPECT_EQ(picture_fault(p), "");
    }
    EXPECT_EQ(pictures_fault(), "");
}

TEST(Pictures, EveryBlobHasItsMagicSizeAndExactLength) {
    for (const expected_picture& e : all_pictures) {
        SCOPED_TRACE(static_cast<int>(e.p));
        const blob b = picture_blob(e.p);
        ASSERT_NE(b.data, nullptr);
        ASSERT_GE(b.size, 6u);
        EXPECT_EQ(b.data[0], 'R');
        EXPECT_EQ(b.data[1], e.kind == colour ? 'I' : 'M');
        const auto v = picture_from_blob(b, e.kind);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->width, e.width);
        EXPECT_EQ(v->height, e.height);
        const size_t bytes_per_pixel = e.kind == colour ? 4 : 1;
        EXPECT_EQ(b.size, 6 + bytes_per_pixel * e.width * e.height);
        // The other kind's reader refuses it, so a mask is never drawn as a picture.
        EXPECT_FALSE(picture_from_blob(b, e.kind == colour ? mask : colour).has_value());
    }
}

// Each channel picture is stored as its difference from the amplifier: a PNG of a few KB where a
// whole picture takes hundreds.
TEST(Pictures, ChannelPicturesAreStoredAsTheirDifferenceFromTheAmplifier) {
    const size_t amplifier_png = picture_png(picture::amplifier).size;
    for (const picture p : {picture::channel_blue, picture::channel_violet, picture::channel_red,
                            picture::channel_green}) {
        SCOPED_TRACE(picture_name(p));
        EXPECT_LT(picture_png(p).size * 20, amplifier_png);
        EXPECT_EQ(picture_blob(p).size, picture_blob(picture::amplifier).size);
    }
}

TEST(Pictures, OutOfRangePictureIsEmpty) {
    for (const picture p : {picture::count, static_cast<picture>(-1)}) {
        EXPECT_EQ(picture_blob(p).data, nullptr);
        EXPECT_EQ(picture_blob(p).size, 0u);
        EXPECT_EQ(picture_png(p).data, nullptr);
        EXPECT_STREQ(picture_name(p), "");
        EXPECT_NE(picture_fault(p), "");
    }
}

TEST(Pictures, ColourPicturesArePremultiplied) {
    for (const expected_picture& e : all_pictures) {
        if (e.kind != colour) continue;
        SCOPED_TRACE(static_cast<int>(e.p));
        const picture_view v = view_of(e.p, colour);
        size_t bad = 0;
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x) {
                const rgba c = pixel(v, x, y);
                if (c.r > c.a || c.g > c.a || c.b > c.a) ++bad;
            }
        EXPECT_EQ(bad, 0u);
    }
}

// The boxes the renderer copies from a channel picture onto the amplifier picture.
struct box {
    int x, y, w, h;
};
constexpr box copied_boxes[] = {
    {1030, 342, 24, 24},                                           // selector centre
    {1040, 331, 10, 10}, {1054, 342, 10, 10}, {1045, 364, 10, 10}, // slot dots 0..2
    {1030, 368, 10, 10}, {1018, 351, 10, 10}, {1022, 336, 10, 10}, // slot dots 3..5
    {793, 383, 10, 10},  {848, 383, 10, 10},  {408, 383, 10, 10},  // channel lamps 0..2
};

struct channel_case {
    picture p;
    rgba accent;
};
constexpr channel_case channels[] = {
    {picture::channel_blue, {0x1E, 0x46, 0xC8, 255}},
    {picture::channel_violet, {0xA0, 0x14, 0xB4, 255}},
    {picture::channel_red, {0xC8, 0x32, 0x28, 255}},
    {picture::channel_green, {0x28, 0xA0, 0x32, 255}},
};

int difference(rgba a, rgba b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) + std::abs(a.a - b.a);
}

double distance(double r, double g, double b, rgba to) {
    return std::hypot(r - to.r, g - to.g, b - to.b);
}

TEST(Pictures, ChannelPicturesAreLitInTheirAccentInsideEveryCopiedBox) {
    const picture_view amp = view_of(picture::amplifier, colour);
    for (const channel_case& ch : channels) {
        const picture_view lit = view_of(ch.p, colour);
        for (const box& bx : copied_boxes) {
            SCOPED_TRACE(std::to_string(static_cast<int>(ch.p)) + " box at " +
                         std::to_string(bx.x) + "," + std::to_string(bx.y));
            // The lit pixels, the ones that changed clearly, average towards this channel's
            // accent rather than any other's.
            double r = 0, g = 0, b = 0;
            int changed = 0;
            for (int y = bx.y; y < bx.y + bx.h; ++y)
                for (int x = bx.x; x < bx.x + bx.w; ++x) {
                    const rgba c = pixel(lit, x, y);
                    if (difference(c, pixel(amp, x, y)) < 60 || c.a == 0) continue;
                    r += c.r * 255.0 / c.a;
                    g += c.g * 255.0 / c.a;
                    b += c.b * 255.0 / c.a;
                    ++changed;
                }
            ASSERT_GE(changed, 8);
            r /= changed, g /= changed, b /= changed;
            for (const channel_case& other : channels) {
                if (other.p == ch.p) continue;
                EXPECT_LT(distance(r, g, b, ch.accent), distance(r, g, b, other.accent));
            }
        }
    }
}

// A copied box must not show its edges on screen: the light stays inside, so the box's
// outermost pixels match the amplifier picture closely.
TEST(Pictures, ChannelLightStaysInsideTheCopiedBoxes) {
    const picture_view amp = view_of(picture::amplifier, colour);
    for (const channel_case& ch : channels) {
        const picture_view lit = view_of(ch.p, colour);
        for (const box& bx : copied_boxes) {
            SCOPED_TRACE(std::to_string(static_cast<int>(ch.p)) + " box at " +
                         std::to_string(bx.x) + "," + std::to_string(bx.y));
            int worst = 0;
            for (int y = bx.y; y < bx.y + bx.h; ++y)
                for (int x = bx.x; x < bx.x + bx.w; ++x) {
                    const bool edge =
                        y == bx.y || y == bx.y + bx.h - 1 || x == bx.x || x == bx.x + bx.w - 1;
                    if (edge)
                        worst = std::max(worst, difference(pixel(lit, x, y), pixel(amp, x, y)));
                }
            EXPECT_LE(worst, 90);
        }
    }
}

TEST(Pictures, AmplifierAndOverlaysAreTransparentAwayFromTheAmplifier) {
    constexpr picture overlays[] = {picture::tolex_snake_skin, picture::tolex_purple,
                                    picture::tolex_red, picture::tolex_turquoise,
                                    picture::tolex_white};
    const picture_view amp = view_of(picture::amplifier, colour);
    EXPECT_EQ(pixel(amp, 0, 0).a, 0);
    EXPECT_EQ(pixel(amp, 1399, 0).a, 0);
    EXPECT_EQ(pixel(amp, 700, 20).a, 0);
    EXPECT_EQ(pixel(amp, 700, 360).a, 255); // the control panel
    for (picture p : overlays) {
        SCOPED_TRACE(static_cast<int>(p));
        const picture_view v = view_of(p, colour);
        EXPECT_EQ(pixel(v, 0, 0).a, 0);
        EXPECT_EQ(pixel(v, 700, 20).a, 0);
        // The covering only: the panel, the grille and the selector stay the amplifier's own.
        EXPECT_EQ(pixel(v, 700, 360).a, 0);
        EXPECT_EQ(pixel(v, 700, 220).a, 0);
        EXPECT_EQ(pixel(v, 1042, 354).a, 0);
        // The side of the head and of the cabinet are covered, opaquely.
        EXPECT_EQ(pixel(v, 280, 300).a, 255);
        EXPECT_EQ(pixel(v, 268, 800).a, 255);
    }
}

// An overlay paints the amplifier's own covering, never beyond the amplifier's outline.
TEST(Pictures, OverlaysStayWithinTheAmplifier) {
    const picture_view amp = view_of(picture::amplifier, colour);
    for (picture p : {picture::tolex_snake_skin, picture::tolex_purple, picture::tolex_red,
                      picture::tolex_turquoise, picture::tolex_white}) {
        SCOPED_TRACE(static_cast<int>(p));
        const picture_view v = view_of(p, colour);
        size_t outside = 0;
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x)
                if (pixel(v, x, y).a > pixel(amp, x, y).a + 8) ++outside;
        EXPECT_EQ(outside, 0u);
    }
}

TEST(Pictures, OverlaysEachHaveTheirOwnColour) {
    constexpr picture overlays[] = {picture::tolex_snake_skin, picture::tolex_purple,
                                    picture::tolex_red, picture::tolex_turquoise,
                                    picture::tolex_white};
    std::array<rgba, std::size(overlays)> mean{};
    for (size_t i = 0; i < std::size(overlays); ++i) {
        const picture_view v = view_of(overlays[i], colour);
        long r = 0, g = 0, b = 0, n = 0;
        for (int y = 600; y < 1000; ++y)
            for (int x = 262; x < 282; ++x) {
                const rgba c = pixel(v, x, y);
                r += c.r, g += c.g, b += c.b, ++n;
            }
        mean[i] = {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n), 255};
    }
    for (size_t i = 0; i < mean.size(); ++i)
        for (size_t j = i + 1; j < mean.size(); ++j)
            EXPECT_GT(difference(mean[i], mean[j]), 60) << i << " and " << j;
    EXPECT_GT(mean[2].r, mean[2].g + 40);                  // red
    EXPECT_GT(mean[3].g, mean[3].r + 40);                  // turquoise
    EXPECT_GT(mean[4].r + mean[4].g + mean[4].b, 3 * 150); // white
}

// Centre of a mask's coverage; a mask with nothing in it has none.
bool centroid(picture p, double& cx, double& cy) {
    const picture_view v = view_of(p, mask);
    double sum = 0, sx = 0, sy = 0;
    for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x) {
            const int c = coverage(v, x, y);
            sum += c, sx += c * x, sy += c * y;
        }
    if (sum == 0) return false;
    cx = sx / sum, cy = sy / sum;
    return true;
}

TEST(Pictures, EveryMaskHasSomethingInIt) {
    for (const expected_picture& e : all_pictures) {
        if (e.kind != mask) continue;
        SCOPED_TRACE(static_cast<int>(e.p));
        double cx, cy;
        EXPECT_TRUE(centroid(e.p, cx, cy));
    }
}

TEST(Pictures, DiagramSlotsRunLeftToRightInSlotOrder) {
    constexpr picture slots[] = {picture::diagram_slot_0, picture::diagram_slot_1,
                                 picture::diagram_slot_2, picture::diagram_slot_3,
                                 picture::diagram_slot_4, picture::diagram_slot_5};
    double previous = -1;
    for (picture p : slots) {
        double cx = 0, cy = 0;
        ASSERT_TRUE(centroid(p, cx, cy));
        EXPECT_GT(cx, previous + 20);
        previous = cx;
    }
}

TEST(Pictures, ArrowsPointTheirWay) {
    double left_x, right_x, y;
    ASSERT_TRUE(centroid(picture::arrow_left, left_x, y));
    ASSERT_TRUE(centroid(picture::arrow_right, right_x, y));
    // A wedge's mass sits towards its base, away from the point.
    EXPECT_GT(left_x, 11);
    EXPECT_LT(right_x, 11);
}

} // namespace
} // namespace nimba
