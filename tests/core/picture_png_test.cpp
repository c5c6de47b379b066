// The PNG reader: a picture reads back as its kind only, and anything damaged, cut short or of
// another format is refused with a reason, never read past its end or turned into pixels.
#include "core/assets/picture_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// ---- PNGs made here byte by byte: any row filter, any chunking, any header ---------------------

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    put_u32(png, static_cast<uint32_t>(data.size()));
    const size_t from = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < png.size(); ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    put_u32(png, crc ^ 0xFFFFFFFFu);
}

// Rows of `width` pixels of `step` bytes, row y filtered with filter_of(y), in one stored zlib
// block split over `chunks` IDAT chunks; the header says `rows` rows and `header_tail` (colour
// type, compression, filter method, interlace).
std::vector<uint8_t> make_png(const std::vector<uint8_t>& pixels, uint32_t width, size_t step,
                              uint32_t rows, std::vector<uint8_t> header_tail, size_t chunks,
                              const std::function<int(size_t)>& filter_of) {
    const size_t pitch = width * step;
    std::vector<uint8_t> z = {0x78, 0x01, 1, 0, 0, 0, 0}; // one final stored block
    for (size_t y = 0; y * pitch < pixels.size(); ++y) {
        const int f = filter_of(y);
        z.push_back(static_cast<uint8_t>(f));
        for (size_t i = y * pitch; i < (y + 1) * pitch; ++i) {
            const int a = i % pitch >= step ? pixels[i - step] : 0, b = y ? pixels[i - pitch] : 0;
            const int c = y && i % pitch >= step ? pixels[i - pitch - step] : 0, p = a + b - c;
            const int paeth = std::abs(p - a) <= std::min(std::abs(p - b), std::abs(p - c)) ? a
                              : std::abs(p - b) <= std::abs(p - c)                          ? b
                                                                                            : c;
            const int predicted[] = {0, a, b, (a + b) / 2, paeth, 0};
            z.push_back(static_cast<uint8_t>(pixels[i] - predicted[f]));
        }
    }
    const size_t n = z.size() - 7;
    z[3] = static_cast<uint8_t>(n), z[4] = static_cast<uint8_t>(n >> 8);
    z[5] = static_cast<uint8_t>(~n), z[6] = static_cast<uint8_t>(~n >> 8);
    put_u32(z, 0); // stb_image leaves the Adler-32 unchecked; the chunk CRCs guard the data
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
    put_u32(header, width);
    put_u32(header, rows);
    header.push_back(8);
    header.insert(header.end(), header_tail.begin(), header_tail.end());
    put_chunk(png, "IHDR", header);
    for (size_t at = 0, part = (z.size() + chunks - 1) / chunks; at < z.size(); at += part)
        put_chunk(png, "IDAT", {z.begin() + at, z.begin() + std::min(z.size(), at + part)});
    put_chunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> noise(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 167 + (i >> 3) * 29 + i * i);
    return v;
}

TEST(PicturePng, UndoesEveryRowFilterAcrossAnyChunking) {
    struct filter_case {
        picture_kind kind;
        size_t chunks;
        std::function<int(size_t)> filter_of;
    };
    const filter_case cases[] = {
        {picture_kind::colour, 1, [](size_t y) { return static_cast<int>(y % 5); }},
        {picture_kind::colour, 7, [](size_t y) { return static_cast<int>(4 - y % 5); }},
        {picture_kind::colour, 2, [](size_t) { return 4; }},
        {picture_kind::mask, 3, [](size_t y) { return static_cast<int>((y + 2) % 5); }},
    };
    for (const filter_case& c : cases) {
        const bool colour = c.kind == picture_kind::colour;
        const std::vector<uint8_t> pixels = noise(7 * 10 * (colour ? 4 : 1));
        const std::vector<uint8_t> png =
            make_png(pixels, 7, colour ? 4 : 1, 10, {colour ? uint8_t{6} : uint8_t{0}, 0, 0, 0},
                     c.chunks, c.filter_of);
        const png_picture p = picture_from_png({png.data(), png.size()}, c.kind);
        ASSERT_EQ(p.fault, "");
        const auto view = picture_from_blob({p.blob_bytes.data(), p.blob_bytes.size()}, c.kind);
        ASSERT_TRUE(view && view->width == 7 && view->height == 10);
        EXPECT_EQ(std::vector<uint8_t>(view->pixels, view->pixels + pixels.size()), pixels);
        EXPECT_EQ(p.blob_bytes.size(), 6 + pixels.size());
    }
}

