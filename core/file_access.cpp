// Wide paths and whole-file reads.
#include "core/file_access.h"

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

std::FILE* open_file(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
#ifdef _WIN32
    const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wide_mode.c_str());
#else
    return std::fopen(utf8_from_wide(path).c_str(), mode);
#endif
}

bool remove_file(const std::wstring& path) {
    if (path.empty()) return false;
#ifdef _WIN32
    return _wremove(path.c_str()) == 0;
#else
    return std::remove(utf8_from_wide(path).c_str()) == 0;
#endif
}

std::optional<std::vector<uint8_t>> read_whole_file(const std::wstring& path) {
    std::FILE* file = open_file(path, "rb");
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    bool failed = false;
    try {
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + got);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    failed = failed || std::ferror(file);
    std::fclose(file);
    if (failed || bytes.empty()) return std::nullopt;
    return bytes;
}

} // namespace nimba
