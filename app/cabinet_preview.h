// The import's preview as the editions drive it: a file the worker picked taken into the
// preview, a file dropped on a slot's row, the preview and the cabinet page's plot worked out
// before they are drawn, then the event handed to the event handler. GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

// Every editor event goes through here on its way to handle_event.
void editor_event(editor_state& state, ui_context& ui, int32_t event);

// Opens the preview of `file` (or of why it could not be read) for `slot` 0..5, named `name`;
// a refused file shows why in the preview, and in the status bar. The entry every way of
// choosing a file ends in: the worker's picker, a native drop, the browser's drop event.
void open_cabinet_preview(editor_state& state, ui_context& ui, int32_t slot, std::wstring name,
                          std::vector<uint8_t> file, std::string read_error = {});

// Files dropped at (x, y) in drawing units: on a slot's row, one file opens its preview and
// several open the preview refusing them (one slot, one file); anywhere else they are ignored.
// False when ignored. Input is taken only while connected and no preview is open.
bool drop_files(editor_state& state, ui_context& ui, int32_t x, int32_t y,
                const std::vector<std::wstring>& paths);

} // namespace nimba
