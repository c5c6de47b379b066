// The backup folder's XDG rule.
#include "core/user_folders.h"

#include <gtest/gtest.h>

namespace nimba {
namespace {

TEST(UserFolders, BackupFolderFollowsTheXdgRule) {
    struct row {
        const char* xdg_data_home;
        const char* home;
        std::wstring folder;
    };
    const row rows[] = {
        {"/data", "/home/ann", L"/data/nimba/backups"},
        {nullptr, "/home/ann", L"/home/ann/.local/share/nimba/backups"},
        {"", "/home/ann", L"/home/ann/.local/share/nimba/backups"},
        {"relative/data", "/home/ann", L"/home/ann/.local/share/nimba/backups"},
        {nullptr, nullptr, L""},
        {nullptr, "", L""},
    };
    for (const row& r : rows)
        EXPECT_EQ(xdg_backup_folder(r.xdg_data_home, r.home), r.folder)
            << (r.xdg_data_home ? r.xdg_data_home : "(unset)");
}

} // namespace
} // namespace nimba
