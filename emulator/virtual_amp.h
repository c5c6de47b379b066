// The virtual amplifier: the device's side of the System Exclusive protocol as one plain
// function, message in and replies out, keeping everything it was sent for inspection. Used
// by the tests, the demo edition and the command-line tool over any transport. Not locked:
// whoever owns it serialises access (the loopback bus does).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/amp_values.h"
#include "device/messages.h"

namespace nimba {

// One program's values as they travel in the block, from program_values_at, in word order.
using amp_program = std::array<uint8_t, program_value_words>;

struct amp_slot {
    std::vector<uint8_t> image; // the last completed cabinet transfer into this slot
    std::string name;           // its name field, up to the first 0 byte
};

// Faults on the amplifier's replies. Replies are numbered from 1 over the amplifier's life
// (replies_made); the delays are carried out by the transport.
struct amp_faults {
    bool silent = false;        // takes every message, answers none
    int64_t drop_reply = 0;     // this reply is lost
    int64_t truncate_reply = 0; // this reply is cut to truncate_to bytes
    size_t truncate_to = 0;
    int32_t delay_polls = 0;   // replies become readable this many input polls later
    int32_t delay_ms = 0;      // ... or this much later on the transport's clock
    int64_t drop_every = 0;    // every this-many-th reply is lost
    int32_t mute_program = -1; // requests 02 for this program are never answered
    // Requests 02 for another program than the current one are answered this many times more
    // about the current one, as an amplifier still busy with the change.
    int32_t stale_program_replies = 0;
};

struct virtual_amp {
    // Device state
    uint16_t firmware_version = 0x0100;
    int32_t program = 0; // the program its front panel shows: the last one read or written
    uint8_t midi_channel = 0;
    uint8_t tolex_colour = 0;
    std::array<uint8_t, row_of(amp_value::global_values).count> global_values{};
    std::array<amp_program, 128> programs{}; // what reply 02 reports
    std::array<amp_program, 128> stored{};   // each program as of its last store (0A)
    int32_t stale_left = 0;                  // stale replies still to come (faults) ...
    int32_t stale_program = 0;               // ... about this program
    std::array<amp_slot, 6> slots{};
    std::vector<uint8_t> firmware_image; // the last completed update, 131,072 bytes

    // Transfers in progress: bytes received so far at their offsets.
    std::vector<uint8_t> cabinet_transfer;
    std::vector<uint8_t> firmware_transfer;

    // What it was sent and what it did
    std::vector<std::array<uint8_t, parameter_block_size>> blocks; // every parameter block taken
    std::array<int32_t, 128> received{}; // messages taken, by command code
    int32_t ignored = 0;                 // messages it did not understand (framing, code or length)
    int32_t stores = 0;                  // 0A
    int32_t link_resets = 0;             // 0C
    int32_t cabinets_done = 0;
    int32_t firmware_updates = 0;
    int64_t replies_made = 0;     // replies produced, lost ones included
    std::vector<std::string> log; // "<- 0B 4" for a message taken, "-> 0B 6" for a reply

    amp_faults faults;
};

using amp_replies = std::vector<std::vector<uint8_t>>;

// Takes one message and appends its replies, after the faults, to `replies`.
void amp_receive(virtual_amp& amp, std::span<const uint8_t> message, amp_replies& replies);

// The front panel changed program: the unsolicited reply 03, F0 00 03 n F7, with
// amp.program = n; the 4-byte form F0 00 03 F7 when n is negative.
void amp_program_changed(virtual_amp& amp, int32_t n, amp_replies& replies);

// Reply 02 for program n: the parameter block as the amplifier holds it.
std::vector<uint8_t> amp_program_reply(const virtual_amp& amp, int32_t n);

} // namespace nimba
