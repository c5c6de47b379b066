// Files in the browser edition: the path picker over the page's file input (the chosen file is
// copied into the in-memory file system first), a file dropped on the page handed to the next
// WAV pick, a folder's files offered as one zip download and a backup offered as a download. The
// picker and the download run on the worker and wait for the main thread; the drop arrives on the
// main thread.
#pragma once

#include <string>

#include "ir/picker.h"

namespace nimba {

// The in-memory folder EXTRACT ALL writes into before its files become the download.
inline constexpr const wchar_t* web_export_folder = L"/extract";
// The in-memory file BACKUP writes before it becomes the download.
inline constexpr const wchar_t* web_backup_file = L"/backup/nimba-programs.json";

// Worker: a WAV file or a backup to restore asks the page's file input (a WAV pick may take a
// dropped file waiting for it) and waits for the choice; a folder is web_export_folder,
// emptied; a backup to write is web_backup_file, its folder made.
std::wstring pick_path_web(pick_mode mode);

// Main thread: the next WAV pick returns `path` (a dropped file already in the file system)
// without asking.
void hand_dropped_file(std::wstring path);

// Worker: the files of `folder` (names in order) as one zip download named `download_name`;
// false when there is nothing to offer or the archive cannot be made.
bool offer_folder_as_zip(const std::wstring& folder, const std::string& download_name);

// Worker: the file at `path` as a download under its own name; false when it cannot be read.
bool offer_file_download(const std::wstring& path);

} // namespace nimba
