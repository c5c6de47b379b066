// The hit-region list the renderer fills in every pass: registration (keyed by id and kind,
// hover flags kept), the page each region answers on and the lookups the event handler and the
// hover colours use. GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

namespace nimba {

// Where a region answers: always (the left panel), only while the cabinet page is closed (the
// main screen it covers), only while the page is open (the page's own controls), or only while
// the import's preview is open (which takes every click while it is).
enum class screen_page : uint8_t { any, main, cabinet, preview };

enum : int32_t { region_hover = 2, region_click = 3, region_wheel = 7 };

struct hit_region {
    int32_t id = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t kind = 0; // region_hover, region_click or region_wheel
    uint8_t hovered = 0;
    screen_page page = screen_page::any; // the page the region was registered for
};

struct rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// The smallest rectangle holding both; an empty one (no width or height) holds nothing.
rect bounding(rect a, rect b);

// Overwrites the geometry and page of the region with this id and kind, keeping its hover
// flag, or appends a new one with the flag clear. Never removes a region.
void register_region(std::vector<hit_region>& regions, int32_t id, rect r, int32_t kind,
                     screen_page page);

// The hover flag of the hover region with this id; false when there is none.
bool hovered(const std::vector<hit_region>& regions, int32_t id);

// Both edges included, so a region of width w spans w + 1 pointer positions.
bool region_contains(const hit_region& region, int32_t px, int32_t py);

// Whether what belongs to `page` answers while `shown` (main, cabinet or preview) is what the
// screen shows.
bool page_active(screen_page page, screen_page shown);
inline bool region_active(const hit_region& region, screen_page shown) {
    return page_active(region.page, shown);
}

void clear_hovers(std::vector<hit_region>& regions);

} // namespace nimba
