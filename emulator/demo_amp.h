// The demo edition's amplifier: what the virtual amplifier holds when the demo starts, the
// firmware image the demo's fetch serves, and a test-only report of everything the amplifier
// receives, written by the output port on the thread that sends (the device-link worker).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "device/firmware_fetch.h"
#include "device/midi_ports.h"
#include "emulator/loopback_ports.h"

namespace nimba {

// Six named slots (named as the amplifier names them, "<slot>_NAME"), a firmware version, a
// tolex colour and programs that differ from one to the next in every value, so that a
// program read, a channel or a bypass shows on screen. Its replies come a little late, as over
// a real MIDI link (the bus needs a clock for that).
void seed_demo_amp(virtual_amp& amp);

// The report's destination. Lines go to `log` (flushed per message); each completed cabinet
// transfer's image is handed to keep_slot_image. Either may be empty.
struct amp_report {
    std::FILE* log = nullptr;
    std::function<void(int slot, std::span<const uint8_t> image)> keep_slot_image;
    int32_t stores = 0; // counters already reported, to tell new events after each message
    int32_t cabinets_done = 0;
    int32_t firmware_updates = 0;
};

// The fetch of the demo: an image of exactly the amplifier's own firmware version (taken from
// the bus when the fetch runs), so the connect sequence runs whole and updates nothing.
// Reports "fetch V". `bus` and `report` must outlive it.
firmware_fetch demo_firmware_fetch(loopback_bus& bus, amp_report& report);

// The lines for one message the amplifier has just taken, then clears the amplifier's own log
// and the blocks it keeps (both would otherwise grow for as long as the demo runs). Messages up to
// 80 bytes are written whole in hex ("recv F0 00 02 01 F7"), longer ones as code and size
// ("recv 08 520"); then the amplifier's replies ("reply 02 23") and what the message
// completed: "stored", "slot K \"NAME\" SIZE bytes", "firmware V".
// Call with the bus locked.
void report_received(amp_report& report, virtual_amp& amp, std::span<const uint8_t> message);

// The loopback ports on `bus`, with an output that reports every message it delivers to the
// amplifier (and so keeps the amplifier's own log from growing). `report` must outlive the
// ports.
midi_port_factory reporting_port_factory(loopback_bus& bus, amp_report& report);

} // namespace nimba
