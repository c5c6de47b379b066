// The event handler: paint, pointer move (hover flags), left button down (the control
// actions) and the wheel over the program pill.
#include "ui/event_handler.h"

#include <algorithm>
#include <cmath>

#include "ui/hit_regions.h"
#include "ui/renderer.h"

namespace nimba {

namespace {

constexpr int32_t pause_ms = 20;
constexpr int32_t page_edge = 250; // the left panel's right edge

// What the actions of one click asked for once the walk is over.
struct click_outcome {
    bool send = false;
    bool repaint = false;
    bool list_opened = false;
};

clock_seam& clock_of(ui_context& ui) {
    return ui.clock ? *ui.clock : steady_clock_seam();
}

// Sleeps until 20 ms after the pause began, however short the individual sleeps were.
void pause(ui_context& ui) {
    clock_seam& clock = clock_of(ui);
    const int64_t until = clock.now_ms() + pause_ms;
    for (int64_t now = clock.now_ms(); now < until; now = clock.now_ms())
        clock.sleep_ms(static_cast<int32_t>(until - now));
}

void request_repaint(ui_context& ui) {
    if (ui.repaint) ui.repaint();
}

int32_t to_drawing_units(int32_t pixels, float factor) {
    const float units = std::trunc(static_cast<float>(pixels) / factor);
    return static_cast<int32_t>(std::clamp(units, -1.0e9f, 1.0e9f));
}

// The pointer in drawing units; the vertical position uses the horizontal factor too.
void pointer_position(const ui_context& ui, int32_t& px, int32_t& py) {
    const float factor = std::isfinite(ui.dpi) && ui.dpi >= 1.0f ? ui.dpi / 96.0f : 1.0f;
    px = to_drawing_units(ui.pointer->pointer_x, factor);
    py = to_drawing_units(ui.pointer->pointer_y, factor);
}

// While the cabinet page is open, only the left panel, the page's controls and the page
// buttons respond; while it is closed, the page's controls (drawn only with it) do not.
bool region_active(const hit_region& region, int32_t page) {
    if (page >= 1)
        return (region.id >= id_cabinet_prev && region.id <= id_page_button0 + 5) ||
               region.x <= page_edge;
    return region.id < id_cabinet_prev || region.id > id_audition;
}

int32_t step_down(int32_t value, int32_t top) {
    return value <= 0 ? top : value - 1;
}

int32_t step_up(int32_t value, int32_t top) {
    return value >= top ? 0 : value + 1;
}

int32_t cycle_of_three(int32_t value) {
    return value == 0 ? 1 : value == 1 ? 2 : 0;
}

void post_command(editor_state& state, ui_context& ui, int32_t code) {
    state.command = code;
    pause(ui);
    clear_hovers(state.hit_regions);
}

void choose_cabinet(editor_state& state, ui_context& ui, int32_t cabinet, click_outcome& out) {
    state.factory_cabinet = cabinet;
    out.repaint = true;
    if (state.audition == 1) {
        pause(ui);
        post_command(state, ui, command_send_factory);
    }
}

void run_click_action(editor_state& state, ui_context& ui, int32_t id, click_outcome& out) {
    program_record& program = current_program(state);
    switch (id) {
    case id_store:
        post_command(state, ui, command_store);
        return;
    case id_midi_down:
        state.midi_channel = step_down(state.midi_channel, 16);
        break;
    case id_midi_up:
        state.midi_channel = step_up(state.midi_channel, 16);
        break;
    case id_program_down:
        state.program = step_down(state.program, program_count - 1);
        break;
    case id_program_up:
        state.program = step_up(state.program, program_count - 1);
        break;
    case id_channel:
        program.channel = cycle_of_three(program.channel);
        break;
    case id_ir_bypass:
        program.ir_bypass = program.ir_bypass == 0 ? 1 : 0;
        break;
    case id_galaxy: {
        // Channel 2's mode belongs to the amplifier; only channels 0 and 1 step theirs.
        const int32_t channel = program.channel;
        if (channel != 0 && channel != 1) return;
        program.channel_mode[channel] = cycle_of_three(program.channel_mode[channel]);
        break;
    }
    case id_cabinet_prev:
        choose_cabinet(state, ui, step_down(state.factory_cabinet, cabinet_count - 1), out);
        return;
    case id_cabinet_next:
        choose_cabinet(state, ui, step_up(state.factory_cabinet, cabinet_count - 1), out);
        return;
    case id_extract_all:
        post_command(state, ui, command_export_all);
        return;
    case id_select:
        post_command(state, ui, command_send_factory);
        return;
    case id_cabinet_title:
        if (state.cabinet_list_open == 0) {
            state.cabinet_list_open = 1;
            out.list_opened = true;
        } else {
            state.cabinet_list_open = 0;
        }
        out.repaint = true;
        return;
    case id_audition:
        state.audition = state.audition == 0 ? 1 : 0;
        out.repaint = true;
        return;
    case id_tolex_down:
    case id_tolex_up:
        clear_hovers(state.hit_regions);
        state.tolex_colour =
            id == id_tolex_down ? step_down(state.tolex_colour, 5) : step_up(state.tolex_colour, 5);
        break;
    default:
        if (id >= id_slot_radio0 && id < id_slot_radio0 + slot_count) {
            program.ir_slot[channel_slot_index(program.channel)] = id - id_slot_radio0;
            break;
        }
        if (id >= id_import0 && id < id_import0 + slot_count) {
            post_command(state, ui, command_import_slot0 + (id - id_import0));
            return;
        }
        if (id >= id_cabinet_row0 && id < id_cabinet_row0 + cabinet_count) {
            if (state.cabinet_list_open != 0) choose_cabinet(state, ui, id - id_cabinet_row0, out);
            return;
        }
        if (id >= id_page_button0 && id < id_page_button0 + slot_count) {
            const int32_t page = id - id_page_button0 + 1;
            state.ir_slot_choice = state.ir_slot_choice == page ? 0 : page;
            out.repaint = true;
        }
        return;
    }
    // Every edit that reaches the amplifier ends here.
    out.repaint = true;
    out.send = true;
}

void post_send(editor_state& state) {
    state.command = current_program(state).loaded != 0 ? command_send_block : command_read_program;
}

void pointer_moved(editor_state& state, ui_context& ui) {
    int32_t px, py;
    pointer_position(ui, px, py);
    const int32_t page = state.ir_slot_choice;
    bool changed = false;
    for (hit_region& region : state.hit_regions) {
        if (region.kind != region_hover || !region_active(region, page)) continue;
        const uint8_t inside = region_contains(region, px, py) ? 1 : 0;
        if (inside != region.hovered) {
            region.hovered = inside;
            changed = true;
        }
    }
    if (!changed) return;
    request_repaint(ui);
    if (ui.set_arrow_cursor) ui.set_arrow_cursor();
}

void left_button_down(editor_state& state, ui_context& ui) {
    int32_t px, py;
    pointer_position(ui, px, py);
    click_outcome out;
    // Index walk: actions may clear hover flags, never add or remove regions.
    for (size_t i = 0; i < state.hit_regions.size(); ++i) {
        const hit_region region = state.hit_regions[i];
        if (region.kind != region_click || !region_active(region, state.ir_slot_choice)) continue;
        if (region_contains(region, px, py)) run_click_action(state, ui, region.id, out);
    }
    // Any click while the list is open closes it, after its own action.
    if (state.ir_slot_choice >= 1 && state.cabinet_list_open == 1 && !out.list_opened) {
        state.cabinet_list_open = 0;
        request_repaint(ui);
    }
    if (out.send) post_send(state);
    if (out.repaint) request_repaint(ui);
}

void wheel_turned(editor_state& state, ui_context& ui) {
    if (state.ir_slot_choice >= 1) return;
    int32_t px, py;
    pointer_position(ui, px, py);
    for (const hit_region& region : state.hit_regions) {
        if (region.kind != region_wheel || !region_active(region, state.ir_slot_choice)) continue;
        if (!region_contains(region, px, py)) continue;
        const int32_t steps = ui.pointer->wheel_steps;
        ui.pointer->wheel_steps = 0;
        state.program = steps < 0 ? step_down(state.program, program_count - 1)
                                  : step_up(state.program, program_count - 1);
        request_repaint(ui);
        post_send(state);
        return;
    }
}

} // namespace

void handle_event(editor_state& state, ui_context& ui, int32_t event) {
    if (event == event_paint) {
        if (ui.target)
            render_screen(state, *ui.target, ui.accent,
                          outcome_to_show(ui.outcome, state, clock_of(ui).now_ms()));
        return;
    }
    if (event == event_timer) {
        if (outcome_expired(ui.outcome, clock_of(ui).now_ms())) request_repaint(ui);
        return;
    }
    if (event != event_pointer_move && event != event_left_down && event != event_wheel) return;
    if (!ui.pointer || state.link_status != link_connected) return;
    switch (event) {
    case event_pointer_move:
        pointer_moved(state, ui);
        break;
    case event_left_down:
        left_button_down(state, ui);
        break;
    case event_wheel:
        wheel_turned(state, ui);
        break;
    }
}

} // namespace nimba
