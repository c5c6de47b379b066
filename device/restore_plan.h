// What restoring a backup would change on the amplifier, worked out before anything is sent: the
// programs and amplifier-wide values that differ (what a restore writes), the slot names that
// differ (which cannot be written back) and a firmware difference; and the question the window
// asks about it. Plain data and text; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/program_backup.h"

namespace nimba {

struct restore_plan {
    std::vector<int32_t> programs;       // programs whose values differ, in order: written
    std::vector<std::string> amp_values; // amplifier-wide fields that differ: written
    std::vector<int32_t> slot_names;     // slots (0..5) whose names differ: not writable
    uint16_t file_firmware = 0;          // the firmware the backup was saved from
    uint16_t amp_firmware = 0;           // the firmware the amplifier runs
};

// `file` against `amp`, the backup of what the amplifier holds now.
restore_plan plan_restore(const program_backup& file, const program_backup& amp);

// Whether the restore would write anything: a program or an amplifier-wide value differs.
bool restore_writes(const restore_plan& plan);

// What the restore writes, in words: "3 programs (1 5 90) and the amplifier-wide values
// tolex_colour"; "" when it writes nothing. Long lists end "... and 40 more".
std::string restore_writes_text(const restore_plan& plan);

// What the restore cannot change, in words: "the names of slots 2 4 differ and cannot be
// written back; the backup was saved from firmware 1.4.0, the amplifier runs 1.5.0"; "" when
// nothing. Slots are counted from 1, as the screen shows them.
std::string restore_notes_text(const restore_plan& plan);

// The question asked before a restore that writes: "restore writes 2 programs (5 90)? ..."
// with the notes after it.
std::string restore_question_for(const restore_plan& plan);

} // namespace nimba
