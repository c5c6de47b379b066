// File access: paths quoted for messages, the bounded read of regular files only, and the
// safe write that leaves the named file as it was on any failure.
#include "core/file_access.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/core/temp_files.h"

namespace nimba {
namespace {

using namespace nimba::test;

std::vector<std::string> names_in(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileAccess, WidePathsRoundTripThroughUtf8) {
    const std::wstring names[] = {L"plain", L"caf\u00e9 \u00e5", L"\u4e2d\u6587", L"\U0001F3B8"};
    for (const auto& name : names) EXPECT_EQ(wide_from_utf8(utf8_from_wide(name)), name);
    const std::string invalid = "a\xff\xc3(";
    EXPECT_EQ(utf8_from_wide(wide_from_utf8(invalid)), invalid);

    temp_folder dir;
    const std::wstring path = wide(dir.path) + L"/caf\u00e9.wav";
    EXPECT_EQ(write_file_safely(path, std::vector<uint8_t>{'x'}), "");
    EXPECT_EQ(read_regular_file(path).bytes, std::vector<uint8_t>{'x'});
}

TEST(FileAccess, QuotedPathsStayOnOneLineAndInert) {
    const struct {
        std::wstring path;
        std::string quoted;
    } cases[] = {
        {L"C:\\cabs\\caf\u00e9.wav", "\"C:\\cabs\\caf\xC3\xA9.wav\""},
        {L"a\nb\tc\rd", "\"a\\nb\\tc\\x0Dd\""},
        {L"\x1b[31mred\x7f", "\"\\x1B[31mred\\x7F\""},
        {L"c1\x9b", "\"c1\\x9B\""},
        {L"say \"hi\"", "\"say \\\"hi\\\"\""},
        {wide_from_utf8("raw\xff"), "\"raw\\xFF\""},
    };
    for (const auto& c : cases) EXPECT_EQ(quoted_path(c.path), c.quoted);
}

TEST(FileAccess, ReadsRegularFilesUpToTheCapOnly) {
    temp_folder dir;
    write_file(dir / "ten", std::vector<uint8_t>(10, 7));
    write_file(dir / "eleven", std::vector<uint8_t>(11, 7));
    write_file(dir / "empty", {});
    std::vector<std::pair<std::wstring, std::string>> refused = {
        {L"", "no file named"},
        {wide(dir / "missing"), "cannot be opened"},
        {wide(dir.path), "is a folder, not a file"},
        {wide(dir / "eleven"), "holds more than 10 bytes"},
    };
#ifdef NIMBA_TEST_POSIX_FILES
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    refused.push_back({wide(dir / "fifo"), "is not a regular file"}); // no writer: no wait
    refused.push_back({L"/dev/zero", "is not a regular file"});
#endif
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [path, error] : refused) {
        const file_read read = read_regular_file(path, 10);
        EXPECT_NE(read.error.find(error), std::string::npos) << read.error;
        EXPECT_TRUE(read.bytes.empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(read_regular_file(wide(dir / "ten"), 10).bytes.size(), 10u);
    EXPECT_EQ(read_regular_file(wide(dir / "empty"), 10).error, "");
}

TEST(FileAccess, SafeWriteReplacesWholeOrLeavesThePathAlone) {
    temp_folder dir;
    const std::vector<uint8_t> bytes(5000, 0x5A);
    write_file(dir / "old.wav", {1, 2, 3});
    EXPECT_EQ(write_file_safely(wide(dir / "old.wav"), bytes), "");
    EXPECT_EQ(read_file(dir / "old.wav"), bytes);
    EXPECT_EQ(write_file_safely(wide(dir / "new.wav"), bytes), "");
    EXPECT_EQ(read_file(dir / "new.wav"), bytes);

    std::filesystem::create_directory(dir / "folder.wav");
    EXPECT_EQ(write_file_safely(wide(dir / "folder.wav"), bytes), "is a folder, not a file");
    EXPECT_NE(write_file_safely(wide(dir / "missing" / "x.wav"), bytes).find("cannot be created"),
              std::string::npos);
#ifdef NIMBA_TEST_POSIX_FILES
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
    EXPECT_NE(write_file_safely(wide(dir / "fifo.wav"), bytes).find("not a regular file"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo.wav"));

    // A write cut short by a file-size limit: the old content stays, no temporary is left.
    const std::string error = [&] {
        const file_size_limit limit(4096);
        return write_file_safely(wide(dir / "old.wav"), std::vector<uint8_t>(9000));
    }();
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
    EXPECT_EQ(read_file(dir / "old.wav"), bytes);
#endif
    const std::vector<std::string> expected = {
#ifdef NIMBA_TEST_POSIX_FILES
        "fifo.wav",
#endif
        "folder.wav", "new.wav", "old.wav"};
    EXPECT_EQ(names_in(dir.path), expected);
}

} // namespace
} // namespace nimba
