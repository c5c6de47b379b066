// RtMidi behind the port seam: WinMM on Windows; natively the system library's default API,
// or its JACK API where the ALSA sequencer cannot be opened. No RtMidi error leaves these
// ports as an exception: errors go to the installed callback, or are dropped before one is.
// Each port object is used by one thread (the worker, or a command-line peer).
#pragma once

#include <memory>
#include <string>

#include "device/midi_ports.h"

namespace nimba {

// The worker's port objects over RtMidi.
midi_port_factory rtmidi_port_factory();

std::unique_ptr<midi_in_port> make_rtmidi_input(const std::string& client, unsigned queue_limit);
std::unique_ptr<midi_out_port> make_rtmidi_output(const std::string& client);

// Opens a port of our own that other programs see under `name`, for a peer that stands in
// for the amplifier. False when the port is not an RtMidi port, the API has no virtual ports
// (WinMM) or an error was reported. Messages then flow through getMessage and sendMessage.
bool open_virtual_port(midi_port& port, const std::string& name);

// The API the port is on: "alsa", "jack", "winmm"; "jack, no server" while it waits for a
// JACK server; "none" when no API could be opened.
std::string rtmidi_api_name(const midi_port& port);

} // namespace nimba
