// The import's preview panel (the converted IR's waveform and magnitude response, its figures,
// the channel, level and tail switches, SEND and CANCEL) and the two plots it shares with the
// cabinet page. Drawn by the screen renderer inside its pass, or alone by nimba-cli's ir-info.
// GUI thread only.
#pragma once

#include "core/ir_preview.h"
#include "ui/controls.h"

namespace nimba {

inline constexpr int32_t preview_panel_width = 730;
inline constexpr int32_t preview_panel_height = 560;

// Where the panel goes on a view of W x H: centred over the main area right of the slot panel.
rect preview_panel_place(int32_t view_width, int32_t view_height);

// The waveform (0 to 85.3 ms, -1 to 1) and the magnitude response (20 Hz to 20 kHz on a log
// axis, dB against the factory median) of `plot`, with their grids and labels.
void draw_waveform(frame& f, const ir_plot& plot, rect r);
void draw_response(frame& f, const ir_plot& plot, rect r);

// The panel at (x, y), its controls registered for the preview page.
void draw_preview_panel(frame& f, const ir_preview& preview, int32_t x, int32_t y);

} // namespace nimba
