// The MIDI port seam (the subset of RtMidi the device link uses) and the amplifier's port
// discovery, polling and closing. Implementations: RtMidi (midi_ports_rtmidi.cpp) and the
// virtual amplifier's loopback ports (emulator/). Worker thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace nimba {

struct device_link;

// Called on the thread that made the failing call; the error's type and text are not used.
using midi_error_callback = std::function<void()>;

struct midi_port {
    virtual ~midi_port() = default;
    virtual unsigned getPortCount() = 0;
    virtual std::string getPortName(unsigned index) = 0;
    virtual void openPort(unsigned index, const std::string& name) = 0;
    virtual void closePort() = 0; // safe on a port that is not open
    virtual bool isPortOpen() const = 0;
    virtual void setErrorCallback(midi_error_callback callback) = 0;
};

struct midi_in_port : midi_port {
    virtual void ignoreTypes(bool sysex, bool time, bool sense) = 0;
    // The oldest queued message, whole; empty when nothing waits.
    virtual void getMessage(std::vector<uint8_t>* message) = 0;
};

struct midi_out_port : midi_port {
    virtual void sendMessage(const uint8_t* bytes, size_t size) = 0;
};

// Thrown by a port factory whose MIDI system will not serve at all (a browser without Web MIDI,
// or whose user refused it): the outcome line gives the reason, which says what to do.
struct midi_system_refusal {
    std::string reason;
};

// Makes the worker's two port objects when it starts.
struct midi_port_factory {
    std::function<std::unique_ptr<midi_in_port>(const std::string& client, unsigned queue_limit)>
        make_input;
    std::function<std::unique_ptr<midi_out_port>(const std::string& client)> make_output;
};

// A port whose midi_port calls all go to its `port` member, which offers count(), name(i),
// open(i, name), close(), is_open() and an on_error callback. The RtMidi and loopback ports
// add only what they do with messages.
template <class port_interface, class port_state> struct forwarding_port : port_interface {
    port_state port;
    template <class... args>
    explicit forwarding_port(args&&... state_args) : port(std::forward<args>(state_args)...) {}
    unsigned getPortCount() override { return port.count(); }
    std::string getPortName(unsigned index) override { return port.name(index); }
    void openPort(unsigned index, const std::string& name) override { port.open(index, name); }
    void closePort() override { port.close(); }
    bool isPortOpen() const override { return port.is_open(); }
    void setErrorCallback(midi_error_callback callback) override {
        port.on_error = std::move(callback);
    }
};

inline constexpr const char* device_name_mark = "NIMBA";

// Finds the ports whose names contain "NIMBA" and opens them; true when both are open.
bool find_and_open_ports(device_link& link);
// Takes at most one message from the input queue and decodes it.
void poll_one_message(device_link& link);
// Closes the output port, then the input port.
void close_ports(device_link& link);

} // namespace nimba
