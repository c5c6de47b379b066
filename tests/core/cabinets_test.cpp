// The factory cabinet library: the list's names and main flags, the descriptions, and that every
// embedded IR keeps the blob's promises and sounds like a guitar cabinet.
#include "core/assets/cabinets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <vector>

namespace nimba {
namespace {

cabinet_library filled_library() {
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    return cabinets;
}

std::vector<float> samples_of(const cabinet_entry& entry) {
    const auto ir = ir_samples_from_blob(entry.ir);
    std::vector<float> out;
    if (!ir) return out;
    for (uint32_t i = 0; i < ir->count; ++i) out.push_back(ir->sample(i));
    return out;
}

// Level in dB of the IR's spectrum at one frequency (a single DFT bin at 48 kHz).
double level_db(const std::vector<float>& ir, double hz) {
    double re = 0, im = 0;
    const double w = 2 * std::numbers::pi * hz / 48000.0;
    for (size_t n = 0; n < ir.size(); ++n) {
        re += ir[n] * std::cos(w * n);
        im -= ir[n] * std::sin(w * n);
    }
    return 10 * std::log10(re * re + im * im + 1e-30);
}

// The list text is the name, followed by " (MAIN)" for a main cabinet.
TEST(CabinetLibrary, NamesAndMainFlagsInListOrder) {
    struct row {
        const wchar_t* name;
        int32_t is_main;
    };
    const row expected[cabinet_count] = {
        {L"112 RED", 0},          {L"212 V30", 1},       {L"412 V30", 1},
        {L"412 GB", 0},           {L"412 X1200", 1},     {L"412 LEGEND DEEP", 1},
        {L"412 LEGEND TIGHT", 0}, {L"212 EVM12L", 1},    {L"412 RECT", 0},
        {L"UK 412 V30", 1},       {L"UK 412 V30 GB", 0}, {L"UK 412 JBL120 GB", 0},
    };
    const cabinet_library cabinets = filled_library();
    for (int i = 0; i < cabinet_count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cabinets[i].name, expected[i].name);
        EXPECT_EQ(cabinets[i].is_main, expected[i].is_main);
    }
}

TEST(CabinetLibrary, EachHasItsOwnOneParagraphDescription) {
    const cabinet_library cabinets = filled_library();
    std::set<std::wstring> seen;
    for (const cabinet_entry& c : cabinets) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        EXPECT_GE(c.description.size(), 107u);
        EXPECT_LE(c.description.size(), 242u);
        EXPECT_EQ(c.description.find(L'\n'), std::wstring::npos);
        EXPECT_TRUE(seen.insert(c.description).second);
    }
}

TEST(CabinetIr, EveryBlobHoldsA4096SampleIrPeakingEarly) {
    const cabinet_library cabinets = filled_library();
    for (const cabinet_entry& c : cabinets) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        ASSERT_EQ(c.ir.size, 4u + 16384u);
        ASSERT_TRUE(ir_samples_from_blob(c.ir));
        const std::vector<float> ir = samples_of(c);
        ASSERT_EQ(ir.size(), 4096u);
        EXPECT_TRUE(std::all_of(ir.begin(), ir.end(), [](float v) { return std::isfinite(v); }));
        const auto peak = std::max_element(
            ir.begin(), ir.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        EXPECT_LT(peak - ir.begin(), 40);
        EXPECT_GE(std::fabs(*peak), 0.79f);
        EXPECT_LE(std::fabs(*peak), 0.91f);
        // The tail has died away: cutting at 4096 samples leaves no click.
        for (size_t n = 3584; n < ir.size(); ++n) ASSERT_LT(std::fabs(ir[n]), 1e-3f) << n;
    }
}

TEST(CabinetIr, NoTwoAlike) {
    const cabinet_library cabinets = filled_library();
    for (int a = 0; a < cabinet_count; ++a) {
        for (int b = a + 1; b < cabinet_count; ++b) {
            const std::vector<float> x = samples_of(cabinets[a]), y = samples_of(cabinets[b]);
            ASSERT_EQ(x.size(), y.size());
            float largest = 0;
            for (size_t n = 0; n < x.size(); ++n)
                largest = std::max(largest, std::fabs(x[n] - y[n]));
            EXPECT_GT(largest, 0.05f) << a << " and " << b;
        }
    }
}

// A guitar cabinet: a low resonance well above the sub-bass, upper-mid presence, and a steep
// fall above about 5 kHz. Levels are relative to 1 kHz.
TEST(CabinetIr, SoundsLikeAGuitarCabinet) {
    const cabinet_library cabinets = filled_library();
    for (const cabinet_entry& c : cabinets) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        const std::vector<float> ir = samples_of(c);
        ASSERT_EQ(ir.size(), 4096u);
        const double mid = level_db(ir, 1000);
        double low = -1e9, presence = -1e9;
        for (double hz = 80; hz <= 130; hz += 5) low = std::max(low, level_db(ir, hz));
        for (double hz = 2000; hz <= 4000; hz += 100)
            presence = std::max(presence, level_db(ir, hz));
        EXPECT_GT(low, level_db(ir, 40) + 3);
        EXPECT_GT(low, mid - 6);
        EXPECT_GT(presence, mid - 3);
        EXPECT_LT(level_db(ir, 8000), mid - 15);
        EXPECT_LT(level_db(ir, 12000), level_db(ir, 8000));
    }
}

} // namespace
} // namespace nimba
