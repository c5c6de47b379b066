// Wide paths, quoting, and what the platform halves of file access share.
#include "core/file_access.h"

#include <algorithm>
#include <atomic>

#include "core/file_access_platform.h"

namespace nimba {

namespace {

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void append_wide(std::wstring& out, uint32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 | (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 | (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

} // namespace

std::string utf8_from_wide(std::wstring_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = static_cast<uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
                const uint32_t low = static_cast<uint16_t>(text[i + 1]);
                if (low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out += static_cast<char>(cp - 0xDC00); // an escaped raw byte
        } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            append_utf8(out, 0xFFFD);
        } else {
            append_utf8(out, cp);
        }
    }
    return out;
}

std::wstring wide_from_utf8(std::string_view text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        uint32_t cp = length == 1   ? lead
                      : length == 2 ? lead & 0x1F
                      : length == 3 ? lead & 0x0F
                                    : lead & 0x07;
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && cp >= smallest[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            out += static_cast<wchar_t>(0xDC00 + lead);
            i += 1;
        } else {
            append_wide(out, cp);
            i += length;
        }
    }
    return out;
}

std::string quoted_path(std::wstring_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const wchar_t c : path) {
        const auto unit = static_cast<uint32_t>(c);
        const bool raw_byte = unit >= 0xDC80 && unit <= 0xDCFF; // kept from invalid UTF-8
        const uint32_t code = raw_byte ? unit - 0xDC00 : unit;
        if (code == '\n') {
            out += "\\n";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code == '"') {
            out += "\\\"";
        } else if (raw_byte || code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            out += "\\x";
            out += hex[code >> 4];
            out += hex[code & 0x0F];
        } else {
            out += utf8_from_wide(std::wstring_view(&c, 1));
        }
    }
    return out + "\"";
}

namespace file_access_parts {

std::string too_large(uint64_t max_bytes) {
    return "holds more than " + std::to_string(max_bytes) + " bytes";
}

std::string because(const char* what, const std::string& reason) {
    return std::string(what) + " (" + reason + ")";
}

std::wstring temporary_beside(const std::wstring& path, unsigned long process_id) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = path.find_last_of(L"/\\");
    const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    return folder + L".nimba-" + std::to_wstring(process_id) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L".tmp";
}

std::string read_bounded(const std::function<int64_t(uint8_t*, size_t, std::string&)>& read_some,
                         uint64_t expected, uint64_t max_bytes, std::vector<uint8_t>& into) {
    into.resize(static_cast<size_t>(std::min(expected, max_bytes) + 1));
    size_t held = 0;
    for (;;) {
        if (held == into.size()) {
            if (held > max_bytes) return too_large(max_bytes); // it grew while being read
            into.resize(static_cast<size_t>(std::min<uint64_t>(max_bytes + 1, held * 2)));
        }
        std::string reason;
        const int64_t got = read_some(into.data() + held, into.size() - held, reason);
        if (got < 0) return because("cannot be read", reason);
        if (got == 0) break;
        held += static_cast<size_t>(got);
    }
    into.resize(held);
    if (held > max_bytes) return too_large(max_bytes);
    return {};
}

} // namespace file_access_parts

} // namespace nimba
