// Hit-region registration and lookups.
#include "ui/hit_regions.h"

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

bool region_active(const hit_region& region, screen_page shown) {
    if (shown == screen_page::preview) return region.page == screen_page::preview;
    return region.page == screen_page::any || region.page == shown;
}

void clear_hovers(std::vector<hit_region>& regions) {
    for (hit_region& region : regions) region.hovered = 0;
}

} // namespace nimba
