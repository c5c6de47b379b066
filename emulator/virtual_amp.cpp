// The virtual amplifier's message handling: framing and length checks, program memory, slot
// names, cabinet and firmware transfers, and the faults on its replies.
#include "emulator/virtual_amp.h"

#include <algorithm>
#include <cstdio>

#include "core/state.h"
#include "device/firmware.h"

namespace nimba {

namespace {

std::string log_line(const char* direction, std::span<const uint8_t> m) {
    char line[32];
    std::snprintf(line, sizeof line, "%s %02X %zu", direction,
                  m.size() > frame_code_at ? m[frame_code_at] : 0, m.size());
    return line;
}

std::vector<uint8_t> reply_frame(message_code code, size_t data_size) {
    std::vector<uint8_t> reply(data_size + frame_overhead);
    build_frame(reply, code, data_size);
    return reply;
}

void emit(virtual_amp& amp, std::vector<uint8_t> reply, amp_replies& replies) {
    const int64_t number = ++amp.replies_made;
    const int64_t every = amp.faults.drop_every;
    if (amp.faults.silent || number == amp.faults.drop_reply || (every > 0 && number % every == 0))
        return;
    if (number == amp.faults.truncate_reply && reply.size() > amp.faults.truncate_to)
        reply.resize(amp.faults.truncate_to);
    amp.log.push_back(log_line("->", reply));
    replies.push_back(std::move(reply));
}

void acknowledge(virtual_amp& amp, amp_replies& replies) {
    emit(amp, reply_frame(code_acknowledge, 0), replies);
}

// A field of `count` nibble bytes, most significant first; false when a byte is not a nibble.
bool read_nibbles(std::span<const uint8_t> bytes, uint32_t& value) {
    value = 0;
    for (uint8_t b : bytes) {
        if (b > 0x0F) return false;
        value = value << 4 | b;
    }
    return true;
}

// 256 image bytes sent as high/low nibble pairs.
bool read_chunk(std::span<const uint8_t> pairs, std::array<uint8_t, chunk_bytes>& out) {
    for (size_t i = 0; i < chunk_bytes; ++i) {
        const uint8_t hi = pairs[2 * i], lo = pairs[2 * i + 1];
        if (hi > 0x0F || lo > 0x0F) return false;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}

void put_chunk(std::vector<uint8_t>& transfer, size_t offset,
               const std::array<uint8_t, chunk_bytes>& chunk) {
    if (transfer.size() < offset + chunk_bytes) transfer.resize(offset + chunk_bytes);
    std::copy(chunk.begin(), chunk.end(), transfer.begin() + static_cast<ptrdiff_t>(offset));
}

bool take_parameter_block(virtual_amp& amp, std::span<const uint8_t> m) {
    if (m.size() != parameter_block_size || m[block_at::program] > 0x7F) return false;
    std::array<uint8_t, parameter_block_size> block;
    std::copy(m.begin(), m.end(), block.begin());
    amp.blocks.push_back(block);
    amp.program = m[block_at::program];
    std::copy_n(m.begin() + program_values_at, amp_program{}.size(),
                amp.programs[m[block_at::program]].begin());
    amp.midi_channel = m[row_of(amp_value::midi_channel).byte];
    amp.tolex_colour = m[row_of(amp_value::tolex_colour).byte];
    std::copy_n(m.begin() + row_of(amp_value::global_values).byte, amp.global_values.size(),
                amp.global_values.begin());
    return true;
}

bool take_cabinet_chunk(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t offset = 0;
    std::array<uint8_t, chunk_bytes> chunk;
    if (m.size() != cabinet_chunk_size || !read_nibbles(m.subspan(cabinet_offset_at, 4), offset) ||
        !read_chunk(m.subspan(cabinet_data_at, 2 * chunk_bytes), chunk))
        return false;
    put_chunk(amp.cabinet_transfer, offset, chunk);
    return true;
}

bool take_firmware_chunk(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t address = 0;
    std::array<uint8_t, chunk_bytes> chunk;
    if (m.size() != firmware_chunk_size ||
        !read_nibbles(m.subspan(firmware_address_at, 6), address) ||
        address + chunk_bytes > firmware_image_size ||
        !read_chunk(m.subspan(firmware_data_at, 2 * chunk_bytes), chunk))
        return false;
    put_chunk(amp.firmware_transfer, address, chunk);
    return true;
}

// The transfer close: byte 3 names a cabinet slot 0..5 or 10 (hex) for the firmware.
// A close whose size asks for more bytes than arrived completes nothing.
bool take_transfer_close(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t size = 0;
    if (m.size() != transfer_close_size || !read_nibbles(m.subspan(close_at::size, 4), size))
        return false;
    const uint8_t slot = m[close_at::target];
    if (slot == close_target_firmware) {
        if (amp.firmware_transfer.size() != firmware_image_size) return false;
        amp.firmware_image = std::move(amp.firmware_transfer);
        amp.firmware_transfer.clear();
        amp.firmware_version = firmware_image_version(std::span<const uint8_t, firmware_image_size>(
            amp.firmware_image.data(), firmware_image_size));
        ++amp.firmware_updates;
        return true;
    }
    if (slot >= amp.slots.size() || size > amp.cabinet_transfer.size()) return false;
    amp_slot& target = amp.slots[slot];
    target.image.assign(amp.cabinet_transfer.begin(), amp.cabinet_transfer.begin() + size);
    const auto field = m.subspan(close_at::name, name_field_size);
    target.name.assign(field.begin(), std::find(field.begin(), field.end(), uint8_t{0}));
    amp.cabinet_transfer.clear();
    ++amp.cabinets_done;
    return true;
}

std::vector<uint8_t> slot_name_reply(const virtual_amp& amp, size_t slot) {
    std::vector<uint8_t> reply = reply_frame(code_slot_name, slot_name_reply_size - frame_overhead);
    reply[slot_name_at::slot] = static_cast<uint8_t>(slot);
    const std::string& name = amp.slots[slot].name;
    std::copy_n(name.begin(), std::min(name.size(), name_field_size),
                reply.begin() + slot_name_at::name);
    return reply;
}

std::vector<uint8_t> version_reply(const virtual_amp& amp) {
    std::vector<uint8_t> reply = reply_frame(code_version, 2);
    reply[version_at::high] = static_cast<uint8_t>(amp.firmware_version >> 8);
    reply[version_at::low] = static_cast<uint8_t>(amp.firmware_version & 0xFF);
    return reply;
}

// Request 02 makes the program the current one. With the stale fault set, the first requests
// after a change are answered about the program the amplifier was on.
void answer_program_request(virtual_amp& amp, int32_t n, amp_replies& replies) {
    if (n == amp.faults.mute_program) return;
    if (n != amp.program) {
        amp.stale_left = amp.faults.stale_program_replies;
        amp.stale_program = amp.program;
        amp.program = n;
    }
    if (amp.stale_left > 0) {
        --amp.stale_left;
        emit(amp, amp_program_reply(amp, amp.stale_program), replies);
        return;
    }
    emit(amp, amp_program_reply(amp, n), replies);
}

} // namespace

std::vector<uint8_t> amp_program_reply(const virtual_amp& amp, int32_t n) {
    const size_t index = static_cast<size_t>(std::clamp(n, 0, 127));
    std::vector<uint8_t> reply = reply_frame(code_program, parameter_block_size - frame_overhead);
    reply[block_at::program] = static_cast<uint8_t>(index);
    reply[row_of(amp_value::midi_channel).byte] = amp.midi_channel;
    std::copy(amp.programs[index].begin(), amp.programs[index].end(),
              reply.begin() + program_values_at);
    reply[row_of(amp_value::tolex_colour).byte] = amp.tolex_colour;
    std::copy(amp.global_values.begin(), amp.global_values.end(),
              reply.begin() + row_of(amp_value::global_values).byte);
    return reply;
}

void amp_program_changed(virtual_amp& amp, int32_t n, amp_replies& replies) {
    if (n < 0) {
        emit(amp, reply_frame(code_program_changed, 0), replies);
        return;
    }
    amp.program = std::min(n, 127);
    std::vector<uint8_t> reply = reply_frame(code_program_changed, 1);
    reply[frame_data_at] = static_cast<uint8_t>(amp.program);
    emit(amp, std::move(reply), replies);
}

void amp_receive(virtual_amp& amp, std::span<const uint8_t> m, amp_replies& replies) {
    if (m.size() < frame_overhead || m[0] != sysex_start || m[1] != sysex_zero ||
        m.back() != sysex_end || m[frame_code_at] > 0x7F) {
        ++amp.ignored;
        return;
    }
    const uint8_t code = m[frame_code_at];
    bool taken = false;
    amp.log.push_back(log_line("<-", m));
    switch (code) {
    case code_version:
        if ((taken = m.size() == frame_overhead)) emit(amp, version_reply(amp), replies);
        break;
    case code_program:
        if ((taken = m.size() == 5 && m[frame_data_at] <= 0x7F))
            answer_program_request(amp, m[frame_data_at], replies);
        break;
    case code_slot_name:
        if ((taken = m.size() == 5 && m[frame_data_at] < amp.slots.size()))
            emit(amp, slot_name_reply(amp, m[frame_data_at]), replies);
        break;
    case code_parameter_block:
        taken = take_parameter_block(amp, m);
        break;
    case code_store:
        if ((taken = m.size() == frame_overhead)) {
            amp.stored[amp.program] = amp.programs[amp.program];
            ++amp.stores;
        }
        break;
    case code_link_reset:
        if ((taken = m.size() == frame_overhead)) {
            amp.cabinet_transfer.clear();
            amp.firmware_transfer.clear();
            ++amp.link_resets;
        }
        break;
    case code_cabinet_chunk:
        if ((taken = take_cabinet_chunk(amp, m))) acknowledge(amp, replies);
        break;
    case code_firmware_chunk:
        if ((taken = take_firmware_chunk(amp, m))) acknowledge(amp, replies);
        break;
    case code_transfer_close:
        if ((taken = take_transfer_close(amp, m))) {
            acknowledge(amp, replies);
            // Its cabinets or firmware changed: the editor should read everything again.
            emit(amp, reply_frame(code_program_changed, 0), replies);
        }
        break;
    default:
        break;
    }
    if (taken)
        ++amp.received[code];
    else
        ++amp.ignored;
}

} // namespace nimba
