// The pictures' names, in the order of the picture enum, as one list: picture_name's table
// (pictures.cpp) and the embedded PNG blobs (picture_store.cpp) expand it. A macro list only;
// no thread concerns.
#pragma once

#define NIMBA_ART_PICTURES(X)                                                                      \
    X(amplifier)                                                                                   \
    X(tolex_snake_skin)                                                                            \
    X(tolex_purple)                                                                                \
    X(tolex_red)                                                                                   \
    X(tolex_turquoise)                                                                             \
    X(tolex_white)                                                                                 \
    X(channel_blue)                                                                                \
    X(channel_violet)                                                                              \
    X(channel_red)                                                                                 \
    X(channel_green)                                                                               \
    X(logo)                                                                                        \
    X(icon_store)                                                                                  \
    X(icon_midi)                                                                                   \
    X(icon_link)                                                                                   \
    X(icon_import)                                                                                 \
    X(icon_page)                                                                                   \
    X(icon_virtual_cab)                                                                            \
    X(icon_custom_shop)                                                                            \
    X(arrow_left)                                                                                  \
    X(arrow_right)                                                                                 \
    X(diagram_base)                                                                                \
    X(diagram_accent)                                                                              \
    X(diagram_slot_0)                                                                              \
    X(diagram_slot_1)                                                                              \
    X(diagram_slot_2)                                                                              \
    X(diagram_slot_3)                                                                              \
    X(diagram_slot_4)                                                                              \
    X(diagram_slot_5)                                                                              \
    X(maker_mark)
