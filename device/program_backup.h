// The backup of all programs: the record one backup holds, its JSON text, and loading that text
// back with every value checked. Plain data and text only, no ports and no files; any thread.
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

// One program's nine values, as they travel in bytes 5..13 of the parameter block.
struct backup_program {
    std::array<int32_t, 4> ir_slot{};
    int32_t channel = 0;
    std::array<int32_t, 3> channel_mode{};
    int32_t ir_bypass = 0;
    bool operator==(const backup_program&) const = default;
};

// The amplifier-wide values: they travel in every parameter block.
struct backup_globals {
    int32_t midi_channel = 0;
    int32_t tolex_colour = 0;
    std::array<int32_t, 7> global_values{};
    bool operator==(const backup_globals&) const = default;
};

struct program_backup {
    std::string saved; // UTC, ISO 8601: "2026-12-09T01:48:34Z"
    uint16_t firmware = 0;
    backup_globals globals;
    // The slot names as the editor shows them. The impulse responses cannot be read back.
    std::array<std::string, slot_count> slot_names;
    std::array<backup_program, program_count> programs{};
};

// "1.5.0" for 0x0105, as the editor shows a firmware version.
std::string firmware_version_text(uint16_t version);

// The record of the amplifier's values as the editor state holds them.
program_backup backup_of_state(const editor_state& state, std::string saved);
// Program n's values from the state record.
backup_program program_of_state(const editor_state& state, int32_t n);

// One value that differs between two backups, with each side's value as text; program is -1 for
// an amplifier-wide value.
struct backup_difference {
    int32_t program = -1;
    std::string field;
    std::string first, second;
};
// The amplifier-wide values first, then the programs in order. Slot names are not compared.
std::vector<backup_difference> backup_differences(const program_backup& first,
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
