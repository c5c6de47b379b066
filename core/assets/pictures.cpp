// The built-in pictures, embedded by the build (core/assets/art.cmake) from the rasterised
// artwork. The list below follows the order of the picture enum.
#include "core/assets/pictures.h"

#include <cstddef>
#include <iterator>

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

#define NIMBA_DECLARE_BLOB(name)                                                                   \
    extern "C" const unsigned char nimba_blob_art_##name[];                                        \
    extern "C" const unsigned char nimba_blob_art_##name##_end[];
NIMBA_ART_PICTURES(NIMBA_DECLARE_BLOB)
#undef NIMBA_DECLARE_BLOB

namespace nimba {

namespace {

struct embedded_blob {
    const unsigned char* begin;
    const unsigned char* end;
};

#define NIMBA_BLOB_ENTRY(name) {nimba_blob_art_##name, nimba_blob_art_##name##_end},
const embedded_blob embedded[] = {NIMBA_ART_PICTURES(NIMBA_BLOB_ENTRY)};
#undef NIMBA_BLOB_ENTRY

static_assert(std::size(embedded) == static_cast<size_t>(picture::count),
              "one embedded blob for each picture");

} // namespace

blob picture_blob(picture p) {
    const auto i = static_cast<size_t>(p);
    if (i >= std::size(embedded)) return {};
    return {embedded[i].begin, static_cast<size_t>(embedded[i].end - embedded[i].begin)};
}

} // namespace nimba
