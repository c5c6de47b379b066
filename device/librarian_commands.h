// BACKUP and RESTORE from the editor's window, carried out by the worker: a backup of every
// program into a file the user picks; a restore that loads the file the user picks (a file that
// does not load is refused with its reason, nothing sent), compares it with every program read
// from the amplifier, asks once, and only when confirmed writes what differs, reads it back and
// tells the outcome. Device-link worker only, after it took the command from the queue.
#pragma once

#include <cstdint>
#include <optional>

#include "device/link.h"
#include "device/program_backup.h"
#include "device/worker.h"

namespace nimba {

// command_backup .. command_restore_cancel. `waiting` holds the backup a restore asks about
// from the question until its answer; a confirmation or cancellation when no question is asked
// (answered already, or withdrawn when the amplifier went away) does nothing.
void run_librarian_command(device_link& link, const worker_services& services, int32_t command,
                           std::optional<program_backup>& waiting);

} // namespace nimba
