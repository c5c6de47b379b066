// The built-in pictures, embedded as PNG by the build (core/assets/art.cmake) from the
// rasterised artwork, and their decoded blobs. The list below follows the order of the picture
// enum.
#include "core/assets/pictures.h"

#include <atomic>
#include <cstddef>
#include <iterator>
#include <mutex>

#include "core/assets/picture_png.h"
#include "core/memory_pages.h"

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
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};

#define NIMBA_BLOB_ENTRY(name) {#name, nimba_blob_art_##name, nimba_blob_art_##name##_end},
const embedded_blob embedded[] = {NIMBA_ART_PICTURES(NIMBA_BLOB_ENTRY)};
#undef NIMBA_BLOB_ENTRY

static_assert(std::size(embedded) == static_cast<size_t>(picture::count),
              "one embedded blob for each picture");

constexpr size_t first_mask = static_cast<size_t>(picture::logo);

// A picture's decoded blob, made once and never moved or freed before the process ends: the
// canvases know a picture by its blob's address.
struct decoded_picture {
    std::once_flag once;
    std::atomic<bool> done{false}; // result is written and final
    png_picture result;
};
decoded_picture decoded[std::size(embedded)];

bool in_range(picture p) {
    return static_cast<size_t>(p) < std::size(embedded);
}

picture_kind kind_of(picture p) {
    return static_cast<size_t>(p) < first_mask ? picture_kind::colour : picture_kind::mask;
}

std::string named(picture p, const std::string& fault) {
    return "the picture \"" + std::string(picture_name(p)) + "\": " + fault;
}

} // namespace

blob picture_png(picture p) {
    if (!in_range(p)) return {};
    const embedded_blob& e = embedded[static_cast<size_t>(p)];
    return {e.begin, static_cast<size_t>(e.end - e.begin)};
}

const char* picture_name(picture p) {
    return in_range(p) ? embedded[static_cast<size_t>(p)].name : "";
}

blob picture_blob(picture p) {
    if (!in_range(p)) return {};
    decoded_picture& d = decoded[static_cast<size_t>(p)];
    std::call_once(d.once, [&] {
        d.result = picture_from_png(picture_png(p), kind_of(p));
        d.done.store(true, std::memory_order_release);
    });
    if (d.result.blob_bytes.empty()) return {};
    return {d.result.blob_bytes.data(), d.result.blob_bytes.size()};
}

std::string picture_fault(picture p) {
    if (!in_range(p)) return "no such picture";
    if (std::string png = png_picture_fault(picture_png(p), kind_of(p)); !png.empty())
        return named(p, png);
    // A decode not yet finished has no fault yet.
    const decoded_picture& d = decoded[static_cast<size_t>(p)];
    if (!d.done.load(std::memory_order_acquire) || d.result.fault.empty()) return {};
    return named(p, d.result.fault);
}

std::string pictures_fault() {
    for (size_t i = 0; i < std::size(embedded); ++i) {
        if (std::string fault = picture_fault(static_cast<picture>(i)); !fault.empty())
            return fault;
    }
    return {};
}

void release_picture_pngs() {
    for (const embedded_blob& e : embedded) release_file_pages(e.begin, e.end - e.begin);
}

} // namespace nimba
