// The path picker on Windows: the common item dialog in file-open, file-save or folder mode,
// with no owner window, so the main window stays live while the worker waits in it. A backup to
// restore is looked for first where the editor keeps its own backups.
#include <windows.h>

#include <shobjidl.h>
#include <wrl/client.h>

#include <filesystem>

#include "core/user_folders.h"
#include "ir/picker.h"

namespace nimba {

namespace {

using Microsoft::WRL::ComPtr;

// Opens the dialog in the folder, when it exists.
void start_in(IFileDialog& dialog, const std::wstring& folder) {
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) return;
    ComPtr<IShellItem> item;
    if (SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(&item))))
        dialog.SetFolder(item.Get());
}

void set_up(IFileDialog& dialog, pick_mode mode) {
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog.GetOptions(&options))) return;
    options |= FOS_FORCEFILESYSTEM;
    if (mode == pick_mode::folder) {
        dialog.SetOptions(options | FOS_PICKFOLDERS);
        return;
    }
    dialog.SetOptions(options);
    if (mode == pick_mode::wav_file) {
        const COMDLG_FILTERSPEC types[] = {{L"Wave", L"*.wav;*.wave;"}};
        dialog.SetFileTypes(1, types);
        dialog.SetDefaultExtension(L"wav;wave");
        return;
    }
    const COMDLG_FILTERSPEC types[] = {{L"Backup of all programs", L"*.json"}};
    dialog.SetFileTypes(1, types);
    dialog.SetDefaultExtension(L"json");
    if (mode == pick_mode::backup_save) {
        dialog.SetTitle(L"Save Backup");
        dialog.SetFileName(L"nimba-programs.json");
    } else {
        dialog.SetTitle(L"Open Backup");
        start_in(dialog, backup_folder_path());
    }
}

} // namespace

std::wstring pick_path(pick_mode mode) {
    // The worker's first call joins a single-threaded apartment; later calls are no-ops.
    CoInitialize(nullptr);
    ComPtr<IFileDialog> dialog;
    const CLSID kind = mode == pick_mode::backup_save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog;
    if (FAILED(CoCreateInstance(kind, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return {};
    set_up(*dialog.Get(), mode);
    if (FAILED(dialog->Show(nullptr))) return {}; // cancelled, or no dialog could run
    std::wstring result;
    ComPtr<IShellItem> item;
    if (SUCCEEDED(dialog->GetResult(&item))) {
        PWSTR name = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &name)) && name) {
            result = name;
            CoTaskMemFree(name);
        }
    }
    return result;
}

} // namespace nimba
