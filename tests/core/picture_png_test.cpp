// The PNG reader: a picture reads back as its kind only, and anything damaged, cut short or of
// another format is refused with a reason, never read past its end or turned into pixels.
#include "core/assets/picture_png.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/assets/pictures.h"

namespace nimba {
namespace {

std::vector<uint8_t> embedded_png(picture p) {
    const blob b = picture_png(p);
    return {b.data, b.data + b.size};
}

// Where the image data starts in one of our PNGs: the first IDAT chunk's data.
size_t first_idat_data(const std::vector<uint8_t>& png) {
    for (size_t at = 8; at + 8 <= png.size();) {
        const size_t length = (size_t{png[at]} << 24) | (size_t{png[at + 1]} << 16) |
                              (size_t{png[at + 2]} << 8) | png[at + 3];
        if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT") return at + 8;
        at += 12 + length;
    }
    return 0;
}

TEST(PicturePng, ReadsAsItsOwnKindOnly) {
    const std::vector<uint8_t> mask_png = embedded_png(picture::arrow_left);
    const png_picture m = picture_from_png({mask_png.data(), mask_png.size()}, picture_kind::mask);
    EXPECT_EQ(m.fault, "");
    const blob decoded = picture_blob(picture::arrow_left);
    EXPECT_EQ(m.blob_bytes, std::vector<uint8_t>(decoded.data, decoded.data + decoded.size));

    const png_picture as_colour =
        picture_from_png({mask_png.data(), mask_png.size()}, picture_kind::colour);
    EXPECT_TRUE(as_colour.blob_bytes.empty());
    EXPECT_NE(as_colour.fault, "");
    const std::vector<uint8_t> colour_png = embedded_png(picture::amplifier);
    EXPECT_NE(png_picture_fault({colour_png.data(), colour_png.size()}, picture_kind::mask), "");
    EXPECT_EQ(png_picture_fault({colour_png.data(), colour_png.size()}, picture_kind::colour), "");
}

TEST(PicturePng, RefusesWhatIsDamagedOrNotAPicture) {
    const std::vector<uint8_t> good = embedded_png(picture::maker_mark);
    const size_t idat = first_idat_data(good);
    ASSERT_GT(idat, 0u);
    struct bad_case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
    };
    const bad_case cases[] = {
        {"empty", [](std::vector<uint8_t>& b) { b.clear(); }},
        {"not a PNG", [](std::vector<uint8_t>& b) { b.assign(200, 'x'); }},
        {"signature only", [](std::vector<uint8_t>& b) { b.resize(8); }},
        {"cut in the header", [](std::vector<uint8_t>& b) { b.resize(20); }},
        {"cut in the image data", [&](std::vector<uint8_t>& b) { b.resize(idat + 10); }},
        {"no end chunk", [](std::vector<uint8_t>& b) { b.resize(b.size() - 12); }},
        {"a byte of image data changed", [&](std::vector<uint8_t>& b) { b[idat + 20] ^= 0x40; }},
        {"a chunk length past the end", [&](std::vector<uint8_t>& b) { b[idat - 8] = 0x7F; }},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        c.spoil(bytes);
        const blob b = {bytes.data(), bytes.size()};
        EXPECT_NE(png_picture_fault(b, picture_kind::mask), ""); // found without decoding
        const png_picture p = picture_from_png(b, picture_kind::mask);
        EXPECT_TRUE(p.blob_bytes.empty());
        EXPECT_NE(p.fault, "");
    }
    EXPECT_NE(picture_from_png({nullptr, 100}, picture_kind::mask).fault, "");
}

} // namespace
} // namespace nimba
