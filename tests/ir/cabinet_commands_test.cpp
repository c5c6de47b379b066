// The worker's cabinet commands 4..12 against the virtual amplifier, with a scripted picker.
#include "ir/cabinet_commands.h"

#include <gtest/gtest.h>

#include "amp_fixture.h"
#include "ir/ir_export.h"
#include "ir/ir_import.h"
#include "wav_builder.h"

namespace nimba {
namespace {

using namespace nimba::test;

// Answers every request with `answer` and remembers which modes were asked for.
struct scripted_picker {
    std::wstring answer;
    std::vector<pick_mode> asked;
    path_picker seam() {
        return [this](pick_mode mode) {
            asked.push_back(mode);
            return answer;
        };
    }
};

// The import hands the picked file to the preview; the IR the preview hands back (here, the file
// converted as the preview's defaults convert it) reaches the slot named after the file.
TEST(CabinetCommands, ImportCommandsFillTheirSlot) {
    temp_folder dir;
    write_file(dir / "room.wav.wav", float_wav({0.5f, 0.25f}, 48000));
    for (int32_t command = command_import_slot0; command <= command_import_slot5; ++command) {
        amp_fixture amp;
        amp.state->link_status = link_connected;
        int32_t status_while_picking = -1;
        path_picker pick = [&](pick_mode mode) {
            EXPECT_EQ(mode, pick_mode::wav_file);
            status_while_picking = amp.state->link_status;
            return wide(dir / "room.wav.wav");
        };
        run_cabinet_command(*amp.link, command, pick);
        EXPECT_EQ(status_while_picking, link_busy);
        const int slot = command - command_import_slot0;
        EXPECT_TRUE(amp.sent.empty());
        cabinet_handoff& files = amp.state->cabinet_files;
        EXPECT_EQ(files.picked_slot, slot);
        EXPECT_EQ(files.picked_name, L"room.wav.wav");
        files.send_slot = files.picked_slot;
        files.send_name = files.picked_name;
        files.send_samples = convert_wav_to_ir(files.picked_file).samples;
        run_cabinet_command(*amp.link, command_send_previewed, pick);
        EXPECT_EQ(files.send_slot, -1);
        for (int s = 0; s < slot_count; ++s)
            EXPECT_EQ(amp.bus.amp.slots[s].name, s == slot ? "ROOM" : "") << command;
        EXPECT_EQ(amp.state->progress.load(), 100);
    }
}

TEST(CabinetCommands, CancelledPickerSendsNothing) {
    amp_fixture amp;
    scripted_picker picker;
    run_cabinet_command(*amp.link, command_import_slot0 + 2, picker.seam());
    EXPECT_TRUE(amp.sent.empty());
    EXPECT_EQ(amp.state->link_status.load(), link_connected);
    EXPECT_GE(amp.repaints, 2);

    run_cabinet_command(*amp.link, command_import_slot0, nullptr); // no picker at all
    EXPECT_TRUE(amp.sent.empty());
    EXPECT_EQ(amp.state->cabinet_files.picked_slot, -1);
    run_cabinet_command(*amp.link, command_send_previewed, nullptr); // nothing handed over
    EXPECT_TRUE(amp.sent.empty());
    EXPECT_EQ(amp.state->link_status.load(), link_connected);
}

TEST(CabinetCommands, FactorySendUsesChosenCabinetAndSlot) {
    const struct {
        int32_t cabinet;
        int32_t slot_choice;
        int expected_slot; // -1: nothing sent
    } cases[] = {
        {3, 2, 1},  {11, 6, 5},  {0, 1, 0},   // the cabinet page offers slots 1..6
        {3, 0, -1},                           // no slot chosen: would be slot FF
        {3, 7, -1}, {12, 2, -1}, {-1, 2, -1}, // no seventh slot; outside the table
    };
    for (const auto& c : cases) {
        amp_fixture amp;
        amp.state->factory_cabinet = c.cabinet;
        amp.state->ir_slot_choice = c.slot_choice;
        scripted_picker picker;
        run_cabinet_command(*amp.link, command_send_factory, picker.seam());
        EXPECT_TRUE(picker.asked.empty());
        if (c.expected_slot < 0) {
            EXPECT_TRUE(amp.sent.empty()) << c.cabinet << " " << c.slot_choice;
            EXPECT_EQ(amp.state->link_status.load(), link_connected);
            continue;
        }
        const auto& cabinet = amp.state->cabinets[c.cabinet];
        const auto image = encode_ir_image(*cabinet_samples(cabinet));
        EXPECT_EQ(amp.bus.amp.slots[c.expected_slot].image, *image);
        EXPECT_EQ(amp.bus.amp.slots[c.expected_slot].name,
                  std::string(cabinet.name.begin(), cabinet.name.end()));
        EXPECT_EQ(amp.state->link_status.load(), link_busy);
    }
}

TEST(CabinetCommands, ExportAsksForAFolder) {
    temp_folder dir;
    amp_fixture amp;
    amp.state->link_status = link_connected;
    scripted_picker picker;
    picker.answer = wide(dir.path);
    run_cabinet_command(*amp.link, command_export_all, picker.seam());
    EXPECT_EQ(picker.asked, std::vector<pick_mode>{pick_mode::folder});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path),
                            std::filesystem::directory_iterator()),
              12);
    EXPECT_TRUE(amp.sent.empty());
    EXPECT_EQ(amp.state->link_status.load(), link_connected);
    EXPECT_EQ(amp.repaints, 1);
    EXPECT_EQ(latest_outcome(amp.state->outcome).latest.text, "export done: 12 cabinets written");
}

} // namespace
} // namespace nimba
