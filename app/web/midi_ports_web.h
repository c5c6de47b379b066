// The MIDI port seam over Web MIDI. The page's main thread holds the MIDIAccess (midi_web.js):
// it publishes the port names here whenever they change and puts every message the open input
// receives into a locked queue here. The worker's port calls read the names and the queue, and
// make their opens and sends on the main thread, waiting for each (an Emscripten proxied call).
#pragma once

#include <string>

#include "device/midi_ports.h"

namespace nimba {

// Main thread, before the worker starts: empty when the page has MIDI access, else why not
// (the worker's ports then refuse, and the outcome line says so).
void set_web_midi_refusal(std::string reason);

// The worker's two port objects over the page's MIDIAccess.
midi_port_factory web_midi_port_factory();

} // namespace nimba