// Sound chunks whose image data does not make the picture the header describes: refused.
TEST(PicturePng, RefusesImageDataThatDoesNotFitTheHeader) {
    const auto plain = [](size_t) { return 0; };
    struct bad_case {
        uint32_t rows_stored;
        uint8_t interlace;
        std::function<int(size_t)> filter_of;
        const char* fault;
    };
    const bad_case cases[] = {
        {3, 0, plain, "cut short: rows are missing"},
        {5, 0, plain, "cannot be decoded: output buffer limit"},
        {4, 0, [](size_t y) { return y == 2 ? 5 : 0; }, "a row has an unknown filter"},
        {4, 1, plain, "interlaced, which no picture is"},
    };
    for (const bad_case& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::vector<uint8_t> png =
            make_png(noise(c.rows_stored * 20), 5, 4, 4, {6, 0, 0, c.interlace}, 1, c.filter_of);
        const png_picture p = picture_from_png({png.data(), png.size()}, picture_kind::colour);
        EXPECT_EQ(p.fault, c.fault);
        EXPECT_TRUE(p.blob_bytes.empty());
    }
}

TEST(PicturePng, ReadsAsItsOwnKindOnly) {
    const std::vector<uint8_t> mask_png = embedded_png(picture::arrow_left);
    const png_picture m = picture_from_png({mask_png.data(), mask_png.size()}, picture_kind::mask);
    EXPECT_EQ(m.fault, "");
    const blob decoded = picture_blob(picture::arrow_left);
    EXPECT_EQ(std::vector<uint8_t>(m.blob_bytes.begin(), m.blob_bytes.end()),
              std::vector<uint8_t>(decoded.data, decoded.data + decoded.size));

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

// A picture stored against a base reads back as the XOR of the two, and only over a base of its
// own kind and size.
TEST(PicturePng, StoredAgainstABaseReadsBackOnlyOverThatBase) {
    const auto colour_blob = [](uint8_t w, uint8_t h, const std::vector<uint8_t>& pixels) {
        std::vector<uint8_t> b = {'R', 'I', w, 0, h, 0};
        b.insert(b.end(), pixels.begin(), pixels.end());
        return b;
    };
    const std::vector<uint8_t> base_pixels = noise(6 * 4 * 4), lit = noise(6 * 4 * 4 + 3);
    std::vector<uint8_t> delta(base_pixels.size());
    for (size_t i = 0; i < delta.size(); ++i) delta[i] = base_pixels[i] ^ lit[i + 3];
    const std::vector<uint8_t> png =
        make_png(delta, 6, 4, 4, {6, 0, 0, 0}, 1, [](size_t y) { return static_cast<int>(y); });
    const std::vector<uint8_t> base = colour_blob(6, 4, base_pixels);
    const std::vector<uint8_t> narrower = colour_blob(4, 6, base_pixels);
    std::vector<uint8_t> as_mask = base;
    as_mask[1] = 'M';
    std::vector<uint8_t> damaged = png;
    damaged[first_idat_data(png) + 9] ^= 1;
    struct over_case {
        const char* what;
        const std::vector<uint8_t>& png;
        blob base;
        const char* fault;
    };
    const over_case cases[] = {
        {"its own base", png, {base.data(), base.size()}, ""},
        {"no base", png, {}, "the picture it is stored against is missing"},
        {"a mask for a base",
         png,
         {as_mask.data(), as_mask.size()},
         "the picture it is stored against is missing"},
        {"a base of another size",
         png,
         {narrower.data(), narrower.size()},
         "not the size of the picture it is stored against"},
        {"damaged", damaged, {base.data(), base.size()}, "damaged: a chunk fails its CRC"},
    };
    for (const over_case& c : cases) {
        SCOPED_TRACE(c.what);
        const png_picture p =
            picture_from_png_over({c.png.data(), c.png.size()}, picture_kind::colour, c.base);
        EXPECT_EQ(p.fault, c.fault);
        if (*c.fault) {
            EXPECT_TRUE(p.blob_bytes.empty());
            continue;
        }
        EXPECT_EQ(std::vector<uint8_t>(p.blob_bytes.begin(), p.blob_bytes.end()),
                  colour_blob(6, 4, {lit.begin() + 3, lit.end()}));
    }
}

} // namespace
} // namespace nimba
