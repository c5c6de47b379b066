// Stored zip archives: every entry's local header, then the central directory and its end
// record, all little-endian. Entries carry a fixed date (1 January 2026, midnight), so the same
// files always make the same archive.
#include "core/zip_archive.h"

#include <array>
#include <limits>

namespace nimba {

namespace {

constexpr uint16_t zip_version = 20; // 2.0: enough for stored entries
constexpr uint16_t flag_utf8_names = 0x0800;
constexpr uint16_t dos_time = 0;
constexpr uint16_t dos_date = (2026 - 1980) << 9 | 1 << 5 | 1;

std::array<uint32_t, 256> crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The fields a local header and a central directory record share, from "version needed" on.
void put_common(std::vector<uint8_t>& out, const zip_entry& entry, uint32_t crc) {
    put16(out, zip_version);
    put16(out, flag_utf8_names);
    put16(out, 0); // stored
    put16(out, dos_time);
    put16(out, dos_date);
    put32(out, crc);
    put32(out, static_cast<uint32_t>(entry.bytes.size()));
    put32(out, static_cast<uint32_t>(entry.bytes.size()));
    put16(out, static_cast<uint32_t>(entry.name.size()));
    put16(out, 0); // no extra field
}

} // namespace

uint32_t crc32_of(std::span<const uint8_t> bytes) {
    static const std::array<uint32_t, 256> table = crc_table();
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> zip_from_entries(std::span<const zip_entry> entries) {
    constexpr uint64_t limit = std::numeric_limits<uint32_t>::max();
    uint64_t total = 22;
    for (const zip_entry& e : entries) {
        if (e.name.size() > 0xFFFF) return {};
        total += 30 + 46 + 2 * e.name.size() + e.bytes.size();
    }
    if (entries.size() > 0xFFFF || total >= limit) return {};

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(total));
    std::vector<uint32_t> offsets, crcs;
    for (const zip_entry& e : entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        crcs.push_back(crc32_of(e.bytes));
        put32(out, 0x04034B50);
        put_common(out, e, crcs.back());
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    const auto directory = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        put32(out, 0x02014B50);
        put16(out, zip_version); // made by: MS-DOS attributes
        put_common(out, entries[i], crcs[i]);
        put16(out, 0); // no comment
        put16(out, 0); // disk 0
        put16(out, 0); // internal attributes
        put32(out, 0); // external attributes
        put32(out, offsets[i]);
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
    }
    const auto directory_size = static_cast<uint32_t>(out.size()) - directory;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<uint32_t>(entries.size()));
    put16(out, static_cast<uint32_t>(entries.size()));
    put32(out, directory_size);
    put32(out, directory);
    put16(out, 0); // no comment
    return out;
}

} // namespace nimba
