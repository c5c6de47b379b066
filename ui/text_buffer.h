// Fixed-capacity wide text built on the stack, so a frame formats its numbers and joined
// texts without allocating. Anything past the capacity is dropped. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nimba {

struct text_buffer {
    static constexpr size_t capacity = 160;
    wchar_t chars[capacity];
    size_t length = 0;

    text_buffer& append(std::wstring_view text) {
        for (wchar_t ch : text) {
            if (length == capacity) break;
            chars[length++] = ch;
        }
        return *this;
    }

    // Plain ASCII text, one wide character per byte.
    text_buffer& append_ascii(std::string_view text) {
        for (char ch : text) {
            if (length == capacity) break;
            chars[length++] = static_cast<unsigned char>(ch);
        }
        return *this;
    }

    text_buffer& append_decimal(int64_t value) {
        wchar_t digits[24];
        size_t n = 0;
        // Work on the magnitude as unsigned so the most negative value does not overflow.
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) append(L"-");
        while (n > 0) append(std::wstring_view(&digits[--n], 1));
        return *this;
    }

    std::wstring_view view() const { return {chars, length}; }
};

} // namespace nimba
