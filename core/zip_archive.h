// Zip archives of whole files, stored without compression (the cabinets' WAV images barely
// compress): local headers, the central directory and its end record, each entry with its
// CRC-32. Used where a folder cannot be written, as the browser's one download. Any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nimba {

struct zip_entry {
    std::string name; // UTF-8, '/' between folders
    std::vector<uint8_t> bytes;
};

// The CRC-32 of zip and PNG (reflected polynomial 0xEDB88320).
uint32_t crc32_of(std::span<const uint8_t> bytes);

// The archive holding the entries in order. Empty when it cannot be a plain zip: more than
// 65535 entries, a name over 65535 bytes or an archive of 4 GiB or more.
std::vector<uint8_t> zip_from_entries(std::span<const zip_entry> entries);

} // namespace nimba
