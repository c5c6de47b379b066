// The event handler: paint, pointer move (hover flags), left button down, the wheel and the
// keys (the actions of the control table's rows, and the keyboard's focus).
#include "ui/event_handler.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "ui/control_table.h"
#include "ui/focus.h"
#include "ui/renderer.h"

namespace nimba {

namespace {

// What the actions of one click or wheel turn asked for once the walk is over.
struct action_outcome {
    bool send = false;
    bool repaint = false;
    bool list_opened = false;
};

clock_seam& clock_of(ui_context& ui) {
    return ui.clock ? *ui.clock : steady_clock_seam();
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

// Input rests while the worker is busy, and from the post of a store, import or factory send
// until the worker has carried it out: clicks, keys and assistive technology's actions alike.
bool input_taken(const editor_state& state) {
    return state.link_status == link_connected && !input_locked(state.commands);
}

bool cabinet_page_open(const editor_state& state) {
    return state.ir_slot_choice >= 1;
}

// Queues `c` for the worker; a full queue refuses it, and the status bar says so.
void post(editor_state& state, ui_context& ui, const command& c) {
    if (post_command(state.commands, c)) return;
    post_outcome(state.outcome, make_outcome(outcome_code::command_not_queued,
                                             {std::to_string(command_queue_capacity)}));
    request_repaint(ui);
}

// Runs the action of control `id` and carries out what it asks for.
void run_action(editor_state& state, ui_context& ui, int32_t id, int32_t wheel_steps,
                action_outcome& out) {
    const control_row* row = find_control(id);
    if (!row) return;
    const control_effect effect = row->action(state, ui, {id - row->id, wheel_steps});
    if (effect.command != command_none) {
        const command c{.code = effect.command,
                        .gap_before_ms = effect.gap_first ? command_gap_ms : 0,
                        .gap_after_ms = command_gap_ms};
        post(state, ui, c);
    }
    if (effect.command != command_none || effect.clear_hovers) clear_hovers(ui.hit_regions);
    out.send = out.send || effect.send;
    out.repaint = out.repaint || effect.repaint || effect.send;
    out.list_opened = out.list_opened || effect.list_opened;
}

// An edit reaches the amplifier as the program's block, or, when the program was never read,
// as a read of it first (the read fills the record the next edit sends).
void post_send(editor_state& state, ui_context& ui) {
    const int32_t program = state.program;
    const bool loaded = state.programs[std::clamp<int32_t>(program, 0, program_count - 1)].loaded;
    post(state, ui,
         {.code = loaded ? command_send_block : command_read_program, .program = program});
}

void finish_actions(editor_state& state, ui_context& ui, const action_outcome& out) {
    if (out.send) post_send(state, ui);
    if (out.repaint) request_repaint(ui);
}

void pointer_moved(editor_state& state, ui_context& ui) {
    int32_t px, py;
    pointer_position(ui, px, py);
    const screen_page shown = shown_page(state, ui);
    bool changed = false;
    for (hit_region& region : ui.hit_regions) {
        if (region.kind != region_hover || !region_active(region, shown)) continue;
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

// Any click while the list is open closes it, after its own action.
void finish_click(editor_state& state, ui_context& ui, const action_outcome& out) {
    if (cabinet_page_open(state) && state.cabinet_list_open == 1 && !out.list_opened) {
        state.cabinet_list_open = 0;
        request_repaint(ui);
    }
    finish_actions(state, ui, out);
}

// A click takes the focus to the control clicked, and hides the ring until a key is used.
void left_button_down(editor_state& state, ui_context& ui) {
    int32_t px, py;
    pointer_position(ui, px, py);
    action_outcome out;
    if (ui.focus_shown) {
        ui.focus_shown = false;
        out.repaint = true;
    }
    // A click on the preview stays there, even the one that closes it.
    const bool preview_open = ui.preview.open;
    // Index walk: actions may clear hover flags, never add or remove regions.
    for (size_t i = 0; i < ui.hit_regions.size(); ++i) {
        const hit_region region = ui.hit_regions[i];
        const screen_page shown = preview_open ? screen_page::preview : shown_page(state, ui);
        if (region.kind != region_click || !region_active(region, shown)) continue;
        if (!region_contains(region, px, py)) continue;
        ui.focus = focus_stop_of(region.id);
        run_action(state, ui, region.id, 0, out);
    }
    finish_click(state, ui, out);
}

// The first wheel region under the pointer takes all the notches turned since the last one.
void wheel_turned(editor_state& state, ui_context& ui) {
    int32_t px, py;
    pointer_position(ui, px, py);
    for (size_t i = 0; i < ui.hit_regions.size(); ++i) {
        const hit_region region = ui.hit_regions[i];
        if (region.kind != region_wheel || !region_active(region, shown_page(state, ui))) continue;
        if (!region_contains(region, px, py)) continue;
        const int32_t steps = ui.pointer->wheel_steps;
        ui.pointer->wheel_steps = 0;
        action_outcome out;
        run_action(state, ui, region.id, steps, out);
        finish_actions(state, ui, out);
        return;
    }
}

// A key that stands for a click on control `id` clicks it, when it answers on the page shown.
void click_by_key(editor_state& state, ui_context& ui, int32_t id) {
    if (!control_shown(state, ui, id)) return;
    action_outcome out;
    run_action(state, ui, id, 0, out);
    finish_click(state, ui, out);
}

// Escape closes the import's preview through its CANCEL, or else the cabinet page through its
// page button, which keeps the focus.
void escape(editor_state& state, ui_context& ui) {
    if (ui.preview.open) {
        click_by_key(state, ui, id_preview_cancel);
        return;
    }
    if (!cabinet_page_open(state)) return;
    const int32_t page_button = id_page_button0 + state.ir_slot_choice - 1;
    click_by_key(state, ui, page_button);
    ui.focus = page_button;
}

// Space and Enter click the focused control; the arrows step a spin through its steppers' clicks
// and move between the radios of a group.
void key_at_focus(editor_state& state, ui_context& ui, int32_t key) {
    const control_row* row = find_control(ui.focus);
    if (!row || !control_shown(state, ui, ui.focus)) return;
    const bool forward = key == key_right || key == key_down;
    const bool backward = key == key_left || key == key_up;
    // A spin that is its own down stepper (MIDI channel, tolex colour) has no click of its own.
    const bool own_click = control_pressable(*row, ui.focus);
    if (key == key_space || key == key_enter) {
        if (own_click) click_by_key(state, ui, ui.focus);
    } else if (row->role == access_role::spin && (forward || backward)) {
        // Up and right step up, as the wheel turned away from the user does.
        const int32_t up = key == key_up || key == key_right;
        const int32_t stepper = up ? row->step_up : row->step_down;
        if (stepper >= 0) click_by_key(state, ui, stepper);
    } else if (forward || backward) {
        const int32_t neighbour = neighbour_in_group(ui.focus, forward);
        if (neighbour >= 0) ui.focus = neighbour;
    }
}

void key_pressed(editor_state& state, ui_context& ui, int32_t key) {
    if (key < key_tab || key > key_page_down) return;
    const int32_t focus_before = ui.focus;
    const bool shown_before = ui.focus_shown;
    switch (key) {
    case key_tab:
    case key_back_tab:
        ui.focus = next_focus_stop(state, ui, ui.focus, key == key_tab);
        break;
    case key_escape:
        escape(state, ui);
        break;
    case key_page_up:
        click_by_key(state, ui, id_program_up);
        break;
    case key_page_down:
        click_by_key(state, ui, id_program_down);
        break;
    default:
        // Before the focus has been anywhere, the first key only shows where it starts.
        if (ui.focus < 0)
            ui.focus = next_focus_stop(state, ui, -1, true);
        else
            key_at_focus(state, ui, key);
    }
    // A control the key took off the screen (a listed cabinet chosen) hands the focus back to
    // the one before it (the cabinet's title).
    if (ui.focus >= 0 && !control_shown(state, ui, ui.focus))
        ui.focus = next_focus_stop(state, ui, ui.focus, false);
    ui.focus_shown = true;
    if (ui.focus != focus_before || !shown_before) request_repaint(ui);
}

} // namespace

void handle_event(editor_state& state, ui_context& ui, int32_t event) {
    if (event == event_paint) {
        if (ui.target)
            render_screen(state, ui, outcome_to_show(ui.outcome, state, clock_of(ui).now_ms()));
        return;
    }
    if (event == event_timer) {
        if (outcome_expired(ui.outcome, clock_of(ui).now_ms())) request_repaint(ui);
        return;
    }
    if (event == event_key) {
        if (ui.keys && input_taken(state)) key_pressed(state, ui, ui.keys->key);
        return;
    }
    if (event != event_pointer_move && event != event_left_down && event != event_wheel) return;
    if (!ui.pointer || !input_taken(state)) return;
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

namespace nimba {

void press_control(editor_state& state, ui_context& ui, int32_t id) {
    if (!input_taken(state) || focus_stop_of(id) != id) return;
    ui.focus = id;
    key_at_focus(state, ui, key_space);
}

void step_control(editor_state& state, ui_context& ui, int32_t id, bool up) {
    if (!input_taken(state) || focus_stop_of(id) != id) return;
    ui.focus = id;
    key_at_focus(state, ui, up ? key_up : key_down);
}

} // namespace nimba
