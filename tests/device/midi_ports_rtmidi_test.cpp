// The RtMidi ports: making them never throws and a search with no amplifier leaves both
// closed. Where a JACK server runs, a peer on virtual ports stands in for the amplifier and
// the editor's ports find it and exchange messages with it in real time.
#include "device/midi_ports_rtmidi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/link.h"
#include "device/protocol.h"
#include "emulator/virtual_amp.h"

namespace nimba {
namespace {

struct rtmidi_link {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    std::unique_ptr<midi_in_port> in;
    std::unique_ptr<midi_out_port> out;
    rtmidi_link() {
        reset_device_part(*state);
        const midi_port_factory ports = rtmidi_port_factory();
        in = ports.make_input("midi input client", 100);
        out = ports.make_output("midi client");
        link->state = state.get();
        link->midi_in = in.get();
        link->midi_out = out.get();
    }
};

// The amplifier's side on two virtual ports, answered from its own thread.
struct virtual_port_peer {
    std::unique_ptr<midi_in_port> in = make_rtmidi_input("nimba peer in", 100);
    std::unique_ptr<midi_out_port> out = make_rtmidi_output("nimba peer out");
    virtual_amp amp;
    std::atomic<bool> stop{false};
    std::thread thread;
    bool open() {
        if (!open_virtual_port(*in, "NIMBA peer in") || !open_virtual_port(*out, "NIMBA peer out"))
            return false;
        in->ignoreTypes(false, true, true);
        thread = std::thread([this] {
            std::vector<uint8_t> message;
            amp_replies replies;
            while (!stop) {
                in->getMessage(&message);
                if (message.empty()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                replies.clear();
                amp_receive(amp, message, replies);
                for (const auto& r : replies) out->sendMessage(r.data(), r.size());
            }
        });
        return true;
    }
    ~virtual_port_peer() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
};

TEST(RtMidiPorts, MadeWithoutThrowingAndSearchIsSafe) {
    rtmidi_link t;
    int errors = 0;
    t.in->setErrorCallback([&errors] { ++errors; });
    const bool found = find_and_open_ports(*t.link);
    EXPECT_EQ(t.in->isPortOpen(), found);
    EXPECT_EQ(t.out->isPortOpen(), found);
    poll_one_message(*t.link);
    close_ports(*t.link);
    EXPECT_FALSE(t.in->isPortOpen());
    EXPECT_FALSE(t.out->isPortOpen());
    // Opening a port that does not exist is reported, not thrown.
    t.in->setErrorCallback([&errors] { ++errors; });
    t.in->openPort(10000, "midi Input");
    EXPECT_FALSE(t.in->isPortOpen());
    const std::string api = rtmidi_api_name(*t.in);
    if (api != "none" && api != "jack, no server") {
        EXPECT_GT(errors, 0);
    }
}

TEST(RtMidiPorts, ExchangeWithAPeerOnVirtualPorts) {
    virtual_port_peer peer;
    if (rtmidi_api_name(*peer.in) != "jack" || !peer.open())
        GTEST_SKIP() << "needs a running JACK server (jackd -d dummy)";
    peer.amp.firmware_version = 0x0114;
    peer.amp.slots[3].name = "3_clean";
    rtmidi_link t;
    bool found = false;
    for (int i = 0; i < 100 && !found; ++i) {
        found = find_and_open_ports(*t.link);
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(found);
    ASSERT_TRUE(send_version_request(*t.link));
    EXPECT_EQ(wait_for_reply(*t.link, code_version), wait_result::reply);
    EXPECT_EQ(t.state->device_firmware_version, 0x0114);
    ASSERT_TRUE(request_slot_name(*t.link, 3));
    EXPECT_EQ(wait_for_reply(*t.link, code_slot_name), wait_result::reply);
    EXPECT_EQ(slot_name(*t.state, 3), L"CLEAN");
}

} // namespace
} // namespace nimba
