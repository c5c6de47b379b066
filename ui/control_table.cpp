// The control table and the actions of its rows.
#include "ui/control_table.h"

#include <array>

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

control_effect tolex_down(editor_state& s, ui_context&, control_hit) {
    s.tolex_colour = stepped(amp_value::tolex_colour, s.tolex_colour, -1);
    return {.clear_hovers = true, .send = true};
}

control_effect tolex_up(editor_state& s, ui_context&, control_hit) {
    s.tolex_colour = stepped(amp_value::tolex_colour, s.tolex_colour, 1);
    return {.clear_hovers = true, .send = true};
}

using enum control_kind;
using enum screen_page;

constexpr std::array<control_row, 21> rows = {{
    {id_store, 1, button, any, store},
    {id_midi_down, 1, button, main, midi_down},
    {id_midi_up, 1, button, main, midi_up},
    {id_program_pill, 1, wheel, main, program_wheel},
    {id_program_down, 1, button, main, program_down},
    {id_program_up, 1, button, main, program_up},
    {id_channel, 1, button, main, next_channel},
    {id_ir_bypass, 1, button, main, toggle_bypass},
    {id_galaxy, 1, button, main, next_galaxy_mode},
    {id_slot_radio0, slot_count, button, any, choose_slot},
    {id_import0, slot_count, button, any, import_into_slot},
    {id_cabinet_prev, 1, button, cabinet, previous_cabinet},
    {id_cabinet_next, 1, button, cabinet, next_cabinet},
    {id_extract_all, 1, button, cabinet, extract_all},
    {id_select, 1, button, cabinet, send_cabinet},
    {id_cabinet_title, 1, button, cabinet, toggle_list},
    {id_cabinet_row0, cabinet_count, button, cabinet, choose_listed_cabinet},
    {id_audition, 1, button, cabinet, toggle_audition},
    {id_page_button0, slot_count, button, any, toggle_page},
    {id_tolex_down, 1, button, any, tolex_down},
    {id_tolex_up, 1, button, any, tolex_up},
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

} // namespace

const control_row* find_control(int32_t id) {
    for (const control_row& row : rows)
        if (id >= row.id && id < row.id + row.count) return &row;
    return nullptr;
}

} // namespace nimba
