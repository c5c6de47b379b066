// The amplifier's values, declared once: each one's byte in the parameter block, its range, its
// key in a backup, its label in nimba-cli and how it reads as text; the one rule for a value
// outside its range; the tolex colour names and the firmware version text. Constants and pure
// functions; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace nimba {

// Where a value lives and which replies carry it.
enum class value_scope {
    program,   // one per program, in the record of the program a block names
    amplifier, // amplifier-wide; taken only from program 0's reply
    carried,   // amplifier-wide, kept in record 0 and taken from every program reply
};

// How a value reads as text in nimba-cli.
enum class value_look {
    number,         // "3"; several values: "1 2 3"
    on_off,         // 0 "off", 1 "on"
    omni_or_number, // 0 "omni", else the number
    tolex_name,     // "SNAKE SKIN"
};

// X(name, scope, byte, count, low, high, bits, label, look): `byte` is the first of `count`
// bytes from the block's F0; `bits` the mask a value travels under both ways. The order of the
// rows is the order of nimba-cli's lines and of a backup's fields.
#define NIMBA_AMP_VALUES(X)                                                                        \
    X(channel, program, 9, 1, 0, 2, 0x7F, "channel", number)                                       \
    X(ir_slot, program, 5, 4, 0, 5, 0x7F, "ir slots", number)                                      \
    X(channel_mode, program, 10, 3, 0, 2, 0x7F, "galaxy modes", number)                            \
    X(ir_bypass, program, 13, 1, 0, 1, 0x7F, "ir bypass", on_off)                                  \
    X(midi_channel, amplifier, 4, 1, 0, 16, 0x1F, "midi channel", omni_or_number)                  \
    X(tolex_colour, amplifier, 14, 1, 0, 5, 0x7F, "tolex colour", tolex_name)                      \
    X(global_values, carried, 15, 7, 0, 127, 0x7F, "global values", number)

enum class amp_value : int32_t {
#define NIMBA_AMP_VALUE_NAME(name, scope, byte, count, low, high, bits, label, look) name,
    NIMBA_AMP_VALUES(NIMBA_AMP_VALUE_NAME)
#undef NIMBA_AMP_VALUE_NAME
};

struct amp_value_row {
    amp_value value;
    std::string_view key; // in a backup file, and the name in a diff
    value_scope scope;
    size_t byte;  // the first of its bytes in the parameter block
    size_t count; // how many values: ir_slot has one per channel (and a fourth)
    int32_t low, high;
    uint8_t bits;
    std::string_view label; // in nimba-cli
    value_look look;
    size_t word; // where its first value sits among the words of its scope (below)
};

namespace amp_value_detail {
struct declared {
    amp_value value;
    std::string_view key;
    value_scope scope;
    size_t byte, count;
    int32_t low, high;
    uint8_t bits;
    std::string_view label;
    value_look look;
};
inline constexpr declared rows[] = {
#define NIMBA_AMP_VALUE_ROW(name, scope, byte, count, low, high, bits, label, look)                \
    {amp_value::name, #name,           value_scope::scope, byte, count, low, high, bits,           \
     label,           value_look::look},
    NIMBA_AMP_VALUES(NIMBA_AMP_VALUE_ROW)
#undef NIMBA_AMP_VALUE_ROW
};
// The first byte of a program's values: they travel as one run, in word order.
constexpr size_t first_program_byte() {
    size_t first = SIZE_MAX;
    for (const declared& d : rows)
        if (d.scope == value_scope::program && d.byte < first) first = d.byte;
    return first;
}
constexpr std::array<amp_value_row, std::size(rows)> with_words() {
    std::array<amp_value_row, std::size(rows)> out{};
    size_t amplifier_words = 0;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const declared& d = rows[i];
        const bool program = d.scope == value_scope::program;
        out[i] = {d.value,
                  d.key,
                  d.scope,
                  d.byte,
                  d.count,
                  d.low,
                  d.high,
                  d.bits,
                  d.label,
                  d.look,
                  program ? d.byte - first_program_byte() : amplifier_words};
        if (!program) amplifier_words += d.count;
    }
    return out;
}
} // namespace amp_value_detail

// Every value, in the order of NIMBA_AMP_VALUES.
inline constexpr std::array<amp_value_row, std::size(amp_value_detail::rows)> amp_value_rows =
    amp_value_detail::with_words();

constexpr const amp_value_row& row_of(amp_value value) {
    return amp_value_rows[static_cast<size_t>(value)];
}

// True for the values each program has its own of; false for the amplifier-wide ones.
constexpr bool is_program_value(const amp_value_row& r) {
    return r.scope == value_scope::program;
}

constexpr size_t words_of_scope(bool program) {
    size_t words = 0;
    for (const amp_value_row& r : amp_value_rows)
        if (is_program_value(r) == program) words += r.count;
    return words;
}

// One program's values, and the amplifier-wide ones, as plain words: each row's values sit at
// its `word` in the list of its scope.
inline constexpr size_t program_value_words = words_of_scope(true);
inline constexpr size_t amplifier_value_words = words_of_scope(false);
struct program_values {
    std::array<int32_t, program_value_words> words{};
    bool operator==(const program_values&) const = default;
};
struct amplifier_values {
    std::array<int32_t, amplifier_value_words> words{};
    bool operator==(const amplifier_values&) const = default;
};

// A program's values travel as one run of bytes, in word order, from program_values_at.
inline constexpr size_t program_values_at = amp_value_detail::first_program_byte();
static_assert([] {
    std::array<bool, program_value_words> taken{};
    for (const amp_value_row& r : amp_value_rows)
        for (size_t i = 0; is_program_value(r) && i < r.count; ++i) {
            if (r.word + i >= taken.size() || taken[r.word + i]) return false;
            taken[r.word + i] = true;
        }
    return true;
}());

// The words of `value` in a program's or the amplifier's list.
std::span<int32_t> words_of(program_values& values, amp_value value);
std::span<const int32_t> words_of(const program_values& values, amp_value value);
std::span<int32_t> words_of(amplifier_values& values, amp_value value);
std::span<const int32_t> words_of(const amplifier_values& values, amp_value value);

// The one rule for a value outside its range: it reads as the nearest end of the range, on the
// screen, in nimba-cli, in a backup and in a diff. What the amplifier is sent is the value as
// it was reported (under its bits), so an edit never changes a setting the user did not touch.
int32_t value_in_range(amp_value value, int32_t raw);

// The covering's name, upper case as the screen shows it: "BLACK" .. "WHITE", read in range.
std::string_view tolex_colour_name(int32_t tolex_colour);

// "1.5.0" for the version word 0x0105: high byte, low byte, and a 0 the amplifier does not report.
std::string firmware_version_text(uint16_t version);

// A value as nimba-cli prints it, read in range; several values joined by spaces.
std::string value_text(amp_value value, std::span<const int32_t> words);

} // namespace nimba
