// The demo edition's amplifier: its starting contents, the firmware it is served and the report
// of what it receives.
#include "emulator/demo_amp.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "core/state.h"
#include "device/firmware.h"
#include "emulator/hex_line.h"

namespace nimba {

namespace {

constexpr uint16_t demo_firmware_version = 0x0105; // 1.5.0
constexpr uint8_t demo_tolex_colour = 1;
constexpr int32_t demo_reply_delay_ms = 2;
constexpr size_t whole_message_limit = 80;

// The names as an amplifier fresh from the shop holds them: the slot's own prefix and mixed
// case, which the editor drops and upper-cases.
constexpr std::array<const char*, 6> demo_slot_names = {"0_Clean Twin 2x12",   "1_BRIT 4X12 GB",
                                                        "2_blues 1x12 alnico", "3_JAZZ 1X15",
                                                        "4_Modern V30",        "5_ROOM AMBIENCE"};

void write_line(amp_report& report, const std::string& line) {
    if (report.log) std::fprintf(report.log, "%s\n", line.c_str());
}

// The loopback output, reporting each message under the bus lock so the amplifier's state and
// its report stay in step.
struct reporting_output final : midi_out_port {
    std::unique_ptr<midi_out_port> inner;
    loopback_bus& bus;
    amp_report& report;

    reporting_output(std::unique_ptr<midi_out_port> port, loopback_bus& b, amp_report& r)
        : inner(std::move(port)), bus(b), report(r) {}
    unsigned getPortCount() override { return inner->getPortCount(); }
    std::string getPortName(unsigned index) override { return inner->getPortName(index); }
    void openPort(unsigned index, const std::string& name) override {
        inner->openPort(index, name);
    }
    void closePort() override { inner->closePort(); }
    bool isPortOpen() const override { return inner->isPortOpen(); }
    void setErrorCallback(midi_error_callback callback) override {
        inner->setErrorCallback(std::move(callback));
    }
    void sendMessage(const uint8_t* bytes, size_t size) override {
        std::lock_guard guard(bus.lock);
        const int32_t before = bus.amp.ignored + static_cast<int32_t>(bus.amp.log.size());
        inner->sendMessage(bytes, size);
        // Only what reached the amplifier: a closed or dead port delivers nothing.
        if (bus.amp.ignored + static_cast<int32_t>(bus.amp.log.size()) != before)
            report_received(report, bus.amp, std::span(bytes, size));
    }
};

} // namespace

void seed_demo_amp(virtual_amp& amp) {
    amp.firmware_version = demo_firmware_version;
    amp.tolex_colour = demo_tolex_colour;
    for (size_t k = 0; k < amp.slots.size(); ++k) amp.slots[k].name = demo_slot_names[k];
    for (int n = 0; n < 128; ++n) {
        amp_program& p = amp.programs[n];
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((n + 2 * i) % 6);
        p[4] = static_cast<uint8_t>(n % 3);
        for (int i = 0; i < 3; ++i) p[5 + i] = static_cast<uint8_t>((n + i) % 3);
        p[8] = n % 4 == 3 ? 1 : 0;
    }
    amp.stored = amp.programs;
    // About the time a USB MIDI round trip takes; every reply wait polls in 5 ms steps anyway.
    amp.faults.delay_ms = demo_reply_delay_ms;
}

firmware_fetch demo_firmware_fetch(loopback_bus& bus, amp_report& report) {
    return [&bus, &report](const std::string&, std::span<uint8_t> buffer) {
        fetch_result result;
        if (buffer.size() < firmware_image_size) {
            result.status = fetch_status::too_long;
            return result;
        }
        const uint16_t version = with_bus(bus, [&report](loopback_bus& b) {
            write_line(report, "fetch " + firmware_version_text(b.amp.firmware_version));
            if (report.log) std::fflush(report.log);
            return b.amp.firmware_version;
        });
        std::fill(buffer.begin(), buffer.begin() + firmware_image_size, uint8_t{0});
        buffer[firmware_version_at] = static_cast<uint8_t>(version & 0xFF);
        buffer[firmware_version_at + 1] = static_cast<uint8_t>(version >> 8);
        result.status = fetch_status::ok;
        result.received = firmware_image_size;
        return result;
    };
}

void report_received(amp_report& report, virtual_amp& amp, std::span<const uint8_t> message) {
    if (message.size() <= whole_message_limit) {
        write_line(report, "recv " + hex_line(message));
    } else {
        const std::string head = hex_line(message.subspan(2, 1));
        write_line(report, "recv " + head + " " + std::to_string(message.size()));
    }
    for (const std::string& line : amp.log)
        if (line.starts_with("->")) write_line(report, "reply" + line.substr(2));
    amp.log.clear();
    amp.blocks.clear();

    if (amp.stores != report.stores) {
        report.stores = amp.stores;
        write_line(report, "stored");
    }
    if (amp.cabinets_done != report.cabinets_done && message.size() > 3 &&
        message[3] < amp.slots.size()) {
        report.cabinets_done = amp.cabinets_done;
        const amp_slot& slot = amp.slots[message[3]];
        write_line(report, "slot " + std::to_string(message[3]) + " \"" + slot.name + "\" " +
                               std::to_string(slot.image.size()) + " bytes");
        if (report.keep_slot_image) report.keep_slot_image(message[3], slot.image);
    }
    if (amp.firmware_updates != report.firmware_updates) {
        report.firmware_updates = amp.firmware_updates;
        write_line(report, "firmware " + firmware_version_text(amp.firmware_version));
    }
    if (report.log) std::fflush(report.log);
}

midi_port_factory reporting_port_factory(loopback_bus& bus, amp_report& report) {
    midi_port_factory factory = loopback_port_factory(bus);
    factory.make_output = [&bus, &report, inner = factory.make_output](const std::string& client) {
        return std::unique_ptr<midi_out_port>(
            std::make_unique<reporting_output>(inner(client), bus, report));
    };
    return factory;
}

} // namespace nimba
