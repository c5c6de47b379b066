// The backup folder on POSIX systems, from the environment.
#include <cstdlib>

#include "core/user_folders.h"

namespace nimba {

std::wstring backup_folder_path() {
    return xdg_backup_folder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

} // namespace nimba
