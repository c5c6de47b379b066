// The screen the frame benchmarks draw: a connected editor with the cabinet page and list
// open, so every control is registered. The benchmark's thread only.
#pragma once

#include <memory>

#include "core/state.h"
#include "ui/event_handler.h"

namespace nimba {

struct bench_screen {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    pointer_input pointer;
    virtual_clock clock;
    ui_context ui;
    bench_screen() {
        build_editor_state(*state);
        state->link_status = link_connected;
        state->ir_slot_choice = 2;
        state->cabinet_list_open = 1;
        state->tolex_colour = 3;
        state->device_firmware_version = 0x0104;
        for (int k = 0; k < slot_count; ++k)
            set_slot_name(*state, k, L"C:\\IMPULSE RESPONSES\\A RATHER LONG CABINET NAME.WAV");
        ui.pointer = &pointer;
        ui.clock = &clock;
        ui.repaint = [] {};
        ui.set_arrow_cursor = [] {};
    }
    ~bench_screen() { destroy_editor_state(*state); }
};

} // namespace nimba
