// The backup folder on Windows: under the user's roaming application data.
#include <gtest/gtest.h>

#include "core/user_folders.h"

namespace nimba {
namespace {

TEST(UserFoldersWin32, BackupFolderIsUnderRoamingAppData) {
    const std::wstring folder = backup_folder_path();
    EXPECT_TRUE(folder.ends_with(L"\\Corvane\\NIMBA\\backups")) << folder.size();
    EXPECT_GT(folder.size(), std::wstring_view(L"\\Corvane\\NIMBA\\backups").size());
}

} // namespace
} // namespace nimba
