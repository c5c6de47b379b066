// The path picker seam: asks the user for a WAV file or a folder. The Windows common item
// dialog (picker_win32.cpp) and GTK's file chooser (picker_gtk.cpp, which needs the GTK main
// loop running) implement it; tests and the command-line tool give a path.
// Worker thread only. An empty result means cancelled or no dialog.
#pragma once

#include <functional>
#include <string>

namespace nimba {

enum class pick_mode { wav_file, folder };

using path_picker = std::function<std::wstring(pick_mode)>;

// The platform's dialog: the common item dialog on Windows, GTK's file chooser elsewhere.
std::wstring pick_path(pick_mode mode);

} // namespace nimba
