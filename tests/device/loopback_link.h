// A device link on virtual time whose ports come from a loopback bus wired to the virtual
// amplifier. Single-threaded unless a test starts the worker itself.
#pragma once

#include <memory>

#include "core/state.h"
#include "device/midi_ports.h"
#include "device/protocol.h"
#include "emulator/loopback_ports.h"
#include "tests/device/virtual_link.h"

namespace nimba::test {

struct loopback_link : virtual_link {
    loopback_bus bus;
    std::unique_ptr<midi_in_port> in;
    std::unique_ptr<midi_out_port> out;
    int repaints = 0;

    loopback_link() {
        bus.clock = &clock;
        const midi_port_factory ports = loopback_port_factory(bus);
        in = ports.make_input("midi input client", 100);
        out = ports.make_output("midi client");
        link->midi_in = in.get();
        link->midi_out = out.get();
        link->repaint = [this] { ++repaints; };
    }
    // True when a version request over the open ports is answered: they reach the amplifier.
    bool reaches_amp() {
        if (!send_version_request(*link)) return false;
        return wait_for_reply(*link, code_version) == wait_result::reply;
    }
};

} // namespace nimba::test
