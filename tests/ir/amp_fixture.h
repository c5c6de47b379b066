// A device link on virtual time wired through loopback ports to the virtual amplifier, with
// every sent message and every progress value the screen would show recorded.
#pragma once

#include <memory>
#include <vector>

#include "core/state.h"
#include "device/midi_ports.h"
#include "emulator/loopback_ports.h"
#include "tests/device/tapped_output.h"
#include "tests/device/virtual_link.h"

namespace nimba::test {

struct amp_fixture : virtual_link {
    loopback_bus bus;
    std::unique_ptr<midi_in_port> in;
    tapped_output out;
    std::vector<std::vector<uint8_t>> sent; // every message sent, in order
    std::vector<int32_t> progress_shown;    // progress at each repaint, when it changed
    int repaints = 0;

    amp_fixture() {
        fill_cabinet_library(state->cabinets);
        state->link_status = link_busy;
        bus.clock = &clock;
        const midi_port_factory ports = loopback_port_factory(bus);
        in = ports.make_input("midi input client", 100);
        out.inner = ports.make_output("midi client");
        out.tap = [this](const uint8_t* data, size_t size) {
            sent.emplace_back(data, data + size);
        };
        link->midi_in = in.get();
        link->midi_out = &out;
        link->repaint = [this] {
            ++repaints;
            const int32_t p = state->progress;
            if (progress_shown.empty() || progress_shown.back() != p) progress_shown.push_back(p);
        };
        find_and_open_ports(*link);
        progress_shown.clear();
        repaints = 0;
    }

    std::vector<std::vector<uint8_t>> sent_with_code(uint8_t code) const {
        std::vector<std::vector<uint8_t>> out_messages;
        for (const auto& m : sent)
            if (m.size() > 2 && m[2] == code) out_messages.push_back(m);
        return out_messages;
    }
};

} // namespace nimba::test
