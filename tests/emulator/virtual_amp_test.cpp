// The virtual amplifier: its replies byte for byte, what it keeps from what it is sent, its
// transfers and its faults; and the editor's protocol against it over the loopback ports.
#include "emulator/virtual_amp.h"

#include <gtest/gtest.h>

#include "tests/device/loopback_link.h"

namespace nimba {
namespace {

using bytes = std::vector<uint8_t>;

amp_replies receive(virtual_amp& amp, const bytes& m) {
    amp_replies replies;
    amp_receive(amp, m, replies);
    return replies;
}

bytes nibble_chunk(uint8_t code, uint32_t offset, int offset_nibbles, const bytes& image) {
    bytes m{0xF0, 0x00, code};
    for (int s = (offset_nibbles - 1) * 4; s >= 0; s -= 4) m.push_back((offset >> s) & 0x0F);
    for (size_t i = 0; i < chunk_bytes; ++i) {
        const uint8_t b = offset + i < image.size() ? image[offset + i] : 0;
        m.push_back(b >> 4);
        m.push_back(b & 0x0F);
    }
    m.push_back(0xF7);
    return m;
}

bytes transfer_close(uint8_t slot, uint16_t size, const std::string& name) {
    bytes m{0xF0, 0x00, 0x09, slot};
    for (int s = 12; s >= 0; s -= 4) m.push_back((size >> s) & 0x0F);
    for (size_t i = 0; i < 64; ++i) m.push_back(i < name.size() ? uint8_t(name[i]) : 0);
    m.push_back(0xF7);
    return m;
}

const bytes ack{0xF0, 0x00, 0x08, 0xF7};
const bytes changed{0xF0, 0x00, 0x03, 0xF7};

TEST(VirtualAmp, RepliesToRequests) {
    virtual_amp amp;
    amp.firmware_version = 0x0114;
    amp.midi_channel = 3;
    amp.tolex_colour = 2;
    amp.programs[5] = {1, 2, 3, 4, 1, 5, 6, 7, 1};
    amp.global_values = {10, 11, 12, 13, 14, 15, 16};
    amp.slots[3].name = "3_clean";
    bytes name_reply{0xF0, 0x00, 0x04, 0x00, 0x03, '3', '_', 'c', 'l', 'e', 'a', 'n'};
    name_reply.resize(69, 0);
    name_reply.push_back(0xF7);
    struct row {
        const char* what;
        bytes request;
        amp_replies replies;
    };
    const row rows[] = {
        {"version", {0xF0, 0x00, 0x0B, 0xF7}, {{0xF0, 0x00, 0x0B, 0x01, 0x14, 0xF7}}},
        {"program 5", {0xF0, 0x00, 0x02, 0x05, 0xF7}, {{0xF0, 0x00, 0x02, 5,  3,  1,  2,   3,
                                                        4,    1,    5,    6,  7,  1,  2,   10,
                                                        11,   12,   13,   14, 15, 16, 0xF7}}},
        {"slot name 3", {0xF0, 0x00, 0x04, 0x03, 0xF7}, {name_reply}},
        {"slot 6 does not exist", {0xF0, 0x00, 0x04, 0x06, 0xF7}, {}},
        {"version request too long", {0xF0, 0x00, 0x0B, 0x00, 0xF7}, {}},
        {"byte 1 not 00", {0xF0, 0x01, 0x0B, 0xF7}, {}},
        {"no F7", {0xF0, 0x00, 0x0B, 0x00}, {}},
        {"store answers nothing", {0xF0, 0x00, 0x0A, 0xF7}, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(receive(amp, r.request), r.replies);
    }
    EXPECT_EQ(amp.received[0x0B], 1);
    EXPECT_EQ(amp.ignored, 4);
}

TEST(VirtualAmp, KeepsParameterBlocksAndStores) {
    virtual_amp amp;
    const bytes block{0xF0, 0x00, 0x01, 0x07, 0x01, 1,  2,  3,  4,  2,  5,   6,
                      7,    1,    4,    20,   21,   22, 23, 24, 25, 26, 0xF7};
    EXPECT_TRUE(receive(amp, block).empty());
    ASSERT_EQ(amp.blocks.size(), 1u);
    EXPECT_EQ(amp.programs[7], (amp_program{1, 2, 3, 4, 2, 5, 6, 7, 1}));
    EXPECT_EQ(amp.midi_channel, 1);
    EXPECT_EQ(amp.tolex_colour, 4);
    EXPECT_EQ(amp.global_values[6], 26);
    EXPECT_EQ(amp.stored[7], amp_program{});
    EXPECT_EQ(amp.program, 7); // a block makes its program the current one
    amp.programs[8] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    receive(amp, {0xF0, 0x00, 0x0A, 0xF7});
    EXPECT_EQ(amp.stores, 1);
    EXPECT_EQ(amp.stored[7], amp.programs[7]);
    EXPECT_EQ(amp.stored[8], amp_program{}); // a store keeps the current program only
    receive(amp, {0xF0, 0x00, 0x02, 0x08, 0xF7});
    EXPECT_EQ(amp.program, 8); // and so does a request for a program
    // The reply reads back what the block set.
    EXPECT_EQ(amp_program_reply(amp, 7),
              (bytes{0xF0, 0x00, 0x02, 0x07, 0x01, 1,  2,  3,  4,  2,  5,   6,
                     7,    1,    4,    20,   21,   22, 23, 24, 25, 26, 0xF7}));
    bytes short_block = block;
    short_block.erase(short_block.begin() + 20);
    receive(amp, short_block);
    EXPECT_EQ(amp.blocks.size(), 1u);
}

TEST(VirtualAmp, CabinetTransferFillsTheSlot) {
    virtual_amp amp;
    bytes image(300);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(receive(amp, nibble_chunk(0x08, 0, 4, image)), amp_replies{ack});
    EXPECT_EQ(receive(amp, nibble_chunk(0x08, 256, 4, image)), amp_replies{ack});
    // A close that claims more than arrived completes nothing and is not acknowledged.
    EXPECT_TRUE(receive(amp, transfer_close(2, 600, "TOO LONG")).empty());
    EXPECT_EQ(receive(amp, transfer_close(2, 300, "MY CAB")), (amp_replies{ack, changed}));
    EXPECT_EQ(amp.slots[2].image, image);
    EXPECT_EQ(amp.slots[2].name, "MY CAB");
    EXPECT_EQ(amp.cabinets_done, 1);
    EXPECT_TRUE(amp.cabinet_transfer.empty());

    bytes bad = nibble_chunk(0x08, 0, 4, image);
    bad[100] = 0x10; // not a nibble
    EXPECT_TRUE(receive(amp, bad).empty());
    EXPECT_TRUE(receive(amp, transfer_close(6, 0, "NO SLOT")).empty());
}

TEST(VirtualAmp, FirmwareUpdateKeepsTheImageAndItsVersion) {
    virtual_amp amp;
    bytes image(firmware_image_size);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i ^ (i >> 8));
    image[0x1FFFC] = 0x34;
    image[0x1FFFD] = 0x12;
    for (uint32_t a = 0; a < firmware_image_size; a += 256)
        ASSERT_EQ(receive(amp, nibble_chunk(0x07, a, 6, image)), amp_replies{ack}) << a;
    EXPECT_TRUE(receive(amp, nibble_chunk(0x07, firmware_image_size, 6, image)).empty());
    EXPECT_EQ(receive(amp, transfer_close(0x10, 0xFFFF, "NIMBA.bin")), (amp_replies{ack, changed}));
    EXPECT_EQ(amp.firmware_image, image);
    EXPECT_EQ(amp.firmware_version, 0x1234);
    EXPECT_EQ(amp.firmware_updates, 1);
}

TEST(VirtualAmp, LinkResetDropsATransferInProgress) {
    virtual_amp amp;
    receive(amp, nibble_chunk(0x08, 0, 4, bytes(256, 1)));
    receive(amp, {0xF0, 0x00, 0x0C, 0xF7});
    EXPECT_EQ(amp.link_resets, 1);
    EXPECT_TRUE(receive(amp, transfer_close(0, 256, "X")).empty());
}

TEST(VirtualAmp, ReplyFaults) {
    struct row {
        const char* what;
        amp_faults faults;
        std::vector<size_t> sizes; // of the replies to three version requests
    };
    const row rows[] = {
        {"none", {}, {6, 6, 6}},
        {"silent", {.silent = true}, {}},
        {"second dropped", {.drop_reply = 2}, {6, 6}},
        {"third truncated", {.truncate_reply = 3, .truncate_to = 4}, {6, 6, 4}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        virtual_amp amp;
        amp.faults = r.faults;
        amp_replies replies;
        for (int i = 0; i < 3; ++i) amp_receive(amp, bytes{0xF0, 0x00, 0x0B, 0xF7}, replies);
        std::vector<size_t> sizes;
        for (const auto& m : replies) sizes.push_back(m.size());
        EXPECT_EQ(sizes, r.sizes);
        EXPECT_EQ(amp.replies_made, 3);
    }
}

// ---------------------------------------------------------------------------------------------
// The editor's protocol against the amplifier

TEST(EditorAndAmp, ProgramRoundTripAndSlotNames) {
    test::loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    t.bus.amp.programs[0] = {1, 2, 3, 4, 0, 1, 1, 1, 0};
    t.bus.amp.midi_channel = 0x21;
    t.bus.amp.slots[3].name = "3_clean";
    request_program(*t.link, 0);
    EXPECT_EQ(t.state->programs[0].loaded, 1);
    EXPECT_EQ(t.state->midi_channel, 1);
    ASSERT_TRUE(request_slot_name(*t.link, 3));
    EXPECT_EQ(wait_for_reply(*t.link, code_slot_name), wait_result::reply);
    EXPECT_EQ(slot_name(*t.state, 3), L"CLEAN");

    t.state->programs[0].ir_slot[2] = 5;
    t.state->tolex_colour = 3;
    EXPECT_TRUE(send_parameter_block(*t.link, 0));
    EXPECT_EQ(t.bus.amp.programs[0][2], 5);
    EXPECT_EQ(t.bus.amp.tolex_colour, 3);
}

TEST(EditorAndAmp, DelayedReplies) {
    struct row {
        const char* what;
        amp_faults faults;
        wait_result result;
    };
    const row rows[] = {
        {"10 polls late", {.delay_polls = 10}, wait_result::reply},
        {"624 polls late", {.delay_polls = 624}, wait_result::reply},
        {"625 polls late", {.delay_polls = 625}, wait_result::timeout},
        {"3000 ms late", {.delay_ms = 3000}, wait_result::reply},
        {"3125 ms late", {.delay_ms = 3125}, wait_result::timeout},
        {"reply dropped", {.drop_reply = 1}, wait_result::timeout},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        test::loopback_link t;
        ASSERT_TRUE(find_and_open_ports(*t.link));
        t.bus.amp.faults = r.faults;
        ASSERT_TRUE(send_version_request(*t.link));
        EXPECT_EQ(wait_for_reply(*t.link, code_version), r.result);
    }
}

TEST(EditorAndAmp, FrontPanelChangeAsksForAResync) {
    test::loopback_link t;
    ASSERT_TRUE(find_and_open_ports(*t.link));
    front_panel_program_change(t.bus, 42);
    poll_one_message(*t.link);
    EXPECT_TRUE(t.link->resync_pending);
    EXPECT_EQ(t.state->program, 42);
    EXPECT_EQ(t.bus.amp.program, 42);
}

} // namespace
} // namespace nimba
