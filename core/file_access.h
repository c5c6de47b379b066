// Files named by wide paths: opening (UTF-16 on Windows, UTF-8 elsewhere), reading a whole
// file, and the conversions between wide strings and UTF-8 used for paths and messages.
// Any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimba {

// Wide to UTF-8. Bytes that came from invalid UTF-8 (kept as U+DC80..U+DCFF by
// wide_from_utf8) are restored as they were, so such a file name still opens.
std::string utf8_from_wide(std::wstring_view text);
std::wstring wide_from_utf8(std::string_view text);

// fopen for a wide path; mode is "rb" or "wb". nullptr when it cannot be opened.
std::FILE* open_file(const std::wstring& path, const char* mode);

// Deletes a file; false when it could not be deleted.
bool remove_file(const std::wstring& path);

// The whole file, or nothing when the path is empty, it cannot be opened or read, or it
// holds no bytes.
std::optional<std::vector<uint8_t>> read_whole_file(const std::wstring& path);

} // namespace nimba
