// The screen renderer: one pass draws the amplifier picture, the top bar, the switch row, the
// slot panel, the status bar, the status texts and veil, the link pill and the cabinet page,
// registering every control's hit regions as it goes. GUI thread only, inside a drawing pass.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/assets/pictures.h"
#include "core/state.h"
#include "ui/ui_context.h"

namespace nimba {

// The colour of the current channel and mode, and the channel picture its lamp, selector
// centre and IR dot are copied from. Every value on the screen is read in range (read_value).
struct channel_look {
    uint32_t accent;
    picture channel_picture;
};
channel_look channel_look_of(const program_record& program);

// The colour pictures a frame draws for the tolex colour and the program: the amplifier, the
// tolex overlay (picture::count for black, which has none) and the channel picture.
std::array<picture, 3> pictures_drawn(int32_t tolex_colour, const program_record& program);

// Where the 1400 x 1200 amplifier picture goes for a view of W x H drawing units: a uniform
// scale and the picture's origin in scaled units.
struct amplifier_placement {
    float scale;
    int32_t x0;
    int32_t y0;
};
amplifier_placement place_amplifier(int32_t view_width, int32_t view_height);

// Draws the whole screen from the state on ui.target (not null), registers every control's
// regions in ui.hit_regions and stores the pass's accent colour in ui.accent. A non-empty
// `outcome` takes the place of the status bar's left text, unless a transfer, a store or a walk
// through the programs shows its progress there.
void render_screen(editor_state& state, ui_context& ui, std::wstring_view outcome = {});

} // namespace nimba
