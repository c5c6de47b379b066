// The XDG base-directory rule for the backup folder, portable so every build can test it.
#include "core/user_folders.h"

#include <string_view>

#include "core/file_access.h"

namespace nimba {

std::wstring xdg_backup_folder(const char* xdg_data_home, const char* home) {
    const auto absolute = [](const char* path) { return path && path[0] == '/'; };
    if (absolute(xdg_data_home)) return wide_from_utf8(xdg_data_home) + L"/nimba/backups";
    if (absolute(home)) return wide_from_utf8(home) + L"/.local/share/nimba/backups";
    return {};
}

} // namespace nimba
