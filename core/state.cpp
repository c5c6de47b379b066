// The editor state: build, device-part reset, destroy, the slot-name table and where each
// amplifier value sits in it.
#include "core/state.h"

#include <algorithm>
#include <type_traits>

namespace nimba {

namespace {

using words = std::span<std::atomic<int32_t>>;

// The one place a program value meets its field of the record.
words record_words(program_record& record, amp_value value) {
    switch (value) {
    case amp_value::ir_slot:
        return record.ir_slot;
    case amp_value::channel:
        return {&record.channel, 1};
    case amp_value::channel_mode:
        return record.channel_mode;
    case amp_value::ir_bypass:
        return {&record.ir_bypass, 1};
    case amp_value::global_values:
        return record.global_values;
    case amp_value::midi_channel:
    case amp_value::tolex_colour:
        break;
    }
    return {};
}

words state_words(editor_state& state, int32_t n, amp_value value) {
    switch (row_of(value).scope) {
    case value_scope::program:
        return record_words(state.programs[std::clamp<int32_t>(n, 0, program_count - 1)], value);
    case value_scope::carried:
        return record_words(state.programs[0], value);
    case value_scope::amplifier:
        break;
    }
    if (value == amp_value::midi_channel) return {&state.midi_channel, 1};
    if (value == amp_value::tolex_colour) return {&state.tolex_colour, 1};
    return {};
}

// The rows of program_values (program n's) or of amplifier_values.
template <typename Values> void copy_in_range(const editor_state& state, int32_t n, Values& out) {
    for (const amp_value_row& r : amp_value_rows) {
        if (is_program_value(r) != std::is_same_v<Values, program_values>) continue;
        const auto from = value_words(state, n, r.value);
        const auto to = words_of(out, r.value);
        for (size_t i = 0; i < r.count; ++i) to[i] = value_in_range(r.value, from[i]);
    }
}

template <typename Values> void copy_into(editor_state& state, int32_t n, const Values& in) {
    for (const amp_value_row& r : amp_value_rows) {
        if (is_program_value(r) != std::is_same_v<Values, program_values>) continue;
        const auto from = words_of(in, r.value);
        const auto to = value_words(state, n, r.value);
        for (size_t i = 0; i < r.count; ++i) to[i] = from[i];
    }
}

} // namespace

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
    withdraw_restore_question(state);
}

void destroy_editor_state(editor_state& state) {
    for (int k = 0; k < slot_count; ++k) set_slot_name(state, k, std::wstring());
    for (auto& c : state.cabinets) c = cabinet_entry{};
}

void ask_restore_question(editor_state& state, std::string text) {
    std::lock_guard guard(state.question.lock);
    state.question.text.swap(text);
    ++state.question.serial;
    state.question.asked = 1;
}

void withdraw_restore_question(editor_state& state) {
    std::lock_guard guard(state.question.lock);
    state.question.asked = 0;
    state.question.text.clear();
}

std::string restore_question_text(const editor_state& state) {
    std::lock_guard guard(state.question.lock);
    return state.question.text;
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

std::span<std::atomic<int32_t>> value_words(editor_state& state, int32_t n, amp_value value) {
    return state_words(state, n, value);
}

std::span<const std::atomic<int32_t>> value_words(const editor_state& state, int32_t n,
                                                  amp_value value) {
    return state_words(const_cast<editor_state&>(state), n, value);
}

std::span<const std::atomic<int32_t>> value_words(const program_record& record, amp_value value) {
    return record_words(const_cast<program_record&>(record), value);
}

int32_t read_value(const program_record& record, amp_value value, size_t i) {
    const auto w = value_words(record, value);
    return i < w.size() ? value_in_range(value, w[i]) : row_of(value).low;
}

program_values program_values_of(const editor_state& state, int32_t n) {
    program_values values{};
    copy_in_range(state, n, values);
    return values;
}

amplifier_values amplifier_values_of(const editor_state& state) {
    amplifier_values values{};
    copy_in_range(state, 0, values);
    return values;
}

void set_program_values(editor_state& state, int32_t n, const program_values& values) {
    copy_into(state, n, values);
}

void set_amplifier_values(editor_state& state, const amplifier_values& values) {
    copy_into(state, 0, values);
}

} // namespace nimba
