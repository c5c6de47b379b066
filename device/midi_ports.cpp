// Finding, opening, polling and closing the amplifier's two MIDI ports.
#include "device/midi_ports.h"

#include <optional>

#include "device/link.h"
#include "device/protocol.h"

namespace nimba {

namespace {

// The first port, in index order, whose name holds the mark (case-sensitive, anywhere).
std::optional<unsigned> find_device_port(midi_port& port) {
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        if (port.getPortName(i).find(device_name_mark) != std::string::npos) return i;
    return std::nullopt;
}

// Whatever went wrong, both connections are dropped; the next discovery reopens them.
void install_error_callbacks(device_link& link) {
    auto close_both = [&link] {
        if (link.midi_in) link.midi_in->closePort();
        if (link.midi_out) link.midi_out->closePort();
    };
    link.midi_in->setErrorCallback(close_both);
    link.midi_out->setErrorCallback(close_both);
}

} // namespace

bool find_and_open_ports(device_link& link) {
    if (!link.midi_in || !link.midi_out) return false;
    midi_in_port& in = *link.midi_in;
    midi_out_port& out = *link.midi_out;
    const auto in_index = find_device_port(in);
    const auto out_index = find_device_port(out);
    install_error_callbacks(link);

    if (in_index && out_index) {
        // An open port stays open on whatever it was opened on; its index is not compared.
        if (!in.isPortOpen()) {
            in.closePort();
            in.openPort(*in_index, "midi Input");
            in.ignoreTypes(false, true, true);
        }
        if (!out.isPortOpen()) {
            out.closePort();
            out.openPort(*out_index, "midi Output");
        }
        if (in.isPortOpen() && out.isPortOpen()) return true;
    }
    in.closePort();
    out.closePort();
    return false;
}

void poll_one_message(device_link& link) {
    if (!link.midi_in) return;
    std::vector<uint8_t> message;
    link.midi_in->getMessage(&message);
    handle_message(link, message);
}

void close_ports(device_link& link) {
    if (link.midi_out) link.midi_out->closePort();
    if (link.midi_in) link.midi_in->closePort();
}

} // namespace nimba
