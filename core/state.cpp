// The editor state: build, device-part reset, destroy and the slot-name table.
#include "core/state.h"

#include <algorithm>

namespace nimba {

int32_t channel_slot_index(int32_t channel) {
    return std::clamp(channel, 0, 3);
}

void build_editor_state(editor_state& state) {
    for (auto& c : state.cabinets) c = cabinet_entry{};
    reset_device_part(state);
    state.link_status = link_no_device;
    fill_cabinet_library(state.cabinets);
}

void reset_device_part(editor_state& state) {
    for (auto& record : state.programs) {
        for (auto& w : record.ir_slot) w = 0;
        record.channel = 0;
        for (auto& w : record.channel_mode) w = 0;
        record.ir_bypass = 0;
        for (auto& w : record.unused) w = 0;
        for (auto& w : record.global_values) w = 0;
        record.loaded = 0;
    }
    for (int k = 0; k < slot_count; ++k) set_slot_name(state, k, std::wstring());
    state.device_firmware_version = 0;
    state.available_firmware_version = 0;
    state.program = 0;
    state.midi_channel = 0;
    state.ir_slot_choice = 0;
    state.cabinet_list_open = 0;
    state.factory_cabinet = 0;
    state.progress = progress_idle;
}

void destroy_editor_state(editor_state& state) {
    for (int k = 0; k < slot_count; ++k) set_slot_name(state, k, std::wstring());
    for (auto& c : state.cabinets) c = cabinet_entry{};
}

std::wstring slot_name(const editor_state& state, int slot) {
    if (slot < 0 || slot >= slot_count) return {};
    std::lock_guard guard(state.slot_names.lock);
    return state.slot_names.names[slot];
}

void set_slot_name(editor_state& state, int slot, std::wstring name) {
    if (slot < 0 || slot >= slot_count) return;
    std::lock_guard guard(state.slot_names.lock);
    state.slot_names.names[slot].swap(name);
}

program_record& current_program(editor_state& state) {
    return state.programs[std::clamp<int32_t>(state.program, 0, program_count - 1)];
}

const program_record& current_program(const editor_state& state) {
    return state.programs[std::clamp<int32_t>(state.program, 0, program_count - 1)];
}

} // namespace nimba
