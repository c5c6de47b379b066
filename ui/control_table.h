// The screen's controls, one row each: id, kind, the page it belongs to and its action. The
// renderer registers a control's regions from its row; the event handler runs the row's action
// when a region is clicked or wheeled. GUI thread only.
#pragma once

#include <cstdint>

#include "core/state.h"
#include "ui/hit_regions.h"
#include "ui/ui_context.h"

namespace nimba {

// Control ids, in the order of the rows; a row with a count takes that many ids.
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
    id_slot_radio0 = 9, // 9..14
    id_import0 = 15,    // 15..20
    id_cabinet_prev = 21,
    id_cabinet_next = 22,
    id_extract_all = 23,
    id_select = 24,
    id_cabinet_title = 25,
    id_cabinet_row0 = 26, // 26..37
    id_audition = 38,
    id_page_button0 = 39, // 39..44
    id_tolex_down = 45,
    id_tolex_up = 46,
    control_id_count = 47,
};

// button: hover and click regions; wheel: one wheel region.
enum class control_kind : uint8_t { button, wheel };

// Which of a row's controls was hit, and the wheel's notches for a wheel control.
struct control_hit {
    int32_t index = 0; // id minus the row's first id
    int32_t wheel_steps = 0;
};

// What an action asks of the event handler besides its own edits to the state.
struct control_effect {
    bool gap_first = false;         // the link leaves command_gap_ms before the command too
    int32_t command = command_none; // posted with command_gap_ms after it; hover flags cleared
    bool clear_hovers = false;
    bool send = false; // the edit reaches the amplifier: repaint and post a send after the walk
    bool repaint = false;
    bool list_opened = false; // the click opened the cabinet list, so it stays open
};

using control_action = control_effect (*)(editor_state& state, ui_context& ui, control_hit hit);

struct control_row {
    int32_t id;
    int32_t count; // ids id .. id + count - 1, one per slot, cabinet or page
    control_kind kind;
    screen_page page;
    control_action action;
};

// The row whose ids include `id`; null for an id no control has.
const control_row* find_control(int32_t id);

} // namespace nimba
