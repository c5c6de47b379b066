// Test ports: stubs that list one port and only remember whether it is open, an input that
// hands out messages at chosen polls and an output that records every message sent.
// Single-threaded.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "device/midi_ports.h"
#include "tests/device/virtual_link.h"

namespace nimba::test {

using bytes = std::vector<uint8_t>;

template <class port_interface> struct stub_port : port_interface {
    std::string name = "NIMBA test";
    bool open = true;
    unsigned getPortCount() override { return 1; }
    std::string getPortName(unsigned) override { return name; }
    void openPort(unsigned, const std::string&) override { open = true; }
    void closePort() override { open = false; }
    bool isPortOpen() const override { return open; }
    void setErrorCallback(midi_error_callback) override {}
};

struct stub_input : stub_port<midi_in_port> {
    void ignoreTypes(bool, bool, bool) override {}
};

using stub_output = stub_port<midi_out_port>;

struct scripted_input final : stub_input {
    struct timed_message {
        int poll; // delivered by this getMessage call (1-based) or any later one
        bytes message;
    };
    std::deque<timed_message> script;
    int polls = 0;
    void getMessage(std::vector<uint8_t>* message) override {
        ++polls;
        message->clear();
        if (!script.empty() && script.front().poll <= polls) {
            *message = script.front().message;
            script.pop_front();
        }
    }
};

struct recording_output final : stub_output {
    std::vector<bytes> sent;
    void sendMessage(const uint8_t* data, size_t size) override {
        sent.emplace_back(data, data + size);
    }
};

// A link on virtual time over the scripted ports, with a repaint counter.
struct scripted_link : virtual_link {
    scripted_input in;
    recording_output out;
    int repaints = 0;
    scripted_link() {
        link->midi_in = &in;
        link->midi_out = &out;
        link->repaint = [this] { ++repaints; };
    }
    void reply_at(int poll, bytes message) { in.script.push_back({poll, std::move(message)}); }
};

} // namespace nimba::test
