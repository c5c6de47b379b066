// The amplifier's values: their words, the range rule, and how they read as text.
#include "core/amp_values.h"

#include <algorithm>

namespace nimba {

namespace {

constexpr std::string_view tolex_colour_names[] = {"BLACK", "SNAKE SKIN", "PURPLE",
                                                   "RED",   "TURQUOISE",  "WHITE"};
static_assert(std::size(tolex_colour_names) == row_of(amp_value::tolex_colour).high + 1);

template <typename Words> auto words_in(Words& values, amp_value value) {
    const amp_value_row& r = row_of(value);
    return std::span(values.words).subspan(r.word, r.count);
}

} // namespace

std::span<int32_t> words_of(program_values& values, amp_value value) {
    return words_in(values, value);
}

std::span<const int32_t> words_of(const program_values& values, amp_value value) {
    return words_in(values, value);
}

std::span<int32_t> words_of(amplifier_values& values, amp_value value) {
    return words_in(values, value);
}

std::span<const int32_t> words_of(const amplifier_values& values, amp_value value) {
    return words_in(values, value);
}

int32_t value_in_range(amp_value value, int32_t raw) {
    const amp_value_row& r = row_of(value);
    return std::clamp(raw, r.low, r.high);
}

std::string_view tolex_colour_name(int32_t tolex_colour) {
    return tolex_colour_names[value_in_range(amp_value::tolex_colour, tolex_colour)];
}

std::string firmware_version_text(uint16_t version) {
    return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF) + ".0";
}

std::string value_text(amp_value value, std::span<const int32_t> words) {
    std::string text;
    for (const int32_t raw : words) {
        const int32_t v = value_in_range(value, raw);
        if (!text.empty()) text += ' ';
        switch (row_of(value).look) {
        case value_look::number:
            text += std::to_string(v);
            break;
        case value_look::on_off:
            text += v != 0 ? "on" : "off";
            break;
        case value_look::omni_or_number:
            text += v == 0 ? "omni" : std::to_string(v);
            break;
        case value_look::tolex_name:
            text += tolex_colour_name(v);
            break;
        }
    }
    return text;
}

} // namespace nimba
