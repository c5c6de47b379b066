// Hit-region registration and lookups.
#include "ui/hit_regions.h"

#include <algorithm>

namespace nimba {

void register_region(std::vector<hit_region>& regions, int32_t id, rect r, int32_t kind,
                     screen_page page) {
    for (hit_region& region : regions) {
        if (region.id == id && region.kind == kind) {
            region.x = r.x, region.y = r.y, region.width = r.width, region.height = r.height;
            region.page = page;
            return;
        }
    }
    regions.push_back({id, r.x, r.y, r.width, r.height, kind, 0, page});
}

rect bounding(rect a, rect b) {
    if (a.width <= 0 || a.height <= 0) return b;
    if (b.width <= 0 || b.height <= 0) return a;
    const int32_t x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    const int32_t right = std::max(a.x + a.width, b.x + b.width);
    const int32_t bottom = std::max(a.y + a.height, b.y + b.height);
    return {x, y, right - x, bottom - y};
}

bool hovered(const std::vector<hit_region>& regions, int32_t id) {
    for (const hit_region& region : regions)
        if (region.id == id && region.kind == region_hover) return region.hovered != 0;
    return false;
}

bool region_contains(const hit_region& region, int32_t px, int32_t py) {
    // 64-bit sums: a region far out on a huge view must not wrap around.
    return region.x <= px && int64_t{px} <= int64_t{region.x} + region.width && region.y <= py &&
           int64_t{py} <= int64_t{region.y} + region.height;
}

bool page_active(screen_page page, screen_page shown) {
    if (shown == screen_page::preview) return page == screen_page::preview;
    return page == screen_page::any || page == shown;
}

void clear_hovers(std::vector<hit_region>& regions) {
    for (hit_region& region : regions) region.hovered = 0;
}

} // namespace nimba
