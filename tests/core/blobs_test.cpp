// Readers of the built-in containers: what they accept, what they refuse, and that they never
// read past the blob.
#include "core/assets/blobs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace nimba {
namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

std::vector<uint8_t> header(char a, char b, uint16_t count) {
    return bytes({a, b, count & 0xff, count >> 8});
}

std::vector<uint8_t> with_padding(std::vector<uint8_t> v, size_t extra) {
    v.resize(v.size() + extra, 0);
    return v;
}

// The reader only sees the bytes it is given: a copy sized exactly, so ASan catches an overread.
struct owned_blob {
    std::vector<uint8_t> storage;
    blob view() const { return blob{storage.empty() ? nullptr : storage.data(), storage.size()}; }
};

TEST(IrBlobReader, AcceptsOrRefuses) {
    struct row {
        const char* what;
        std::vector<uint8_t> data;
        bool accepted;
        uint32_t count;
    };
    const row rows[] = {
        {"two samples", with_padding(header('R', 'W', 8), 8), true, 2},
        {"trailing bytes beyond the count are ignored", with_padding(header('R', 'W', 4), 9), true,
         1},
        {"colour picture magic", with_padding(header('R', 'I', 8), 8), false, 0},
        {"mask magic", with_padding(header('R', 'M', 8), 8), false, 0},
        {"lower-case magic", with_padding(header('r', 'w', 8), 8), false, 0},
        {"magic only", bytes({'R', 'W'}), false, 0},
        {"three header bytes", bytes({'R', 'W', 8}), false, 0},
        {"count larger than the blob", with_padding(header('R', 'W', 8), 7), false, 0},
        {"count of a full IR over a short blob", with_padding(header('R', 'W', 16384), 100), false,
         0},
        {"odd byte count", with_padding(header('R', 'W', 7), 7), false, 0},
        {"count not a multiple of four", with_padding(header('R', 'W', 6), 8), false, 0},
        {"empty", {}, false, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        owned_blob b{r.data};
        const auto samples = ir_samples_from_blob(b.view());
        ASSERT_EQ(samples.has_value(), r.accepted);
        if (samples) {
            EXPECT_EQ(samples->count, r.count);
        }
    }
}

TEST(IrBlobReader, RefusesNullDataWhateverTheSize) {
    EXPECT_FALSE(ir_samples_from_blob(blob{nullptr, 0}));
    EXPECT_FALSE(ir_samples_from_blob(blob{nullptr, 16388}));
}

TEST(IrBlobReader, DecodesLittleEndianFloatsAtAnyAlignment) {
    const float values[] = {1.0f, -0.5f, 0.8125f};
    for (size_t offset = 0; offset < 4; ++offset) {
        SCOPED_TRACE(offset);
        std::vector<uint8_t> data(offset, 0xee);
        const auto head = header('R', 'W', sizeof values);
        data.insert(data.end(), head.begin(), head.end());
        for (float f : values) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            for (int k = 0; k < 4; ++k) data.push_back(static_cast<uint8_t>(bits >> (8 * k)));
        }
        const auto samples = ir_samples_from_blob(blob{data.data() + offset, data.size() - offset});
        ASSERT_TRUE(samples);
        ASSERT_EQ(samples->count, 3u);
        for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(samples->sample(i), values[i]);
    }
}

TEST(PictureBlobReader, AcceptsOrRefuses) {
    struct row {
        const char* what;
        std::vector<uint8_t> data;
        picture_kind expected;
        bool accepted;
        uint16_t width, height;
        uint32_t pitch;
    };
    const auto colour = picture_kind::colour;
    const auto mask = picture_kind::mask;
    const row rows[] = {
        {"colour 2x1", with_padding(bytes({'R', 'I', 2, 0, 1, 0}), 8), colour, true, 2, 1, 8},
        {"mask 3x2", with_padding(bytes({'R', 'M', 3, 0, 2, 0}), 6), mask, true, 3, 2, 3},
        {"16-bit sizes", with_padding(bytes({'R', 'M', 2, 1, 1, 0}), 258), mask, true, 258, 1, 258},
        {"mask asked for as colour", with_padding(bytes({'R', 'M', 2, 0, 2, 0}), 16), colour, false,
         0, 0, 0},
        {"colour asked for as mask", with_padding(bytes({'R', 'I', 2, 0, 2, 0}), 16), mask, false,
         0, 0, 0},
        {"IR magic", with_padding(bytes({'R', 'W', 2, 0, 2, 0}), 16), colour, false, 0, 0, 0},
        {"one pixel byte short", with_padding(bytes({'R', 'I', 2, 0, 1, 0}), 7), colour, false, 0,
         0, 0},
        {"mask one row short", with_padding(bytes({'R', 'M', 4, 0, 3, 0}), 8), mask, false, 0, 0,
         0},
        {"zero width", with_padding(bytes({'R', 'I', 0, 0, 1, 0}), 8), colour, false, 0, 0, 0},
        {"zero height", with_padding(bytes({'R', 'M', 1, 0, 0, 0}), 8), mask, false, 0, 0, 0},
        {"largest size over a small blob", with_padding(bytes({'R', 'I', 255, 255, 255, 255}), 64),
         colour, false, 0, 0, 0},
        {"header cut short", bytes({'R', 'I', 1, 0, 1}), colour, false, 0, 0, 0},
        {"empty", {}, mask, false, 0, 0, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        owned_blob b{r.data};
        const auto view = picture_from_blob(b.view(), r.expected);
        ASSERT_EQ(view.has_value(), r.accepted);
        if (!view) continue;
        EXPECT_EQ(view->kind, r.expected);
        EXPECT_EQ(view->width, r.width);
        EXPECT_EQ(view->height, r.height);
        EXPECT_EQ(view->pitch(), r.pitch);
        EXPECT_EQ(view->pixels, b.storage.data() + 6);
    }
}

TEST(PictureBlobReader, RefusesNullData) {
    EXPECT_FALSE(picture_from_blob(blob{nullptr, 0}, picture_kind::colour));
    EXPECT_FALSE(picture_from_blob(blob{nullptr, 1000}, picture_kind::mask));
}

} // namespace
} // namespace nimba
