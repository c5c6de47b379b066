// The restore plan: which programs and amplifier-wide values a restore writes, what it cannot
// write (slot names) or should warn about (another firmware), and its words.
#include "device/restore_plan.h"

#include <gtest/gtest.h>

#include <functional>

namespace nimba {
namespace {

// A backup whose programs all differ from each other, on firmware 1.5.0.
program_backup sample_backup() {
    program_backup b;
    b.firmware = 0x0105;
    b.globals.words = {3, 2, 1, 2, 3, 4, 5, 6, 7};
    for (int32_t n = 0; n < program_count; ++n)
        b.programs[n].words = {n % 6, (n + 1) % 6, (n + 2) % 6, n % 6, n % 3, 0, 1, 2, n % 2};
    b.slot_names = {"CLEAN", "LEAD", "BASS", "X", "AMBIENT", "ROOM"};
    return b;
}

TEST(RestorePlan, WhatDiffersIsWrittenAndWhatCannotBeIsNoted) {
    struct row {
        const char* what;
        std::function<void(program_backup&)> change; // made to the amplifier's side
        std::vector<int32_t> programs;
        std::vector<std::string> amp_values;
        std::vector<int32_t> slot_names;
        bool writes;
        const char* question; // "" when nothing is written
        const char* notes;
    };
    std::vector<int32_t> every_program;
    for (int32_t n = 0; n < program_count; ++n) every_program.push_back(n);
    const row rows[] = {
        {"nothing differs", [](program_backup&) {}, {}, {}, {}, false, "", ""},
        {"one value of one program",
         [](program_backup& a) { a.programs[5].words[8] ^= 1; },
         {5},
         {},
         {},
         true,
         "restore 1 program (5)?",
         ""},
        {"the first and the last program",
         [](program_backup& a) {
             a.programs[0].words[0] = 5;
             a.programs[127].words[4] = 2;
         },
         {0, 127},
         {},
         {},
         true,
         "restore 2 programs (0 127)?",
         ""},
        {"amplifier-wide values only",
         [](program_backup& a) {
             a.globals = {};
             a.globals.words[1] = 2;
         },
         {},
         {"midi_channel", "global_values"},
         {},
         true,
         "restore the amplifier-wide values midi_channel, global_values?",
         ""},
        {"a slot name only: nothing to write, said",
         [](program_backup& a) { a.slot_names[1] = "BRIT 4X12"; },
         {},
         {},
         {1},
         false,
         "",
         "the name of slot 2 differs and cannot be written back"},
        {"another firmware only: nothing to write, said",
         [](program_backup& a) { a.firmware = 0x0106; },
         {},
         {},
         {},
         false,
         "",
         "the backup was saved from firmware 1.5.0, the amplifier runs 1.6.0"},
        {"a program, the tolex colour, two slot names and the firmware",
         [](program_backup& a) {
             a.programs[90].words[2] = 0;
             a.globals.words[1] = 4;
             a.slot_names[0] = "";
             a.slot_names[5] = "ROOM 2";
             a.firmware = 0x0104;
         },
         {90},
         {"tolex_colour"},
         {0, 5},
         true,
         "restore 1 program (90) and the amplifier-wide values tolex_colour? the names of slots "
         "1 6 differ and cannot be written back; the backup was saved from firmware 1.5.0, the "
         "amplifier runs 1.4.0",
         "the names of slots 1 6 differ and cannot be written back; the backup was saved from "
         "firmware 1.5.0, the amplifier runs 1.4.0"},
        {"every program: the list is cut short and says how many more",
         [](program_backup& a) {
             for (auto& p : a.programs) p.words[8] ^= 1;
         },
         every_program,
         {},
         {},
         true,
         "restore 128 programs (0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 ... and 112 more)?",
         ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const program_backup file = sample_backup();
        program_backup amp = file;
        r.change(amp);
        const restore_plan plan = plan_restore(file, amp);
        EXPECT_EQ(plan.programs, r.programs);
        EXPECT_EQ(plan.amp_values, r.amp_values);
        EXPECT_EQ(plan.slot_names, r.slot_names);
        EXPECT_EQ(restore_writes(plan), r.writes);
        EXPECT_EQ(restore_notes_text(plan), r.notes);
        if (r.writes)
            EXPECT_EQ(restore_question_for(plan), r.question);
        else
            EXPECT_EQ(restore_writes_text(plan), "");
    }
}

} // namespace
} // namespace nimba
