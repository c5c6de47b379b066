// The path picker seam: asks the user for a WAV file or a folder. Each edition implements
// pick_path in its folder: the common item dialog (app/win32/picker_win32.cpp), GTK's file
// chooser (app/gtk/picker_gtk.cpp, which needs the GTK main loop running); tests and the
// command-line tool give a path.
// Worker thread only. An empty result means cancelled or no dialog.
#pragma once

#include <functional>
#include <string>

namespace nimba {

enum class pick_mode { wav_file, folder };

using path_picker = std::function<std::wstring(pick_mode)>;

// The edition's dialog: the common item dialog on Windows, GTK's file chooser on Linux.
std::wstring pick_path(pick_mode mode);

} // namespace nimba
