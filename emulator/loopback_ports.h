// Loopback MIDI ports wired to a virtual amplifier: the port lists the editor sees, the input
// queue with RtMidi's limits and filters, and fault controls (unplug, moved ports, failing
// opens, injected messages, delayed replies). The ports run the amplifier synchronously on the
// thread that sends, so no thread of their own is needed. Every function locks the bus, so
// tests may inspect or change it from another thread while the worker runs.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/seams.h"
#include "device/midi_ports.h"
#include "emulator/virtual_amp.h"

namespace nimba {

struct loopback_input;

struct loopback_bus {
    std::recursive_mutex lock;
    virtual_amp amp;
    std::string amp_port_name = "NIMBA virtual";
    // The port lists as the editor would see them; entries equal to amp_port_name are the
    // amplifier's own ports and vanish while it is unplugged.
    std::vector<std::string> input_names{"NIMBA virtual"};
    std::vector<std::string> output_names{"NIMBA virtual"};
    bool plugged = true;
    int64_t plug_generation = 0; // connections made before an unplug stay dead after it
    bool fail_open = false;      // every openPort reports an error and leaves the port closed
    clock_seam* clock = nullptr; // for replies delayed in time

    struct in_flight {
        std::vector<uint8_t> message;
        int64_t due_poll = 0;
        int64_t due_ms = 0;
    };
    std::deque<in_flight> pending; // delayed replies not yet arrived
    int64_t polls = 0;             // getMessage calls on all inputs
    int64_t queue_drops = 0;       // messages lost to a full input queue
    int64_t port_opens = 0;        // successful openPort calls on either side
    std::vector<loopback_input*> inputs;
};

// Makes the ports on `bus`; the bus must outlive them.
midi_port_factory loopback_port_factory(loopback_bus& bus);

// Fault controls and inspection (any thread). While a worker runs, read or change the bus
// and its amplifier only inside with_bus.
template <class F> auto with_bus(loopback_bus& bus, F&& f) {
    std::lock_guard guard(bus.lock);
    return f(bus);
}
// The amplifier leaves the port lists (and its open connections die) or comes back.
void set_plugged(loopback_bus& bus, bool plugged);
// Puts `count` other devices before the amplifier's ports in both lists.
void add_ports_before_amp(loopback_bus& bus, int count);
// Delivers bytes as if the amplifier sent them, now.
void inject_message(loopback_bus& bus, const std::vector<uint8_t>& message);
// `count` random messages: random bytes, and random tails after valid-looking headers.
void inject_garbage(loopback_bus& bus, int count, uint32_t seed);
// The front panel selects program n (negative: the 4-byte reply 03 without a number).
void front_panel_program_change(loopback_bus& bus, int32_t n);

} // namespace nimba
