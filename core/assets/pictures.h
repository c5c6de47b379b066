// The built-in pictures: ten "RI" colour pictures and nineteen "RM" masks, embedded in the
// program. Read-only; any thread.
#pragma once

#include "core/assets/blobs.h"

namespace nimba {

enum class picture : int {
    amplifier,
    tolex_snake_skin,
    tolex_purple,
    tolex_red,
    tolex_turquoise,
    tolex_white,
    channel_blue,   // channel picture 1: channels 0/1 in mode 0
    channel_violet, // channel picture 2: mode 1
    channel_red,    // channel picture 3: mode 2
    channel_green,  // channel picture 4: channel 2
    logo,
    icon_store,
    icon_midi,
    icon_link,
    icon_import,
    icon_page,
    icon_virtual_cab,
    icon_custom_shop,
    arrow_left,
    arrow_right,
    diagram_base,
    diagram_accent,
    diagram_slot_0,
    diagram_slot_1,
    diagram_slot_2,
    diagram_slot_3,
    diagram_slot_4,
    diagram_slot_5,
    maker_mark,
    count
};

// The blob of a picture; an empty blob when the program carries none.
blob picture_blob(picture p);

} // namespace nimba
