// MIDI messages written as one line of hex byte pairs ("F0 00 0B F7"): the framing of the
// emulator's standard-input mode and the demo report's whole messages. Plain functions, any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nimba {

// Upper-case pairs separated by single spaces.
std::string hex_line(std::span<const uint8_t> bytes);

// Longest message a line may carry: well above a cabinet or firmware frame.
inline constexpr size_t hex_line_byte_limit = 65536;

struct hex_line_parse {
    std::optional<std::vector<uint8_t>> bytes;
    std::string error; // why the line is not a message, when bytes is empty
};

// A line of two-digit hex bytes separated by spaces or tabs (either case; a trailing carriage
// return allowed). At least one byte, at most hex_line_byte_limit.
hex_line_parse parse_hex_line(std::string_view line);

} // namespace nimba
