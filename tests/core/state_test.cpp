// Editor state: the defaults after the build, what the device-part reset clears and keeps,
// and the slot-name table.
#include "core/state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <string>
#include <thread>

namespace nimba {
namespace {

struct built_state {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    built_state() { build_editor_state(*state); }
};

TEST(EditorState, DefaultsAfterBuild) {
    built_state b;
    const editor_state& s = *b.state;
    EXPECT_EQ(s.link_status, 0);
    EXPECT_EQ(pending_commands(s.commands), 0u);
    EXPECT_EQ(s.progress, -1);
    EXPECT_EQ(s.program, 0);
    EXPECT_EQ(s.tolex_colour, 0);
    EXPECT_EQ(s.midi_channel, 0);
    EXPECT_EQ(s.device_firmware_version, 0);
    EXPECT_EQ(s.available_firmware_version, 0);
    for (const auto& record : s.programs) EXPECT_EQ(record.loaded, 0);
    for (int k = 0; k < slot_count; ++k) EXPECT_TRUE(slot_name(s, k).empty());
    EXPECT_EQ(s.cabinets[1].name, L"212 V30");
}

TEST(EditorState, ResetClearsTheDevicePartAndKeepsTheRest) {
    built_state b;
    editor_state& s = *b.state;
    s.link_status = link_error;
    post_command(s.commands, {.code = command_store});
    s.tolex_colour = 4;
    s.progress = 42;
    s.program = 17;
    s.midi_channel = 9;
    s.ir_slot_choice = 3;
    s.cabinet_list_open = 1;
    s.factory_cabinet = 7;
    s.device_firmware_version = 0x0104;
    s.available_firmware_version = 0x0105;
    s.programs[5].ir_slot[2] = 4;
    s.programs[5].loaded = 1;
    s.programs[0].global_values[6] = 99;
    set_slot_name(s, 3, L"CLEAN");

    reset_device_part(s);

    EXPECT_EQ(s.progress, -1);
    EXPECT_EQ(s.program, 0);
    EXPECT_EQ(s.midi_channel, 0);
    EXPECT_EQ(s.ir_slot_choice, 0);
    EXPECT_EQ(s.cabinet_list_open, 0);
    EXPECT_EQ(s.factory_cabinet, 0);
    EXPECT_EQ(s.device_firmware_version, 0);
    EXPECT_EQ(s.available_firmware_version, 0);
    EXPECT_EQ(s.programs[5].ir_slot[2], 0);
    EXPECT_EQ(s.programs[5].loaded, 0);
    EXPECT_EQ(s.programs[0].global_values[6], 0);
    EXPECT_TRUE(slot_name(s, 3).empty());

    EXPECT_EQ(s.link_status, link_error);
    EXPECT_EQ(pending_commands(s.commands), 1u);
    EXPECT_EQ(s.tolex_colour, 4);
    EXPECT_EQ(s.cabinets[11].name, L"UK 412 JBL120 GB");
}

// Indices outside the six slots are ignored: reading one gives an empty name, writing one
// changes no slot.
TEST(EditorState, SlotNamesOutsideTheSixSlotsAreIgnored) {
    built_state b;
    editor_state& s = *b.state;
    const auto name_of = [](int k) { return L"SLOT " + std::to_wstring(k); };
    for (int k = 0; k < slot_count; ++k) set_slot_name(s, k, name_of(k));
    for (int k : {slot_count, -1, slot_count + 1, INT_MAX, INT_MIN}) {
        set_slot_name(s, k, L"X");
        EXPECT_TRUE(slot_name(s, k).empty()) << k;
    }
    for (int k = 0; k < slot_count; ++k) EXPECT_EQ(slot_name(s, k), name_of(k));
}

// The worker replaces a name while the renderer reads it: every read is a whole name that was
// written, never a mixture or freed memory (the table's lock; the sanitizers watch it).
TEST(EditorState, SlotNamesAreReplacedWholeWhileRead) {
    built_state b;
    const std::wstring one(200, L'A'), other(300, L'Z'); // long enough to live on the heap
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 4000; ++i) set_slot_name(*b.state, 2, i % 2 ? one : other);
        done = true;
    });
    int reads = 0, mixed = 0;
    while (!done) {
        const std::wstring name = slot_name(*b.state, 2);
        ++reads;
        if (!name.empty() && name != one && name != other) ++mixed;
    }
    worker.join();
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
}

TEST(EditorState, ChannelSlotIndexClampsToThree) {
    EXPECT_EQ(channel_slot_index(0), 0);
    EXPECT_EQ(channel_slot_index(2), 2);
    EXPECT_EQ(channel_slot_index(7), 3);
    EXPECT_EQ(channel_slot_index(-2), 0);
}

TEST(EditorState, DestroyReleasesWhatTheBuildMade) {
    built_state b;
    set_slot_name(*b.state, 0, L"A");
    destroy_editor_state(*b.state);
    EXPECT_TRUE(slot_name(*b.state, 0).empty());
    EXPECT_TRUE(b.state->cabinets[0].name.empty());
}

} // namespace
} // namespace nimba
