// Focus stops and their moves.
#include "ui/focus.h"

#include "ui/control_table.h"

namespace nimba {

namespace {

int32_t place_in_order(int32_t id) {
    for (int32_t i = 0; i < focus_stop_count; ++i)
        if (reading_order[i] == id) return i;
    return -1;
}

} // namespace

int32_t focus_stop_of(int32_t id) {
    const control_row* row = find_control(id);
    if (!row) return -1;
    if (row->role != access_role::part) return id;
    for (int32_t stop : reading_order) {
        const control_row* spin = find_control(stop);
        if (spin->step_down == row->id || spin->step_up == row->id) return stop;
    }
    return -1;
}

int32_t next_focus_stop(const editor_state& state, const ui_context& ui, int32_t from,
                        bool forward) {
    const int32_t place = place_in_order(focus_stop_of(from));
    const int32_t step = forward ? 1 : focus_stop_count - 1;
    int32_t i = place >= 0 ? place : forward ? focus_stop_count - 1 : 0;
    for (int32_t n = 0; n < focus_stop_count; ++n) {
        i = (i + step) % focus_stop_count;
        if (control_shown(state, ui, reading_order[i])) return reading_order[i];
    }
    return -1;
}

int32_t neighbour_in_group(int32_t id, bool forward) {
    const control_row* row = find_control(id);
    if (!row || (row->role != access_role::radio && row->role != access_role::list_item)) return -1;
    const int32_t index = id - row->id;
    return row->id + (forward ? index + 1 : index + row->count - 1) % row->count;
}

bool in_focus_ring(const editor_state& state, const ui_context& ui, int32_t id) {
    if (!ui.focus_shown || ui.focus < 0 || !control_shown(state, ui, ui.focus)) return false;
    if (id == ui.focus) return true;
    const control_row* row = find_control(ui.focus);
    return row && (id == row->step_down || id == row->step_up);
}

} // namespace nimba
