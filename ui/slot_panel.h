// The slot panel (cabinet diagram, the six user IR slot rows, the tolex row) and the cabinet
// page (factory cabinet title, arrows, buttons, audition switch, description or list). Drawn
// by the screen renderer inside its pass. GUI thread only.
#pragma once

#include <string_view>

#include "core/state.h"
#include "ui/controls.h"
#include "ui/text_buffer.h"

namespace nimba {

// The slot panel's heading over the six slot rows.
inline constexpr std::wstring_view slot_panel_title = L"VIRTUAL CAB";

// What a slot row shows: the name after its last '/' or '\', or "NO IR SELECTED" when the
// amplifier reported no name. Copied under the slot-name lock into a stack buffer.
text_buffer displayed_slot_name(const editor_state& state, int slot);

// A factory cabinet's name, with " (MAIN)" after it for a main cabinet; empty for an index
// outside the library.
text_buffer cabinet_title(const editor_state& state, int32_t cabinet);

// The slot whose row holds the point (x, y) in drawing units; -1 for none. Where a file dropped
// on the window goes.
int32_t slot_row_at(int32_t x, int32_t y);

void draw_slot_panel(frame& f, const program_record& program);
void draw_cabinet_page(frame& f);

} // namespace nimba
