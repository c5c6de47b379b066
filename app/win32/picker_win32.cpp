// The path picker on Windows: the common item dialog in file-open or folder mode, with no
// owner window, so the main window stays live while the worker waits in it.
#include <windows.h>

#include <shobjidl.h>
#include <wrl/client.h>

#include "ir/picker.h"

namespace nimba {

std::wstring pick_path(pick_mode mode) {
    // The worker's first call joins a single-threaded apartment; later calls are no-ops.
    CoInitialize(nullptr);
    Microsoft::WRL::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog))))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options))) {
        if (mode == pick_mode::wav_file) {
            dialog->SetOptions(options | FOS_FORCEFILESYSTEM);
            const COMDLG_FILTERSPEC types[] = {{L"Wave", L"*.wav;*.wave;"}};
            dialog->SetFileTypes(1, types);
            dialog->SetDefaultExtension(L"wav;wave");
        } else {
            dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
        }
    }
    if (FAILED(dialog->Show(nullptr))) return {}; // cancelled, or no dialog could run
    std::wstring result;
    Microsoft::WRL::ComPtr<IShellItem> item;
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
