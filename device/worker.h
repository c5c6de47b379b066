// The device-link worker: the thread that owns the MIDI ports, finds the amplifier, runs the
// connect sequence and carries out the posted commands. run() is the thread body; start and
// stop are called from the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/state.h"
#include "device/firmware_fetch.h"
#include "device/midi_ports.h"

namespace nimba {

struct worker_services {
    midi_port_factory ports;
    firmware_fetch fetch; // empty: the connect sequence downloads nothing
    std::string firmware_url = nimba::firmware_url;
    // Commands 4..11 (cabinet import, factory send, export), filled in by the IR module.
    std::function<void(device_link&, int32_t command)> cabinet_command;
};

// The thread body. link.state, link.clock and link.repaint are set before it starts.
void run(device_link& link, const worker_services& services);

// Starts run() on link.worker.
void start_worker(device_link& link, worker_services services);

// Sets the stop request and waits up to timeout_ms for the worker to end. Returns true when
// it ended (joined); false when it is still busy (a picker open), in which case the thread is
// detached and the caller must leave the link and the state alive until the process ends.
bool stop_worker(device_link& link, int32_t timeout_ms);

} // namespace nimba
