// The virtual amplifier's message handling: framing and length checks, program memory, slot
// names, cabinet and firmware transfers, and the faults on its replies.
#include "emulator/virtual_amp.h"

#include <algorithm>
#include <cstdio>

namespace nimba {

namespace {

constexpr size_t name_field = 64;
constexpr size_t cabinet_chunk_size = 520;
constexpr size_t firmware_chunk_size = 522;
constexpr size_t close_size = 73;
constexpr uint8_t firmware_close_slot = 0x10;

std::string log_line(const char* direction, std::span<const uint8_t> m) {
    char line[32];
    std::snprintf(line, sizeof line, "%s %02X %zu", direction, m.size() > 2 ? m[2] : 0, m.size());
    return line;
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
    emit(amp, {0xF0, 0x00, 0x08, 0xF7}, replies);
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
bool read_chunk(std::span<const uint8_t> pairs, std::array<uint8_t, amp_chunk_bytes>& out) {
    for (size_t i = 0; i < amp_chunk_bytes; ++i) {
        const uint8_t hi = pairs[2 * i], lo = pairs[2 * i + 1];
        if (hi > 0x0F || lo > 0x0F) return false;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}

void put_chunk(std::vector<uint8_t>& transfer, size_t offset,
               const std::array<uint8_t, amp_chunk_bytes>& chunk) {
    if (transfer.size() < offset + amp_chunk_bytes) transfer.resize(offset + amp_chunk_bytes);
    std::copy(chunk.begin(), chunk.end(), transfer.begin() + static_cast<ptrdiff_t>(offset));
}

bool take_parameter_block(virtual_amp& amp, std::span<const uint8_t> m) {
    if (m.size() != amp_block_size || m[3] > 0x7F) return false;
    std::array<uint8_t, amp_block_size> block;
    std::copy(m.begin(), m.end(), block.begin());
    amp.blocks.push_back(block);
    amp.program = m[3];
    std::copy(m.begin() + 5, m.begin() + 14, amp.programs[m[3]].begin());
    amp.midi_channel = m[4];
    amp.tolex_colour = m[14];
    std::copy(m.begin() + 15, m.begin() + 22, amp.global_values.begin());
    return true;
}

bool take_cabinet_chunk(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t offset = 0;
    std::array<uint8_t, amp_chunk_bytes> chunk;
    if (m.size() != cabinet_chunk_size || !read_nibbles(m.subspan(3, 4), offset) ||
        !read_chunk(m.subspan(7, 2 * amp_chunk_bytes), chunk))
        return false;
    put_chunk(amp.cabinet_transfer, offset, chunk);
    return true;
}

bool take_firmware_chunk(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t address = 0;
    std::array<uint8_t, amp_chunk_bytes> chunk;
    if (m.size() != firmware_chunk_size || !read_nibbles(m.subspan(3, 6), address) ||
        address + amp_chunk_bytes > amp_firmware_size ||
        !read_chunk(m.subspan(9, 2 * amp_chunk_bytes), chunk))
        return false;
    put_chunk(amp.firmware_transfer, address, chunk);
    return true;
}

// The transfer close: byte 3 names a cabinet slot 0..5 or 10 (hex) for the firmware.
// A close whose size asks for more bytes than arrived completes nothing.
bool take_transfer_close(virtual_amp& amp, std::span<const uint8_t> m) {
    uint32_t size = 0;
    if (m.size() != close_size || !read_nibbles(m.subspan(4, 4), size)) return false;
    const uint8_t slot = m[3];
    if (slot == firmware_close_slot) {
        if (amp.firmware_transfer.size() != amp_firmware_size) return false;
        amp.firmware_image = std::move(amp.firmware_transfer);
        amp.firmware_transfer.clear();
        amp.firmware_version =
            static_cast<uint16_t>(amp.firmware_image[0x1FFFD] << 8 | amp.firmware_image[0x1FFFC]);
        ++amp.firmware_updates;
        return true;
    }
    if (slot >= amp.slots.size() || size > amp.cabinet_transfer.size()) return false;
    amp_slot& target = amp.slots[slot];
    target.image.assign(amp.cabinet_transfer.begin(), amp.cabinet_transfer.begin() + size);
    const auto field = m.subspan(8, name_field);
    target.name.assign(field.begin(), std::find(field.begin(), field.end(), uint8_t{0}));
    amp.cabinet_transfer.clear();
    ++amp.cabinets_done;
    return true;
}

std::vector<uint8_t> slot_name_reply(const virtual_amp& amp, size_t slot) {
    std::vector<uint8_t> reply{0xF0, 0x00, 0x04, 0x00, static_cast<uint8_t>(slot)};
    const std::string& name = amp.slots[slot].name;
    for (size_t i = 0; i < name_field; ++i)
        reply.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    reply.push_back(0xF7);
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
    std::vector<uint8_t> reply(amp_block_size);
    reply[0] = 0xF0;
    reply[2] = 0x02;
    reply[3] = static_cast<uint8_t>(index);
    reply[4] = amp.midi_channel;
    std::copy(amp.programs[index].begin(), amp.programs[index].end(), reply.begin() + 5);
    reply[14] = amp.tolex_colour;
    std::copy(amp.global_values.begin(), amp.global_values.end(), reply.begin() + 15);
    reply[22] = 0xF7;
    return reply;
}

void amp_program_changed(virtual_amp& amp, int32_t n, amp_replies& replies) {
    if (n < 0) {
        emit(amp, {0xF0, 0x00, 0x03, 0xF7}, replies);
        return;
    }
    amp.program = std::min(n, 127);
    emit(amp, {0xF0, 0x00, 0x03, static_cast<uint8_t>(amp.program), 0xF7}, replies);
}

void amp_receive(virtual_amp& amp, std::span<const uint8_t> m, amp_replies& replies) {
    if (m.size() < 4 || m[0] != 0xF0 || m[1] != 0x00 || m.back() != 0xF7 || m[2] > 0x7F) {
        ++amp.ignored;
        return;
    }
    const uint8_t code = m[2];
    bool taken = false;
    amp.log.push_back(log_line("<-", m));
    switch (code) {
    case 0x0B:
        if ((taken = m.size() == 4))
            emit(amp,
                 {0xF0, 0x00, 0x0B, static_cast<uint8_t>(amp.firmware_version >> 8),
                  static_cast<uint8_t>(amp.firmware_version & 0xFF), 0xF7},
                 replies);
        break;
    case 0x02:
        if ((taken = m.size() == 5 && m[3] <= 0x7F)) answer_program_request(amp, m[3], replies);
        break;
    case 0x04:
        if ((taken = m.size() == 5 && m[3] < amp.slots.size()))
            emit(amp, slot_name_reply(amp, m[3]), replies);
        break;
    case 0x01:
        taken = take_parameter_block(amp, m);
        break;
    case 0x0A:
        if ((taken = m.size() == 4)) {
            amp.stored[amp.program] = amp.programs[amp.program];
            ++amp.stores;
        }
        break;
    case 0x0C:
        if ((taken = m.size() == 4)) {
            amp.cabinet_transfer.clear();
            amp.firmware_transfer.clear();
            ++amp.link_resets;
        }
        break;
    case 0x08:
        if ((taken = take_cabinet_chunk(amp, m))) acknowledge(amp, replies);
        break;
    case 0x07:
        if ((taken = take_firmware_chunk(amp, m))) acknowledge(amp, replies);
        break;
    case 0x09:
        if ((taken = take_transfer_close(amp, m))) {
            acknowledge(amp, replies);
            // Its cabinets or firmware changed: the editor should read everything again.
            emit(amp, {0xF0, 0x00, 0x03, 0xF7}, replies);
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
