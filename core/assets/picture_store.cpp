// Where the pictures' PNG bytes live: embedded in the program by the build
// (core/assets/art.cmake) from the rasterised artwork, one blob for each name of
// picture_list.h.
#include <iterator>

#include "core/assets/picture_list.h"
#include "core/assets/pictures.h"
#include "core/memory_pages.h"

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

bool in_range(picture p) {
    return static_cast<size_t>(p) < std::size(embedded);
}

} // namespace

blob picture_png(picture p) {
    if (!in_range(p)) return {};
    const embedded_blob& e = embedded[static_cast<size_t>(p)];
    return {e.begin, static_cast<size_t>(e.end - e.begin)};
}

void release_picture_pngs() {
    for (const embedded_blob& e : embedded) release_file_pages(e.begin, e.end - e.begin);
}

} // namespace nimba
