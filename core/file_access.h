// Files named by wide paths: opening (UTF-16 on Windows, UTF-8 elsewhere), the bounded read
// of a regular file, the one safe way every file the editor makes is written, the conversions
// between wide strings and UTF-8, and paths quoted for messages. Any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nimba {

// Wide to UTF-8. Bytes that came from invalid UTF-8 (kept as U+DC80..U+DCFF by
// wide_from_utf8) are restored as they were, so such a file name still opens.
std::string utf8_from_wide(std::wstring_view text);
std::wstring wide_from_utf8(std::string_view text);

// The path in double quotes for a one-line message: control characters (C0, DEL, C1), bytes
// that were not UTF-8 and the quote itself are written as escapes (\n, \t, \xNN, \").
std::string quoted_path(std::wstring_view path);

// fopen for a wide path; mode is "rb" or "wb". nullptr when it cannot be opened. Only for
// logs the user asked for by name; files the editor makes go through write_file_safely.
std::FILE* open_file(const std::wstring& path, const char* mode);

// Far above any impulse response or firmware image, and small enough to hold in memory.
inline constexpr uint64_t max_read_bytes = uint64_t{256} << 20;

struct file_read {
    std::vector<uint8_t> bytes;
    std::string error; // why nothing was read, as "cannot be opened (...)"; empty when read
};

// A regular file of at most max_bytes, read whole. A directory, FIFO, device or socket is
// refused at once without blocking, and the size is checked before anything is read.
file_read read_regular_file(const std::wstring& path, uint64_t max_bytes = max_read_bytes);

// Writes `bytes` as the whole content of `path`: a new temporary file in the same folder is
// written, flushed, closed and renamed over `path`. On any failure the temporary is removed
// and `path` is left as it was; a path that exists and is not a regular file is refused.
// Returns why it failed, empty when written.
std::string write_file_safely(const std::wstring& path, std::span<const uint8_t> bytes);

// Whether write_file_safely could write `path` now: the same refusals, and a temporary file
// created beside it and removed again. For a write that comes after a long wait, so a
// destination that cannot take it is refused before the wait. Why not, empty when it can.
std::string check_write_destination(const std::wstring& path);

} // namespace nimba
