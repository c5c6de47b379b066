// The librarian: reads every program of the amplifier into the editor state, writes back the
// programs of a backup that differ (each read back and compared), keeps backup files, and
// returns the amplifier to the program the editor shows. Reading a program makes it the amplifier's
// current one. Worker thread (the command-line tool's one thread).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/outcome.h"
#include "device/link.h"
#include "device/program_backup.h"

namespace nimba {

// A program request that times out is sent again this many more times.
inline constexpr int32_t program_request_retries = 2;
// A program request answered about another program is sent again at once, up to this many
// times per program; beyond that such an answer counts as a request that timed out.
inline constexpr int32_t other_program_repeats = 8;
// How many backups the editor keeps in its backup folder.
inline constexpr size_t kept_backups = 20;

enum class walk_status {
    done,
    no_answer,   // `program` did not answer any of its requests
    mismatch,    // `program` read back other values than were written
    stopped,     // the stop request was seen
    port_closed, // nothing could be sent
};

struct walk_result {
    walk_status status = walk_status::done;
    int32_t program = -1;
};

// How a walk that did not finish ended, after `what` (the operation it cut short): "backup
// incomplete: program 77 did not answer 3 requests". No outcome (code none) for a walk that
// finished or was stopped.
outcome walk_outcome(std::string_view what, const walk_result& result);

// Program n into its state record, asking again after a timeout up to the retry limit, and at
// once (up to other_program_repeats) when the amplifier answers about another program.
walk_result read_program_number(device_link& link, int32_t n);

// Programs 0..127 into the state, progress from progress_programs up; the first program that
// never answers ends the walk. Leaves the amplifier on the last program read.
walk_result read_all_programs(device_link& link);

// Reads state.program again, which makes it the amplifier's current program once more, and
// sets progress back to idle.
walk_result return_to_current_program(device_link& link);

// Returns the amplifier to the program the editor shows after a walk, whatever the walk did:
// the walk's own failure when it failed, else the return's.
walk_result and_return_to_current_program(device_link& link, const walk_result& walk);

// What a restore puts back: the programs chosen (all when empty) and whether the amplifier-wide
// values go back too. A restore of chosen programs leaves the amplifier-wide values alone
// unless asked.
struct restore_choice {
    std::vector<int32_t> programs;
    bool amp_values = true;
};

// What a restore did, as far as it went.
struct restore_report {
    std::vector<int32_t> stored;         // written, stored and read back as written
    std::vector<std::string> amp_values; // the amplifier-wide fields that were put back
    int32_t unconfirmed = -1;            // sent when the restore ended, not read back
};

// Writes the chosen programs of `file` whose values differ from the state (read from the
// amplifier just before) as the editor stores a program: the parameter block for program n with
// its values from the file and the amplifier-wide values (the file's when chosen, else the
// amplifier's own), then the store request; each is read back and compared. When only the chosen
// amplifier-wide values differ, the first chosen program is written to carry them.
walk_result restore_programs(device_link& link, const program_backup& file,
                             const restore_choice& choice, restore_report& report);

// What a restore put back, in words: "programs 3 5 and the amplifier-wide values tolex_colour",
// "nothing"; then "; program 7 sent, not read back" when it ended with one unconfirmed.
std::string restore_report_text(const restore_report& report);

// UTC now as ISO 8601, "2026-12-09T01:48:34Z".
std::string utc_time_text();

// Writes the backup as a whole file (write_file_safely), only when every value is in range, so a
// written backup always loads again. The reason when it could not be written.
std::optional<std::string> write_backup_file(const std::wstring& path,
                                             const program_backup& backup);
// Reads (a regular file of at most 1 MiB) and loads a backup file.
backup_load read_backup_file(const std::wstring& path);

// Writes the backup into `folder` (made when missing) as
// "programs-<date>-<time>-firmware-<version>.json" and deletes the oldest files of exactly that
// name pattern (regular files, by modification time) beyond kept_backups, never the one just
// written. The written path, or the reason it could not be written.
struct folder_backup {
    std::wstring path;
    std::string error;
};
folder_backup write_backup_into_folder(const std::wstring& folder, const program_backup& backup);
// Why write_backup_into_folder could not write into `folder` now (made when missing), checked
// before the programs are read; empty when it could.
std::string backup_folder_fault(const std::wstring& folder);

} // namespace nimba
