// The built-in pictures: ten colour pictures and nineteen masks, embedded in the program as
// PNG (the channel pictures as their XOR with the amplifier) and decoded into "RI"/"RM" blobs
// the first time they are asked for, once per process. Any thread.
#pragma once

#include <string>

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

// The picture's "RI"/"RM" blob, decoded on the first call from any thread (others asking
// meanwhile wait for it) and kept until the process ends, at the same address. An empty blob
// for a value outside the enum or a picture that cannot be decoded (picture_fault says why).
blob picture_blob(picture p);

// The picture's name as the artwork calls it ("amplifier", "icon_store"); "" outside the enum.
const char* picture_name(picture p);

// The picture as embedded: its PNG bytes.
blob picture_png(picture p);

// Why the picture cannot be drawn, naming it: its PNG does not read as its kind or is damaged
// (png_picture_fault), or decoding it failed. Empty when neither is known; decodes nothing.
std::string picture_fault(picture p);

// The first fault among all the pictures, for a start-up check; empty when there is none.
std::string pictures_fault();

// Gives the memory pages of every picture's PNG back to the system once the start-up check has
// read them: the bytes stay as they are, and a picture decoded later reads its own again.
void release_picture_pngs();

} // namespace nimba
