// Hex lines: writing and strict reading of one message per line.
#include "emulator/hex_line.h"

namespace nimba {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string hex_line(std::span<const uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty()) text.push_back(' ');
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

hex_line_parse parse_hex_line(std::string_view line) {
    hex_line_parse parsed;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < line.size()) {
        if (is_blank(line[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < line.size() && !is_blank(line[end])) ++end;
        const std::string_view word = line.substr(i, end - i);
        const int high = hex_digit(word[0]);
        const int low = word.size() == 2 ? hex_digit(word[1]) : -1;
        if (high < 0 || low < 0) {
            parsed.error.assign(1, '"').append(word.substr(0, 8));
            parsed.error +=
                "\" at column " + std::to_string(i + 1) + " is not a two-digit hex byte";
            return parsed;
        }
        if (bytes.size() == hex_line_byte_limit) {
            parsed.error = "longer than " + std::to_string(hex_line_byte_limit) + " bytes";
            return parsed;
        }
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        i = end;
    }
    if (bytes.empty()) {
        parsed.error = "no bytes";
        return parsed;
    }
    parsed.bytes = std::move(bytes);
    return parsed;
}

} // namespace nimba
