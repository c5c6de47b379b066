// The control table and the actions of its rows.
#include "ui/control_table.h"

#include <array>

#include "ui/slot_panel.h"

namespace nimba {

namespace {

int32_t step_down(int32_t value, int32_t top) {
    return value <= 0 ? top : value - 1;
}

int32_t step_up(int32_t value, int32_t top) {
    return value >= top ? 0 : value + 1;
}

// An amplifier value stepped from where it reads, wrapping at the ends of its range.
int32_t stepped(amp_value value, int32_t raw, int32_t step) {
    const int32_t v = value_in_range(value, raw);
    const int32_t top = row_of(value).high;
    return step < 0 ? step_down(v, top) : step_up(v, top);
}

int32_t cycle_of_three(int32_t value) {
    return value == 0 ? 1 : value == 1 ? 2 : 0;
}

constexpr control_effect sent{.send = true};
constexpr control_effect repainted{.repaint = true};

constexpr control_effect posted(int32_t command) {
    return {.command = command};
}

control_effect store(editor_state&, ui_context&, control_hit) {
    return posted(command_store);
}

control_effect midi_down(editor_state& s, ui_context&, control_hit) {
    s.midi_channel = stepped(amp_value::midi_channel, s.midi_channel, -1);
    return sent;
}

control_effect midi_up(editor_state& s, ui_context&, control_hit) {
    s.midi_channel = stepped(amp_value::midi_channel, s.midi_channel, 1);
    return sent;
}

control_effect program_wheel(editor_state& s, ui_context&, control_hit hit) {
    s.program = hit.wheel_steps < 0 ? step_down(s.program, program_count - 1)
                                    : step_up(s.program, program_count - 1);
    return sent;
}

control_effect program_down(editor_state& s, ui_context&, control_hit) {
    s.program = step_down(s.program, program_count - 1);
    return sent;
}

control_effect program_up(editor_state& s, ui_context&, control_hit) {
    s.program = step_up(s.program, program_count - 1);
    return sent;
}

control_effect next_channel(editor_state& s, ui_context&, control_hit) {
    program_record& program = current_program(s);
    program.channel = cycle_of_three(read_value(program, amp_value::channel));
    return sent;
}

control_effect toggle_bypass(editor_state& s, ui_context&, control_hit) {
    program_record& program = current_program(s);
    program.ir_bypass = read_value(program, amp_value::ir_bypass) == 0 ? 1 : 0;
    return sent;
}

// Channel 2's mode belongs to the amplifier; only channels 0 and 1 step theirs.
control_effect next_galaxy_mode(editor_state& s, ui_context&, control_hit) {
    program_record& program = current_program(s);
    const int32_t channel = read_value(program, amp_value::channel);
    if (channel != 0 && channel != 1) return {};
    program.channel_mode[channel] =
        cycle_of_three(read_value(program, amp_value::channel_mode, channel));
    return sent;
}

control_effect choose_slot(editor_state& s, ui_context&, control_hit hit) {
    program_record& program = current_program(s);
    program.ir_slot[channel_slot_index(read_value(program, amp_value::channel))] = hit.index;
    return sent;
}

control_effect import_into_slot(editor_state&, ui_context&, control_hit hit) {
    return posted(command_import_slot0 + hit.index);
}

// With audition on, the chosen cabinet is sent at once.
control_effect choose_cabinet(editor_state& s, const ui_context& ui, int32_t cabinet) {
    s.factory_cabinet = cabinet;
    if (ui.audition != 1) return repainted;
    return {.gap_first = true, .command = command_send_factory, .repaint = true};
}

control_effect previous_cabinet(editor_state& s, ui_context& ui, control_hit) {
    return choose_cabinet(s, ui, step_down(s.factory_cabinet, cabinet_count - 1));
}

control_effect next_cabinet(editor_state& s, ui_context& ui, control_hit) {
    return choose_cabinet(s, ui, step_up(s.factory_cabinet, cabinet_count - 1));
}

control_effect extract_all(editor_state&, ui_context&, control_hit) {
    return posted(command_export_all);
}

control_effect send_cabinet(editor_state&, ui_context&, control_hit) {
    return posted(command_send_factory);
}

control_effect toggle_list(editor_state& s, ui_context&, control_hit) {
    const bool opening = s.cabinet_list_open == 0;
    s.cabinet_list_open = opening ? 1 : 0;
    return {.repaint = true, .list_opened = opening};
}

// The rows stay registered after the list closes; they answer only while it is open.
control_effect choose_listed_cabinet(editor_state& s, ui_context& ui, control_hit hit) {
    if (s.cabinet_list_open == 0) return {};
    return choose_cabinet(s, ui, hit.index);
}

control_effect toggle_audition(editor_state&, ui_context& ui, control_hit) {
    ui.audition = ui.audition == 0 ? 1 : 0;
    return repainted;
}

// Page button k opens page k + 1, or closes it when it is the one open.
control_effect toggle_page(editor_state& s, ui_context&, control_hit hit) {
    const int32_t page = hit.index + 1;
    s.ir_slot_choice = s.ir_slot_choice == page ? 0 : page;
    return repainted;
}

control_effect back_up(editor_state&, ui_context&, control_hit) {
    return posted(command_backup);
}

control_effect restore(editor_state&, ui_context&, control_hit) {
    return posted(command_restore);
}

// The question's buttons stay registered after it is answered; they answer only while asked.
control_effect answer_restore(editor_state& s, int32_t command) {
    if (s.question.asked != 1) return {};
    return {.command = command, .repaint = true};
}

control_effect confirm_restore(editor_state& s, ui_context&, control_hit) {
    return answer_restore(s, command_restore_confirm);
}

control_effect cancel_restore(editor_state& s, ui_context&, control_hit) {
    return answer_restore(s, command_restore_cancel);
}

control_effect tolex_down(editor_state& s, ui_context&, control_hit) {
    s.tolex_colour = stepped(amp_value::tolex_colour, s.tolex_colour, -1);
    return {.clear_hovers = true, .send = true};
}

control_effect tolex_up(editor_state& s, ui_context&, control_hit) {
    s.tolex_colour = stepped(amp_value::tolex_colour, s.tolex_colour, 1);
    return {.clear_hovers = true, .send = true};
}

// What each control tells assistive technology beyond its fixed name.

void read_midi_channel(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.value = s.midi_channel;
    a.maximum = row_of(amp_value::midi_channel).high;
    if (a.value == 0)
        a.value_text.append(L"OMNI");
    else
        a.value_text.append_decimal(a.value);
}

void read_program(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.value = s.program;
    a.maximum = program_count - 1;
    a.value_text.append_decimal(a.value);
}

// The three channels and modes are counted from 1, as the amplifier's panel counts them.
void read_channel(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.value = read_value(current_program(s), amp_value::channel) + 1;
    a.minimum = 1;
    a.maximum = 3;
    a.value_text.append_decimal(a.value);
}

void read_galaxy(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    const program_record& program = current_program(s);
    const int32_t channel = program.channel;
    a.enabled = channel == 0 || channel == 1;
    a.value = read_value(program, amp_value::channel_mode, channel) + 1;
    a.minimum = 1;
    a.maximum = 3;
    a.value_text.append_decimal(a.value);
}

void read_bypass(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.on = current_program(s).ir_bypass == 1;
}

void read_slot_radio(const editor_state& s, const ui_context&, int32_t slot, control_access& a) {
    const program_record& program = current_program(s);
    a.on = program.ir_slot[channel_slot_index(program.channel)] == slot;
    a.name.append_decimal(slot + 1).append(L": ").append(displayed_slot_name(s, slot).view());
}

void read_slot_number(const editor_state&, const ui_context&, int32_t slot, control_access& a) {
    a.name.append_decimal(slot + 1);
}

void read_page_button(const editor_state& s, const ui_context&, int32_t slot, control_access& a) {
    a.on = s.ir_slot_choice == slot + 1;
    a.name.append_decimal(slot + 1);
}

void read_cabinet(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.value = s.factory_cabinet;
    a.maximum = cabinet_count - 1;
    a.value_text.append(cabinet_title(s, a.value).view());
}

void read_listed_cabinet(const editor_state& s, const ui_context&, int32_t cabinet,
                         control_access& a) {
    a.on = s.factory_cabinet == cabinet;
    a.name.append(cabinet_title(s, cabinet).view());
}

void read_audition(const editor_state&, const ui_context& ui, int32_t, control_access& a) {
    a.on = ui.audition == 1;
}

void read_tolex(const editor_state& s, const ui_context&, int32_t, control_access& a) {
    a.value = value_in_range(amp_value::tolex_colour, s.tolex_colour);
    a.maximum = row_of(amp_value::tolex_colour).high;
    a.value_text.append_ascii(tolex_colour_name(a.value));
}

using enum control_kind;
using enum screen_page;
using role = access_role;

constexpr std::array<control_row, 25> rows = {{
    {id_store, 1, button, any, store, role::button, L"STORE"},
    {id_midi_down, 1, button, main, midi_down, role::spin, L"MIDI CHANNEL", read_midi_channel,
     id_midi_down, id_midi_up},
    {id_midi_up, 1, button, main, midi_up},
    {id_program_pill, 1, wheel, main, program_wheel, role::spin, L"PROGRAM CHANGE", read_program,
     id_program_down, id_program_up},
    {id_program_down, 1, button, main, program_down},
    {id_program_up, 1, button, main, program_up},
    {id_channel, 1, button, main, next_channel, role::spin, L"CHANNEL", read_channel},
    {id_ir_bypass, 1, button, main, toggle_bypass, role::toggle, L"IR BYPASS", read_bypass},
    {id_galaxy, 1, button, main, next_galaxy_mode, role::spin, L"GALAXY", read_galaxy},
    {id_slot_radio0, slot_count, button, any, choose_slot, role::radio, L"SLOT ", read_slot_radio},
    {id_import0, slot_count, button, any, import_into_slot, role::button, L"IMPORT INTO SLOT ",
     read_slot_number},
    {id_cabinet_prev, 1, button, cabinet, previous_cabinet},
    {id_cabinet_next, 1, button, cabinet, next_cabinet},
    {id_extract_all, 1, button, cabinet, extract_all, role::button, L"EXTRACT ALL"},
    {id_select, 1, button, cabinet, send_cabinet, role::button, L"SELECT"},
    {id_cabinet_title, 1, button, cabinet, toggle_list, role::spin, L"FACTORY CABINET",
     read_cabinet, id_cabinet_prev, id_cabinet_next},
    {id_cabinet_row0, cabinet_count, button, cabinet, choose_listed_cabinet, role::list_item, L"",
     read_listed_cabinet},
    {id_audition, 1, button, cabinet, toggle_audition, role::toggle, L"AUDITION", read_audition},
    {id_page_button0, slot_count, button, any, toggle_page, role::toggle,
     L"FACTORY CABINETS FOR SLOT ", read_page_button},
    {id_tolex_down, 1, button, any, tolex_down, role::spin, L"TOLEX COLOR", read_tolex,
     id_tolex_down, id_tolex_up},
    {id_tolex_up, 1, button, any, tolex_up},
    {id_backup, 1, button, any, back_up, role::button, L"BACKUP"},
    {id_restore, 1, button, any, restore, role::button, L"RESTORE"},
    {id_restore_yes, 1, button, any, confirm_restore, role::button, L"RESTORE WHAT DIFFERS"},
    {id_restore_no, 1, button, any, cancel_restore, role::button, L"CANCEL RESTORE"},
}};

// Each row's ids follow the previous row's without a gap, up to control_id_count.
constexpr bool rows_cover_the_ids() {
    int32_t next = 0;
    for (const control_row& row : rows) {
        if (row.id != next || row.count < 1) return false;
        next += row.count;
    }
    return next == control_id_count;
}
static_assert(rows_cover_the_ids(), "every control id has exactly one row, in id order");

constexpr const control_row* row_of(int32_t id) {
    for (const control_row& row : rows)
        if (id >= row.id && id < row.id + row.count) return &row;
    return nullptr;
}

// The reading order holds every id of every row that is no part once, and nothing else.
constexpr bool reading_order_is_complete() {
    int32_t stops = 0;
    for (const control_row& row : rows) {
        if (row.role == access_role::part) continue;
        stops += row.count;
        for (int32_t id = row.id; id < row.id + row.count; ++id) {
            int32_t seen = 0;
            for (int32_t listed : reading_order) seen += listed == id ? 1 : 0;
            if (seen != 1) return false;
        }
    }
    return stops == focus_stop_count;
}
static_assert(reading_order_is_complete(), "every control is in the reading order once");

// A spin's steppers are parts of its page; a part belongs to exactly one spin.
constexpr bool parts_belong_to_one_spin() {
    for (const control_row& row : rows) {
        const bool stepped = row.step_down >= 0 || row.step_up >= 0;
        if (stepped &&
            (row.role != access_role::spin || !row_of(row.step_down) || !row_of(row.step_up) ||
             row_of(row.step_down)->page != row.page || row_of(row.step_up)->page != row.page))
            return false;
        if (row.role != access_role::part) continue;
        int32_t owners = 0;
        for (const control_row& spin : rows)
            owners += spin.step_down == row.id || spin.step_up == row.id ? 1 : 0;
        if (owners != 1) return false;
    }
    return true;
}
static_assert(parts_belong_to_one_spin(), "every part steps exactly one spin");

} // namespace

const control_row* find_control(int32_t id) {
    return row_of(id);
}

bool control_shown(const editor_state& state, int32_t id) {
    const control_row* row = row_of(id);
    if (!row) return false;
    const bool page_open = state.ir_slot_choice >= 1;
    if (row->page != screen_page::any && (row->page == screen_page::cabinet) != page_open)
        return false;
    if (row->id == id_restore_yes || row->id == id_restore_no) return state.question.asked == 1;
    return row->id != id_cabinet_row0 || state.cabinet_list_open != 0;
}

control_access read_control_access(const editor_state& state, const ui_context& ui, int32_t id) {
    control_access access;
    const control_row* row = row_of(id);
    if (!row) return access;
    access.name.append(row->name);
    if (row->read) row->read(state, ui, id - row->id, access);
    return access;
}

} // namespace nimba
