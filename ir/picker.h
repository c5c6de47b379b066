// The path picker seam: asks the user for a WAV file or a folder. The Windows common item
// dialog implements it (picker_win32.cpp); tests and the command-line tool give a path.
// Worker thread only. An empty result means cancelled or no dialog.
#pragma once

#include <functional>
#include <string>

namespace nimba {

enum class pick_mode { wav_file, folder };

using path_picker = std::function<std::wstring(pick_mode)>;

// The Windows common item dialog (Windows builds only).
std::wstring pick_path(pick_mode mode);

} // namespace nimba
