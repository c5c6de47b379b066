// Port discovery, polling and the error callback, over the loopback ports.
#include "device/midi_ports.h"

#include <gtest/gtest.h>

#include "tests/device/loopback_link.h"

namespace nimba {
namespace {

using names = std::vector<std::string>;
using test::loopback_link;

TEST(PortDiscovery, WhichPortsAreTaken) {
    struct row {
        const char* what;
        names inputs, outputs;
        std::string amp; // the name of the amplifier's own ports
        bool found;      // both open, and on the amplifier
    };
    const row rows[] = {
        {"plain", {"NIMBA virtual"}, {"NIMBA virtual"}, "NIMBA virtual", true},
        {"mark anywhere",
         {"MIDIIN2 (NIMBA MIDI 1)"},
         {"MIDIIN2 (NIMBA MIDI 1)"},
         "MIDIIN2 (NIMBA MIDI 1)",
         true},
        {"two matches: the lowest index",
         {"Synth", "NIMBA MIDI 1", "MIDIIN2 (NIMBA MIDI 1)"},
         {"NIMBA MIDI 1", "MIDIIN2 (NIMBA MIDI 1)"},
         "NIMBA MIDI 1",
         true},
        {"lower-case mark", {"nimba virtual"}, {"nimba virtual"}, "nimba virtual", false},
        {"mixed-case mark", {"Nimba"}, {"Nimba"}, "Nimba", false},
        {"input without output", {"NIMBA virtual"}, {"Synth"}, "NIMBA virtual", false},
        {"output without input", {"Synth"}, {"NIMBA virtual"}, "NIMBA virtual", false},
        {"no ports", {}, {}, "NIMBA virtual", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        loopback_link t;
        t.bus.input_names = r.inputs;
        t.bus.output_names = r.outputs;
        t.bus.amp_port_name = r.amp;
        // A failed search also closes a port left open before it.
        if (!r.found && !r.inputs.empty()) t.in->openPort(0, "stale");
        EXPECT_EQ(find_and_open_ports(*t.link), r.found);
        EXPECT_EQ(t.in->isPortOpen(), r.found);
        EXPECT_EQ(t.out->isPortOpen(), r.found);
        if (r.found) {
            EXPECT_TRUE(t.reaches_amp());
        }
    }
}

TEST(PortDiscovery, AnOpenPortIsNeverReopened) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    EXPECT_EQ(t.bus.port_opens, 2);
    add_ports_before_amp(t.bus, 2); // another device plugged in before the amplifier
    inject_message(t.bus, {0xF0, 0x00, 0x08, 0xF7});
    EXPECT_TRUE(find_and_open_ports(*t.link));
    EXPECT_EQ(t.bus.port_opens, 2);
    EXPECT_TRUE(t.reaches_amp());
}

TEST(PortDiscovery, UnplugAndReturn) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    set_plugged(t.bus, false);
    EXPECT_FALSE(find_and_open_ports(*t.link));
    EXPECT_FALSE(t.in->isPortOpen());
    EXPECT_FALSE(t.out->isPortOpen());
    set_plugged(t.bus, true);
    EXPECT_TRUE(find_and_open_ports(*t.link));
    EXPECT_TRUE(t.reaches_amp());
}

TEST(PortDiscovery, ErrorCallbackClosesBothPortsAndTheNextFindReopens) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    // Unplugged and back between two cycles: the old connection is dead, and the send that
    // finds out reports an error.
    set_plugged(t.bus, false);
    set_plugged(t.bus, true);
    EXPECT_TRUE(send_version_request(*t.link));
    EXPECT_FALSE(t.in->isPortOpen());
    EXPECT_FALSE(t.out->isPortOpen());
    EXPECT_TRUE(find_and_open_ports(*t.link));
    EXPECT_TRUE(t.reaches_amp());
}

TEST(PortDiscovery, FailedOpenLeavesBothClosedAndIsRetried) {
    loopback_link t;
    t.bus.fail_open = true;
    EXPECT_FALSE(find_and_open_ports(*t.link));
    EXPECT_FALSE(t.in->isPortOpen());
    EXPECT_FALSE(t.out->isPortOpen());
    t.bus.fail_open = false;
    EXPECT_TRUE(find_and_open_ports(*t.link));
}

TEST(PortDiscovery, CloseClosesBoth) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    close_ports(*t.link);
    EXPECT_FALSE(t.in->isPortOpen());
    EXPECT_FALSE(t.out->isPortOpen());
    EXPECT_FALSE(send_store(*t.link));
}

TEST(Polling, OneMessagePerPollInArrivalOrder) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    inject_message(t.bus, {0xF8});                               // clock: filtered
    inject_message(t.bus, {0x90, 0x40, 0x7F});                   // note: passed, ignored
    inject_message(t.bus, {0xF0, 0x00, 0x0B, 0x01, 0x14, 0xF7}); // system exclusive: passed
    inject_message(t.bus, {0xF0, 0x00, 0x03, 0x05, 0xF7});
    poll_one_message(*t.link);
    EXPECT_EQ(t.link->last_reply, 0);
    poll_one_message(*t.link);
    EXPECT_EQ(t.link->last_reply, code_version);
    EXPECT_EQ(t.state->device_firmware_version, 0x0114);
    EXPECT_EQ(t.state->program, 0);
    poll_one_message(*t.link);
    EXPECT_EQ(t.state->program, 5);
}

TEST(Polling, TheHundredthUnpolledMessageIsLost) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    for (uint8_t i = 0; i < 100; ++i) inject_message(t.bus, {0xF0, 0x00, 0x03, i, 0xF7});
    EXPECT_EQ(t.bus.queue_drops, 1);
    for (int i = 0; i < 99; ++i) {
        poll_one_message(*t.link);
        ASSERT_EQ(t.state->program, i);
    }
    t.state->program = 0;
    poll_one_message(*t.link); // message 99 never arrived
    EXPECT_EQ(t.state->program, 0);
}

TEST(Polling, GarbageIsDroppedAndTheLinkStillWorks) {
    loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    t.state->program = 9;
    inject_garbage(t.bus, 60, 7);
    for (int i = 0; i < 60; ++i) poll_one_message(*t.link);
    t.link->last_reply = 0;
    EXPECT_TRUE(t.reaches_amp());
}

} // namespace
} // namespace nimba
