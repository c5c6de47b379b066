// The demo edition's amplifier: its starting contents as the editor reads them, the firmware it
// is served (never an update), and the report of what it receives.
#include "emulator/demo_amp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>

#include "device/firmware.h"
#include "device/link.h"
#include "device/worker.h"
#include "ir/cabinet_commands.h"

namespace nimba {
namespace {

using bytes = std::vector<uint8_t>;

// A temporary file that the report writes and the test reads back.
struct report_file {
    amp_report report;
    std::vector<std::pair<int, bytes>> kept;

    report_file() {
        report.log = std::tmpfile();
        report.keep_slot_image = [this](int slot, std::span<const uint8_t> image) {
            kept.emplace_back(slot, bytes(image.begin(), image.end()));
        };
    }
    ~report_file() { std::fclose(report.log); }
    std::vector<std::string> lines() {
        std::fflush(report.log);
        std::rewind(report.log);
        std::vector<std::string> out;
        char line[512];
        while (std::fgets(line, sizeof line, report.log)) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n') text.pop_back();
            out.push_back(text);
        }
        return out;
    }
};

// The worker on virtual time against the demo's own ports and fetch, cycle by cycle.
struct demo_link {
    loopback_bus bus;
    virtual_clock clock;
    report_file file;
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    worker_services services;
    worker_locals locals;

    demo_link() {
        bus.clock = &clock;
        seed_demo_amp(bus.amp);
        reset_device_part(*state);
        link->state = state.get();
        link->clock = &clock;
        services.ports = reporting_port_factory(bus, file.report);
        services.fetch = demo_firmware_fetch(bus, file.report);
        services.cabinet_command = [](device_link& l, int32_t command) {
            run_cabinet_command(l, command, nullptr);
        };
        open_worker_ports(*link, services, locals);
    }
    // Runs cycles until the link is connected and idle, at most `limit`.
    bool connect(int limit = 400) {
        for (int i = 0; i < limit; ++i) {
            worker_cycle(*link, services, locals);
            if (state->link_status == link_connected && state->progress == progress_idle)
                return true;
        }
        return false;
    }
    void post(int32_t code, int cycles = 40) {
        post_command(state->commands, {.code = code, .program = state->program});
        for (int i = 0; i < cycles; ++i) worker_cycle(*link, services, locals);
    }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(DemoAmp, SeedGivesNamedSlotsAndProgramsThatDiffer) {
    virtual_amp amp;
    seed_demo_amp(amp);
    std::set<std::string> names;
    for (size_t k = 0; k < amp.slots.size(); ++k) {
        const std::string& name = amp.slots[k].name;
        EXPECT_TRUE(name.starts_with(std::to_string(k) + "_")) << name;
        EXPECT_LE(name.size(), 64u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), amp.slots.size());
    for (int n = 0; n < 128; ++n) {
        const amp_program& p = amp.programs[n];
        for (int i = 0; i < 4; ++i) EXPECT_LT(p[i], 6) << n;
        EXPECT_LT(p[4], 3) << n;
        for (int i = 5; i < 8; ++i) EXPECT_LT(p[i], 3) << n;
        EXPECT_LE(p[8], 1) << n;
        EXPECT_NE(p, amp.programs[(n + 1) % 128]) << n;
    }
    EXPECT_EQ(amp.stored, amp.programs); // nothing waits to be stored
    EXPECT_GT(amp.faults.delay_ms, 0);
}

TEST(DemoAmp, FetchServesTheAmplifiersOwnVersion) {
    loopback_bus bus;
    seed_demo_amp(bus.amp);
    report_file file;
    const firmware_fetch fetch = demo_firmware_fetch(bus, file.report);
    for (const uint16_t version : {uint16_t{0x0105}, uint16_t{0x0A07}}) {
        bus.amp.firmware_version = version;
        std::array<uint8_t, firmware_image_size> image;
        image.fill(0xEE);
        const fetch_result result = fetch("https://any.test/fw", image);
        EXPECT_EQ(result.status, fetch_status::ok);
        EXPECT_EQ(result.received, firmware_image_size);
        EXPECT_EQ(firmware_image_version(image), version);
    }
    bytes small(1000, 0xEE);
    EXPECT_EQ(fetch("https://any.test/fw", small).status, fetch_status::too_long);
    EXPECT_EQ(small, bytes(1000, 0xEE)); // a buffer too small is left alone
    EXPECT_EQ(file.lines(), (std::vector<std::string>{"fetch 1.5.0", "fetch 10.7.0"}));
}

TEST(DemoAmp, ConnectsWithoutUpdateAndShowsTheSlotNames) {
    demo_link demo;
    ASSERT_TRUE(demo.connect());
    EXPECT_EQ(demo.bus.amp.received[0x07], 0); // no firmware chunk
    EXPECT_EQ(demo.bus.amp.firmware_updates, 0);
    EXPECT_EQ(demo.state->device_firmware_version, 0x0105);
    EXPECT_EQ(demo.state->available_firmware_version, 0x0105);
    const wchar_t* shown[] = {L"CLEAN TWIN 2X12", L"BRIT 4X12 GB", L"BLUES 1X12 ALNICO",
                              L"JAZZ 1X15",       L"MODERN V30",   L"ROOM AMBIENCE"};
    for (int k = 0; k < slot_count; ++k) EXPECT_EQ(slot_name(*demo.state, k), shown[k]) << k;
    EXPECT_EQ(demo.state->programs[0].loaded, 1);
    EXPECT_EQ(demo.state->programs[1].loaded, 0); // read on its first visit only

    const auto lines = demo.file.lines();
    const std::vector<std::string> start(lines.begin(), lines.begin() + 5);
    EXPECT_EQ(start, (std::vector<std::string>{"recv F0 00 0B F7", "reply 0B 6", "fetch 1.5.0",
                                               "recv F0 00 02 00 F7", "reply 02 23"}));
    EXPECT_TRUE(contains(lines, "recv F0 00 04 05 F7"));
    EXPECT_TRUE(demo.bus.amp.log.empty()); // reported, not kept
}

TEST(DemoAmp, ReportsEditsStoresAndCabinets) {
    demo_link demo;
    ASSERT_TRUE(demo.connect());
    demo.state->program = 1;
    demo.post(command_read_program);
    demo.state->programs[1].ir_bypass = 1;
    demo.post(command_send_block);
    demo.post(command_store);
    demo.state->ir_slot_choice = 3; // slot 2
    fill_cabinet_library(demo.state->cabinets);
    demo.state->factory_cabinet = 4;
    demo.post(command_send_factory, 400);

    const auto lines = demo.file.lines();
    EXPECT_TRUE(contains(lines, "recv F0 00 02 01 F7"));
    EXPECT_TRUE(contains(lines, "stored"));
    // The block for program 1 with the bypass byte set, whole.
    const auto block = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.starts_with("recv F0 00 01 01 ");
    });
    ASSERT_NE(block, lines.end());
    std::istringstream fields(block->substr(5));
    std::vector<std::string> hex;
    for (std::string b; fields >> b;) hex.push_back(b);
    ASSERT_EQ(hex.size(), parameter_block_size);
    EXPECT_EQ(hex[13], "01");

