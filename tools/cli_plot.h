// ir-info's --plot: the editor's preview of an IR drawn with the cairo canvas into a PNG file.
// Linux builds only (the Windows canvas needs a window). One thread.
#pragma once

#include <string>

#include "core/ir_preview.h"

namespace nimba {

// Draws the preview panel as the editor shows it (blue accent) and writes it as a PNG at
// `path`, whole or not at all. Empty on success, else why it was not written.
std::string write_preview_png(const ir_preview& preview, const std::wstring& path);

} // namespace nimba
