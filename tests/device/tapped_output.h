// An output port that passes every call on to the port it wraps and shows each message to `tap`
// before sending it, so a fixture can keep what went out. Same thread as the wrapped port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/midi_ports.h"

namespace nimba::test {

struct tapped_output final : midi_out_port {
    std::unique_ptr<midi_out_port> inner;
    std::function<void(const uint8_t* data, size_t size)> tap;

    unsigned getPortCount() override { return inner->getPortCount(); }
    std::string getPortName(unsigned i) override { return inner->getPortName(i); }
    void openPort(unsigned i, const std::string& n) override { inner->openPort(i, n); }
    void closePort() override { inner->closePort(); }
    bool isPortOpen() const override { return inner->isPortOpen(); }
    void setErrorCallback(midi_error_callback c) override { inner->setErrorCallback(std::move(c)); }
    void sendMessage(const uint8_t* data, size_t size) override {
        if (tap) tap(data, size);
        inner->sendMessage(data, size);
    }
};

} // namespace nimba::test
