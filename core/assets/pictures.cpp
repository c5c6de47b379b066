// The built-in pictures' decoded blobs, made from the PNG bytes picture_store.cpp holds.
#include "core/assets/pictures.h"

#include <atomic>
#include <cstddef>
#include <iterator>
#include <mutex>

#include "core/assets/picture_list.h"
#include "core/assets/picture_png.h"

namespace nimba {

namespace {

#define NIMBA_PICTURE_NAME(name) #name,
const char* const names[] = {NIMBA_ART_PICTURES(NIMBA_PICTURE_NAME)};
#undef NIMBA_PICTURE_NAME

static_assert(std::size(names) == static_cast<size_t>(picture::count), "one name for each picture");

constexpr size_t first_mask = static_cast<size_t>(picture::logo);

// A picture's decoded blob, made once and never moved or freed before the process ends: the
// canvases know a picture by its blob's address.
struct decoded_picture {
    std::once_flag once;
    std::atomic<bool> done{false}; // result is written and final
    png_picture result;
};
decoded_picture decoded[static_cast<size_t>(picture::count)];

bool in_range(picture p) {
    return static_cast<size_t>(p) < static_cast<size_t>(picture::count);
}

picture_kind kind_of(picture p) {
    return static_cast<size_t>(p) < first_mask ? picture_kind::colour : picture_kind::mask;
}

std::string named(picture p, const std::string& fault) {
    return "the picture \"" + std::string(picture_name(p)) + "\": " + fault;
}

// The channel pictures are the amplifier with its lamps lit, a few hundred pixels apart: each is
// stored as its XOR with the amplifier (art_raster writes them so). picture::count for a picture
// stored whole.
picture stored_against(picture p) {
    switch (p) {
    case picture::channel_blue:
    case picture::channel_violet:
    case picture::channel_red:
    case picture::channel_green:
        return picture::amplifier;
    default:
        return picture::count;
    }
}

png_picture decode(picture p) {
    const picture base = stored_against(p);
    if (base == picture::count) return picture_from_png(picture_png(p), kind_of(p));
    const blob base_blob = picture_blob(base);
    if (!base_blob.data)
        return {{},
                "stored against \"" + std::string(picture_name(base)) +
                    "\", which cannot be decoded"};
    return picture_from_png_over(picture_png(p), kind_of(p), base_blob);
}

} // namespace

const char* picture_name(picture p) {
    return in_range(p) ? names[static_cast<size_t>(p)] : "";
}

blob picture_blob(picture p) {
    if (!in_range(p)) return {};
    decoded_picture& d = decoded[static_cast<size_t>(p)];
    std::call_once(d.once, [&] {
        d.result = decode(p);
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
    for (size_t i = 0; i < static_cast<size_t>(picture::count); ++i) {
        if (std::string fault = picture_fault(static_cast<picture>(i)); !fault.empty())
            return fault;
    }
    return {};
}

} // namespace nimba
