// The amplifier's System Exclusive protocol: requests built in the link's one message buffer,
// the reply decoder and the reply wait.
#include "device/protocol.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "device/link.h"
#include "device/midi_ports.h"

namespace nimba {

namespace {

// Values live in the state as 32-bit words; inside a System Exclusive message only 7-bit data
// bytes may travel, since any byte from 80 (hex) up would end or corrupt the message.
uint8_t data_byte(int32_t value) {
    return static_cast<uint8_t>(value & 0x7F);
}

bool send_short_request(device_link& link, message_code code) {
    return send_message(link, build_frame(link.message_buffer, code, 0));
}

bool send_indexed_request(device_link& link, message_code code, int32_t index) {
    const auto frame = build_frame(link.message_buffer, code, 1);
    frame[frame_data_at] = data_byte(index);
    return send_message(link, frame);
}

// Reply 02. A reply shorter than the full block is applied field by field up to, but not
// including, its last byte (the F7 that ends it); fields it does not carry keep their values.
// Each value is kept as the amplifier reported it, under its bits; readers apply the range rule.
void apply_program_reply(device_link& link, std::span<const uint8_t> m) {
    editor_state& state = *link.state;
    const size_t n = m[block_at::program];
    if (n >= program_count) return; // not a data byte: the reply names no program
    const auto has = [&](size_t i) { return i + 1 < m.size(); };

    link.last_program = static_cast<int32_t>(n);
    link.last_reply = code_program;
    for (const amp_value_row& r : amp_value_rows) {
        if (r.scope == value_scope::amplifier && n != 0) continue;
        const auto words = value_words(state, static_cast<int32_t>(n), r.value);
        for (size_t i = 0; i < r.count; ++i)
            if (has(r.byte + i)) words[i] = m[r.byte + i] & r.bits;
    }
    state.programs[n].loaded = 1;
}

// Reply 04: bytes 5..68 hold the name, NUL-padded; a name that starts with the slot's own
// "k_" prefix loses it.
void apply_slot_name_reply(device_link& link, std::span<const uint8_t> m) {
    link.last_reply = code_slot_name;
    const int k = m[slot_name_at::slot];
    if (k >= slot_count || m[slot_name_at::name] == 0) return;
    const auto field = m.subspan(slot_name_at::name, name_field_size);
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    std::string name(field.begin(), end);
    const std::string prefix = std::to_string(k) + "_";
    if (name.starts_with(prefix)) name.erase(0, 2);
    std::wstring wide;
    wide.reserve(name.size());
    for (unsigned char c : name)
        wide.push_back(c >= 'a' && c <= 'z' ? static_cast<wchar_t>(c - 'a' + 'A') : c);
    set_slot_name(*link.state, k, std::move(wide));
}

} // namespace

void handle_message(device_link& link, std::span<const uint8_t> m) {
    if (m.size() < 3 || m[1] != sysex_zero || !link.state) return;
    switch (m[frame_code_at]) {
    case code_program:
        if (m.size() >= program_reply_min_size) apply_program_reply(link, m);
        break;
    case code_program_changed:
        if (m.size() != 4 && m.size() != 5) break;
        if (m.size() == 5 && m[frame_data_at] <= 0x7F) link.state->program = m[frame_data_at];
        link.last_reply = code_program_changed;
        link.resync_pending = true;
        break;
    case code_slot_name:
        if (m.size() >= slot_name_reply_size) apply_slot_name_reply(link, m);
        break;
    case code_acknowledge:
        if (m.size() >= frame_overhead) link.last_reply = code_acknowledge;
        break;
    case code_version:
        // Only a reply that carries both version bytes before its F7 is taken: a partial
        // version could start a firmware update the amplifier does not need.
        if (m.size() < version_reply_size) break;
        link.state->device_firmware_version =
            static_cast<uint16_t>(m[version_at::high] * 256 + m[version_at::low]);
        link.last_reply = code_version;
        break;
    default:
        break;
    }
}

namespace {

// `seen` gives what ends the wait before its budget, or nothing while it goes on.
template <typename Result, typename Seen> Result wait_until(device_link& link, Seen seen) {
    clock_seam& clock = link_clock(link);
    const int64_t start = clock.now_ms();
    for (;;) {
        if (const std::optional<Result> ended = seen()) return *ended;
        clock.sleep_ms(link_poll_step_ms);
        poll_one_message(link);
        if (link.stop_requested) return Result::stopped;
        if (clock.now_ms() - start >= reply_budget_ms) return Result::timeout;
    }
}

} // namespace

wait_result wait_for_reply(device_link& link, int32_t code) {
    return wait_until<wait_result>(link, [&]() -> std::optional<wait_result> {
        if (link.last_reply != code) return std::nullopt;
        return wait_result::reply;
    });
}

program_wait wait_for_program_reply(device_link& link, int32_t n) {
    return wait_until<program_wait>(link, [&]() -> std::optional<program_wait> {
        if (link.last_reply != code_program) return std::nullopt;
        return link.last_program == n ? program_wait::reply : program_wait::other_program;
    });
}

clock_seam& link_clock(device_link& link) {
    return link.clock ? *link.clock : steady_clock_seam();
}

bool output_open(const device_link& link) {
    return link.midi_out != nullptr && link.midi_out->isPortOpen();
}

outcome amp_silence() {
    return make_outcome(outcome_code::amp_not_answering, {std::to_string(reply_budget_ms)});
}

void note_timeout(device_link& link, outcome failure) {
    if (link.state) link.state->link_status = link_error;
    link.failure_count += 1;
    post_outcome(link, std::move(failure));
}

void request_repaint(device_link& link) {
    if (link.repaint) link.repaint();
}

bool send_message(device_link& link, std::span<const uint8_t> bytes) {
    if (!output_open(link)) return false;
    link.midi_out->sendMessage(bytes.data(), bytes.size());
    return true;
}

bool send_version_request(device_link& link) {
    link.last_reply = 0;
    return send_short_request(link, code_version);
}

void request_program(device_link& link, int32_t n) {
    if (!link.state) return;
    link.last_reply = 0;
    if (!send_indexed_request(link, code_program, n)) return;
    switch (wait_for_reply(link, code_program)) {
    case wait_result::reply:
        link.failure_count = 0;
        break;
    case wait_result::timeout:
        note_timeout(link);
        break;
    case wait_result::stopped:
        break;
    }
}

bool send_program_request(device_link& link, int32_t n) {
    link.last_reply = 0;
    link.last_program = -1;
    return send_indexed_request(link, code_program, n);
}

bool request_slot_name(device_link& link, int slot) {
    link.last_reply = 0;
    return send_indexed_request(link, code_slot_name, slot);
}

bool send_parameter_block(device_link& link, int32_t n) {
    if (!link.state) return false;
    const editor_state& state = *link.state;
    const auto b = build_frame(link.message_buffer, code_parameter_block,
                               parameter_block_size - frame_overhead);
    b[block_at::program] = data_byte(n);
    for (const amp_value_row& r : amp_value_rows) {
        const auto words = value_words(state, n, r.value);
        for (size_t i = 0; i < r.count; ++i)
            b[r.byte + i] = static_cast<uint8_t>(words[i] & r.bits);
    }
    return send_message(link, b);
}

bool send_store(device_link& link) {
    return send_short_request(link, code_store);
}

bool send_link_reset(device_link& link) {
    return send_short_request(link, code_link_reset);
}

} // namespace nimba
