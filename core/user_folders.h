// The folder in the user's profile where the editor keeps the backups of all programs it makes
// before every firmware update: %APPDATA%\Corvane\NIMBA\backups on Windows,
// $XDG_DATA_HOME/nimba/backups elsewhere. Any thread.
#pragma once

#include <string>

namespace nimba {

// The platform's backup folder; empty when the profile cannot be found. It may not exist yet.
std::wstring backup_folder_path();

// The XDG rule: <xdg_data_home>/nimba/backups, or <home>/.local/share/nimba/backups when
// xdg_data_home is unset, empty or not absolute; empty when neither gives an absolute path.
std::wstring xdg_backup_folder(const char* xdg_data_home, const char* home);

} // namespace nimba
