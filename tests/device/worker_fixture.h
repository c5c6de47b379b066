// The device-link worker driven cycle by cycle on one thread, on virtual time, with its ports
// on a loopback bus wired to the virtual amplifier. Every message the worker sends is kept with
// what the screen would have shown when it went out; every repaint request likewise.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "device/midi_ports.h"
#include "device/worker.h"
#include "emulator/loopback_ports.h"
#include "tapped_output.h"
#include "virtual_link.h"

namespace nimba::test {

using bytes = std::vector<uint8_t>;

struct screen_seen {
    int32_t link_status = 0;
    int32_t progress = 0;
    int64_t at_ms = 0;
    int loaded_programs = 0;
    int32_t tolex_colour = 0;
};

struct sent_message {
    bytes message;
    screen_seen screen;
};

// An image of the firmware's size whose version word reads `version`.
inline bytes firmware_image_with_version(uint16_t version, size_t size = firmware_image_size) {
    bytes image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 31 + i / 256 + 7);
    if (size >= firmware_image_size) {
        image[0x1FFFC] = version & 0xFF;
        image[0x1FFFD] = version >> 8;
        image[0x1FFFE] = 0;
        image[0x1FFFF] = 0;
    }
    return image;
}

struct worker_fixture : virtual_link {
    loopback_bus bus;
    std::vector<sent_message> sent;
    std::vector<screen_seen> repaints;
    // What the firmware server answers: the body and the status reported with it.
    bytes server_body;
    fetch_status server_status = fetch_status::ok;
    int fetches = 0;
    worker_services services;
    worker_locals locals;

    worker_fixture() {
        bus.clock = &clock;
        link->repaint = [this] { repaints.push_back(screen()); };
        const midi_port_factory ports = loopback_port_factory(bus);
        services.ports.make_input = ports.make_input;
        services.ports.make_output = [this, ports](const std::string& client) {
            auto out = std::make_unique<tapped_output>();
            out->inner = ports.make_output(client);
            out->tap = [this](const uint8_t* data, size_t size) {
                sent.push_back({bytes(data, data + size), screen()});
            };
            return std::unique_ptr<midi_out_port>(std::move(out));
        };
        services.fetch = [this](const std::string&, std::span<uint8_t> buffer) {
            ++fetches;
            if (server_body.empty()) return fetch_result{fetch_status::transport_error, 0};
            const size_t n = std::min(server_body.size(), buffer.size());
            std::copy_n(server_body.begin(), n, buffer.begin());
            const bool too_long = server_body.size() > buffer.size();
            return fetch_result{too_long ? fetch_status::too_long : server_status, n};
        };
        services.firmware_url = "http://fw.test/fw/NIMBA.bin?v=";
        open_worker_ports(*link, services, locals);
    }

    screen_seen screen() const {
        int loaded = 0;
        for (const auto& record : state->programs) loaded += record.loaded;
        return {state->link_status, state->progress, clock.now.load(), loaded, state->tolex_colour};
    }

    // Queues a command as the event handler does, for the current program.
    void post(int32_t code, int32_t gap_before_ms = 0, int32_t gap_after_ms = 0) {
        post_command(state->commands, {code, state->program, gap_before_ms, gap_after_ms});
    }
    uint32_t pending() const { return pending_commands(state->commands); }

    void cycles(int n) {
        for (int i = 0; i < n; ++i) worker_cycle(*link, services, locals);
    }

    std::vector<sent_message> sent_with_code(uint8_t code) const {
        std::vector<sent_message> found;
        for (const auto& m : sent)
            if (m.message.size() > 2 && m.message[2] == code) found.push_back(m);
        return found;
    }

    // Codes of the messages sent from `from` on, in order.
    std::vector<uint8_t> codes_sent(size_t from = 0) const {
        std::vector<uint8_t> codes;
        for (size_t i = from; i < sent.size(); ++i)
            codes.push_back(sent[i].message.size() > 2 ? sent[i].message[2] : 0xFF);
        return codes;
    }
};

} // namespace nimba::test
