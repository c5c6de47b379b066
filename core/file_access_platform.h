// What the platform halves of file access share: the messages, the temporary file's name and
// the bounded read loop. Included only by file_access*.cpp. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nimba::file_access_parts {

inline constexpr const char* not_named = "no file named";
inline constexpr const char* is_folder = "is a folder, not a file";
inline constexpr const char* not_regular = "is not a regular file (a pipe, device or socket)";

std::string too_large(uint64_t max_bytes);

// "<what> (<reason>)", the reason as the system words it.
std::string because(const char* what, const std::string& reason);

// A name for a new temporary file in the folder of `path`, unique within this process and,
// through `process_id`, among processes.
std::wstring temporary_beside(const std::wstring& path, unsigned long process_id);

// Reads through read_some (bytes read, 0 at the end, negative on an error with its reason
// set) into `into`,
// starting with room for `expected` bytes, and gives up one byte past max_bytes.
// Returns the error; empty when read whole.
std::string read_bounded(const std::function<int64_t(uint8_t*, size_t, std::string&)>& read_some,
                         uint64_t expected, uint64_t max_bytes, std::vector<uint8_t>& into);

} // namespace nimba::file_access_parts
