// Stored zip archives: the CRC-32 against its published check values, and archives read back
// field by field as an unzipper reads them (end record, central directory, local headers).
#include "core/zip_archive.h"

#include <gtest/gtest.h>

#include <string_view>

namespace nimba {
namespace {

std::vector<uint8_t> bytes_of(std::string_view s) {
    return {s.begin(), s.end()};
}

uint32_t read16(const std::vector<uint8_t>& z, size_t at) {
    return z.at(at) | z.at(at + 1) << 8;
}
uint32_t read32(const std::vector<uint8_t>& z, size_t at) {
    return read16(z, at) | read16(z, at + 2) << 16;
}

TEST(ZipArchive, Crc32MatchesItsCheckValues) {
    EXPECT_EQ(crc32_of(bytes_of("")), 0u);
    EXPECT_EQ(crc32_of(bytes_of("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32_of(bytes_of("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
}

// Each entry is found through the central directory at its local header, with its name, sizes,
// CRC and bytes as given; an empty entry and a UTF-8 name included.
TEST(ZipArchive, EntriesReadBackThroughTheDirectory) {
    const std::vector<zip_entry> entries = {
        {"4x12 GREEN.wav", std::vector<uint8_t>(5000, 0x5A)},
        {"empty", {}},
        {"dossier/\xC3\xA9t\xC3\xA9.wav", bytes_of("123456789")},
    };
    const std::vector<uint8_t> zip = zip_from_entries(entries);
    const size_t end = zip.size() - 22;
    ASSERT_EQ(read32(zip, end), 0x06054B50u);
    ASSERT_EQ(read16(zip, end + 10), entries.size());
    size_t record = read32(zip, end + 16);
    EXPECT_EQ(read32(zip, end + 12), end - record);
    for (const zip_entry& e : entries) {
        ASSERT_EQ(read32(zip, record), 0x02014B50u) << e.name;
        const uint32_t crc = read32(zip, record + 16);
        EXPECT_EQ(crc, crc32_of(e.bytes)) << e.name;
        EXPECT_EQ(read32(zip, record + 20), e.bytes.size()) << e.name;
        EXPECT_EQ(read32(zip, record + 24), e.bytes.size()) << e.name;
        const size_t name_size = read16(zip, record + 28);
        EXPECT_EQ(std::string(zip.begin() + record + 46, zip.begin() + record + 46 + name_size),
                  e.name);
        const size_t local = read32(zip, record + 42);
        ASSERT_EQ(read32(zip, local), 0x04034B50u) << e.name;
        EXPECT_EQ(read16(zip, local + 8), 0u) << "stored";
        EXPECT_EQ(read32(zip, local + 14), crc) << e.name;
        const size_t data = local + 30 + read16(zip, local + 26) + read16(zip, local + 28);
        EXPECT_EQ(std::vector<uint8_t>(zip.begin() + data, zip.begin() + data + e.bytes.size()),
                  e.bytes);
        record += 46 + name_size;
    }
    EXPECT_EQ(record, end);
    EXPECT_EQ(zip_from_entries(entries), zip) << "the same files make the same archive";
}

TEST(ZipArchive, WhatAPlainZipCannotHoldGivesNothing) {
    EXPECT_EQ(zip_from_entries({}).size(), 22u);
    const std::vector<zip_entry> long_name = {{std::string(70000, 'a'), {}}};
    EXPECT_TRUE(zip_from_entries(long_name).empty());
}

} // namespace
} // namespace nimba