    EXPECT_TRUE(contains(lines, "recv 08 520")); // chunks are summed up, not written out
    const amp_slot& slot = demo.bus.amp.slots[2];
    std::string name;
    for (wchar_t c : demo.state->cabinets[4].name) name.push_back(static_cast<char>(c));
    EXPECT_EQ(slot.name, name);
    EXPECT_TRUE(
        contains(lines, "slot 2 \"" + name + "\" " + std::to_string(slot.image.size()) + " bytes"));
    ASSERT_EQ(demo.file.kept.size(), 1u);
    EXPECT_EQ(demo.file.kept[0].first, 2);
    EXPECT_EQ(demo.file.kept[0].second, slot.image);
    EXPECT_EQ(slot.image.size(), 16428u);
    EXPECT_TRUE(demo.bus.amp.blocks.empty()); // written out, not kept for the demo's lifetime
}

TEST(DemoAmp, ReportsOnlyWhatReachesTheAmplifier) {
    loopback_bus bus;
    report_file file;
    const midi_port_factory ports = reporting_port_factory(bus, file.report);
    auto out = ports.make_output("client");
    const bytes version{0xF0, 0x00, 0x0B, 0xF7};
    out->sendMessage(version.data(), version.size()); // not open yet
    out->openPort(0, "NIMBA virtual");
    const bytes garbage{0x90, 0x40, 0x7F};
    out->sendMessage(garbage.data(), garbage.size());
    set_plugged(bus, false);
    out->sendMessage(version.data(), version.size()); // the amplifier is gone
    EXPECT_EQ(file.lines(), (std::vector<std::string>{"recv 90 40 7F"}));
}

} // namespace
} // namespace nimba
