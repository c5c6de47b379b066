// The backup folder on Windows: under the roaming application data folder of the user.
#include <windows.h>

#include <shlobj.h>

#include "core/user_folders.h"

namespace nimba {

std::wstring backup_folder_path() {
    PWSTR found = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &found)))
        folder = std::wstring(found) + L"\\Corvane\\NIMBA\\backups";
    CoTaskMemFree(found);
    return folder;
}

} // namespace nimba
