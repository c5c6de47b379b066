// The backup of all programs: the record one backup holds, its JSON text, and loading that text
// back with every value checked. Its fields are the rows of core/amp_values.h. Plain data and
// text only, no ports and no files; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"

namespace nimba {

inline constexpr std::string_view backup_format_name = "nimba-programs";
// A file whose "version" is higher was written by a newer editor and is refused.
inline constexpr int32_t backup_format_version = 1;

struct program_backup {
    std::string saved; // UTC, ISO 8601: "2026-12-09T01:48:34Z"
    uint16_t firmware = 0;
    amplifier_values globals; // read in range, as every value a backup holds
    // The slot names as the editor shows them. The impulse responses cannot be read back.
    std::array<std::string, slot_count> slot_names;
    std::array<program_values, program_count> programs{};
};

// The record of the amplifier's values as the editor state holds them, each read in range
// (value_in_range), so a backup holds what the screen shows and always loads again.
program_backup backup_of_state(const editor_state& state, std::string saved);

// One value that differs between two backups, with each side's value as text; program is -1 for
// an amplifier-wide value.
struct backup_difference {
    int32_t program = -1;
    std::string field;
    std::string first, second;
};
// The values a restore can write back that differ: the amplifier-wide values first, then the
// programs in order.
std::vector<backup_difference> backup_differences(const program_backup& first,
                                                  const program_backup& second);
// What differs that a restore cannot write back: the firmware version ("firmware", as
// "1.5.0"), then the slot names ("slot_names[2]", each quoted), which change only with a cabinet
// upload. Each with program -1.
std::vector<backup_difference> unwritable_differences(const program_backup& first,
                                                      const program_backup& second);

// The first value outside its range as "<field>: <reason>", or nothing when every value fits.
// A backup is only written when this finds nothing, so every written file loads again.
std::optional<std::string> backup_range_fault(const program_backup& backup);

// The file's text: pretty-printed JSON ending in a newline.
std::string backup_json(const program_backup& backup);

// Loads a file's text. A malformed file gives no backup and one line naming the field and what
// is wrong with it; unknown fields are ignored.
struct backup_load {
    std::optional<program_backup> backup;
    std::string error;
};
backup_load backup_from_json(std::string_view text);

} // namespace nimba
