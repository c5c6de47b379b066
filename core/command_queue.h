// The commands the user interface hands to the device-link worker: a fixed ring of
// command_queue_capacity entries with one producer (the GUI thread, or nimba-cli playing it) and
// one consumer (the worker). Posting never blocks, sleeps or allocates; a full ring refuses.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace nimba {

// Command codes posted by the user interface and carried out by the worker.
enum : int32_t {
    command_none = 0,
    command_send_block = 1,
    command_read_program = 2,
    command_store = 3,
    command_import_slot0 = 4, // 4..9: import a WAV file into user slot 0..5
    command_import_slot5 = 9,
    command_send_factory = 10,
    command_export_all = 11,
    command_backup = 12,          // all programs into a file the user picks
    command_restore = 13,         // load a backup the user picks, compare, ask
    command_restore_confirm = 14, // the restore asked about: write what differs
    command_restore_cancel = 15,  // the restore asked about: write nothing
};

// The least time the link leaves between a command the user posted and the one after it, so
// that the amplifier sees the gaps it always has.
inline constexpr int32_t command_gap_ms = 20;

struct command {
    int32_t code = command_none;
    int32_t program = 0;       // send_block, read_program: the program the user edited or chose
    int32_t gap_before_ms = 0; // at least this long after the previous command was taken
    int32_t gap_after_ms = 0;  // the next command waits at least this long after this one
};

inline constexpr uint32_t command_queue_capacity = 64;

struct command_queue {
    std::array<command, command_queue_capacity> entries{};
    std::atomic<uint32_t> head{0};       // entries taken; the consumer writes it
    std::atomic<uint32_t> tail{0};       // entries posted; the producer writes it
    std::atomic<int32_t> input_locks{0}; // posted commands that lock input until carried out
};

// Store, cabinet import and factory send keep the pointer input locked from the moment they
// are posted until the worker has carried them out (the worker shows "busy" meanwhile).
bool locks_input(int32_t code);

// Producer: appends `c`; false when the queue is full (nothing changes then).
bool post_command(command_queue& queue, const command& c);
// Consumer: the oldest command, left in the queue; nothing when it is empty.
std::optional<command> next_command(const command_queue& queue);
// Consumer: removes the oldest command. Call after next_command returned one.
void drop_next_command(command_queue& queue);
// Consumer: the command `code` has been carried out; releases its input lock.
void command_done(command_queue& queue, int32_t code);

// Either thread: commands posted and not yet taken.
uint32_t pending_commands(const command_queue& queue);
// Either thread: a posted store, import or factory send is still waiting or running.
bool input_locked(const command_queue& queue);

} // namespace nimba
