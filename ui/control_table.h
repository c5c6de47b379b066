// The screen's controls, one row each: id, kind, the page it belongs to, its action, and what
// assistive technology is told of it (role, name, state). The renderer registers a control's
// regions from its row; the event handler runs the row's action when a region is clicked or
// wheeled, or a key reaches the control; the keyboard's reading order is declared here too.
// GUI thread only.
#pragma once

#include <array>
#include <cstdint>

#include "core/state.h"
#include "ui/hit_regions.h"
#include "ui/text_buffer.h"
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
    id_backup = 47,
    id_restore = 48,
    id_restore_yes = 49, // the restore question's RESTORE
    id_restore_no = 50,  // ... and its CANCEL
    control_id_count = 51,
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

// What a control is to assistive technology. A part (a spin's arrow) is no control of its own:
// the spin it belongs to names it as a stepper.
enum class access_role : uint8_t { part, button, toggle, radio, spin, list_item };

// A control's name and state as the screen shows them now.
struct control_access {
    text_buffer name;
    bool enabled = true;
    bool on = false;                             // toggle on; radio or list item selected
    int32_t value = 0, minimum = 0, maximum = 0; // spin, in steps of 1
    text_buffer value_text;                      // spin: the value as the screen words it
};

// Fills in what changes with the state: the name past the row's fixed part, the state, a
// spin's value. `index` is the id minus the row's first id.
using access_reader = void (*)(const editor_state& state, const ui_context& ui, int32_t index,
                               control_access& access);

struct control_row {
    int32_t id;
    int32_t count; // ids id .. id + count - 1, one per slot, cabinet or page
    control_kind kind;
    screen_page page;
    control_action action;
    access_role role = access_role::part;
    std::wstring_view name = {}; // the label on screen, or the words an icon stands for
    access_reader read = nullptr;
    int32_t step_down = -1; // spin: the controls whose clicks step it down and up
    int32_t step_up = -1;
};

// The row whose ids include `id`; null for an id no control has.
const control_row* find_control(int32_t id);

// Every control that takes the keyboard's focus, in reading order: the top bar, the switch row
// or the cabinet page in its place, then the slot panel with BACKUP and RESTORE and the restore
// question after them. Parts are left out.
inline constexpr int32_t focus_stop_count = 45;
inline constexpr std::array<int32_t, focus_stop_count> reading_order = [] {
    std::array<int32_t, focus_stop_count> order{};
    size_t n = 0;
    for (int32_t id : {id_store, id_program_pill, id_midi_down, id_channel, id_galaxy, id_ir_bypass,
                       id_cabinet_title})
        order[n++] = id;
    for (int32_t k = 0; k < cabinet_count; ++k) order[n++] = id_cabinet_row0 + k;
    for (int32_t id : {id_audition, id_extract_all, id_select}) order[n++] = id;
    for (int32_t k = 0; k < slot_count; ++k)
        for (int32_t id : {id_slot_radio0, id_import0, id_page_button0}) order[n++] = id + k;
    for (int32_t id : {id_backup, id_restore, id_restore_yes, id_restore_no}) order[n++] = id;
    order[n++] = id_tolex_down;
    return order;
}();

// Whether Space on control `id` clicks it: a button that is not its own spin's down stepper
// (the MIDI channel and the tolex colour have no click of their own).
inline bool control_pressable(const control_row& row, int32_t id) {
    return row.kind == control_kind::button && row.step_down != id;
}

// Whether the control answers now: its page is the one shown, a listed cabinet only while the
// list is open, and the restore question's buttons only while it is asked.
bool control_shown(const editor_state& state, int32_t id);

// The name, state and value of control `id` (not a part) as assistive technology reads them.
control_access read_control_access(const editor_state& state, const ui_context& ui, int32_t id);

} // namespace nimba
