// The path picker seam (pick_mode and path_picker in core/seams.h): asks the user for a WAV
// file, a folder or a backup file. Each edition implements
// pick_path in its folder: the common item dialog (app/win32/picker_win32.cpp), GTK's file
// chooser (app/gtk/picker_gtk.cpp, which needs the GTK main loop running); tests and the
// command-line tool give a path.
// Worker thread only. An empty result means cancelled or no dialog.
#pragma once

#include <string>

#include "core/seams.h"

namespace nimba {

// The edition's dialog: the common item dialog on Windows, GTK's file chooser on Linux.
std::wstring pick_path(pick_mode mode);

} // namespace nimba
