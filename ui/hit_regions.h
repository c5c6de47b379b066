// The hit-region list of the editor state: registration by the renderer (keyed by id and kind,
// hover flags kept) and the lookups the event handler and the hover colours use. GUI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/state.h"

namespace nimba {

// Control ids: one per control the screen draws.
enum : int32_t {
    id_store = 0,
    id_midi_down = 1,
    id_midi_up = 2,
    id_program_pill = 3,
    id_program_down = 4,
    id_program_up = 5,
    id_channel = 6,
    id_ir_bypass = 7,
    id_galaxy = 8,
    id_slot_radio0 = 9,   // 9..14
    id_import0 = 15,      // 15..20
    id_cabinet_prev = 21, // first of the cabinet page's controls
    id_cabinet_next = 22,
    id_extract_all = 23,
    id_select = 24,
    id_cabinet_title = 25,
    id_cabinet_row0 = 26, // 26..37
    id_audition = 38,     // last of the cabinet page's controls
    id_page_button0 = 39, // 39..44
    id_tolex_down = 45,
    id_tolex_up = 46,
};

struct rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Overwrites the geometry of the region with this id and kind, keeping its hover flag, or
// appends a new one with the flag clear. Never removes a region.
void register_region(std::vector<hit_region>& regions, int32_t id, rect r, int32_t kind);

// The hover flag of the hover region with this id; false when there is none.
bool hovered(const std::vector<hit_region>& regions, int32_t id);

// Both edges included, so a region of width w spans w + 1 pointer positions.
bool region_contains(const hit_region& region, int32_t px, int32_t py);

void clear_hovers(std::vector<hit_region>& regions);

} // namespace nimba
