// Hex lines: what is read back is what was written, and every malformed line is refused with
// where and why.
#include "emulator/hex_line.h"

#include <gtest/gtest.h>

namespace nimba {
namespace {

TEST(HexLine, ReadsWhatIsWrittenAndRefusesTheRest) {
    struct row {
        std::string line;
        std::vector<uint8_t> bytes; // empty: refused
        const char* error;
    };
    const row rows[] = {
        {"F0 00 0B F7", {0xF0, 0x00, 0x0B, 0xF7}, ""},
        {"\tf0  7f\t00 f7 \r", {0xF0, 0x7F, 0x00, 0xF7}, ""},
        {"00", {0x00}, ""},
        {"", {}, "no bytes"},
        {" \t\r", {}, "no bytes"},
        {"F0 0 F7", {}, "\"0\" at column 4 is not a two-digit hex byte"},
        {"F0 0B0 F7", {}, "\"0B0\" at column 4"},
        {"F0 G1", {}, "\"G1\" at column 4"},
        {"F0,00", {}, "\"F0,00\" at column 1"},
        {"program 5", {}, "\"program\" at column 1"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.line);
        const hex_line_parse parsed = parse_hex_line(r.line);
        if (r.bytes.empty()) {
            ASSERT_FALSE(parsed.bytes);
            EXPECT_NE(parsed.error.find(r.error), std::string::npos) << parsed.error;
            continue;
        }
        ASSERT_TRUE(parsed.bytes) << parsed.error;
        EXPECT_EQ(*parsed.bytes, r.bytes);
        EXPECT_EQ(parse_hex_line(hex_line(r.bytes)).bytes, r.bytes);
    }

    std::vector<uint8_t> every(256);
    for (int i = 0; i < 256; ++i) every[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(parse_hex_line(hex_line(every)).bytes, every);
    const std::vector<uint8_t> longest(hex_line_byte_limit, 0x7F);
    EXPECT_EQ(parse_hex_line(hex_line(longest)).bytes, longest);
    const hex_line_parse over = parse_hex_line(hex_line(longest) + " 00");
    EXPECT_FALSE(over.bytes);
    EXPECT_NE(over.error.find("longer than 65536 bytes"), std::string::npos) << over.error;
}

} // namespace
} // namespace nimba
