// The editor state shared by the GUI thread and the device-link worker, and the program
// record. Scalars are atomics of their declared width; slot names and the latest outcome are
// replaced whole under small mutexes and read as copies. The worker writes link_status,
// progress, versions, program records, slot names and the latest outcome; the GUI writes the
// user's choices and posts commands. See each field for who writes it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "core/amp_values.h"
#include "core/assets/cabinets.h"
#include "core/command_queue.h"
#include "core/outcome.h"

namespace nimba {

inline constexpr int program_count = 128;
inline constexpr int slot_count = 6;
inline constexpr size_t firmware_image_size = 0x20000; // 131,072 bytes

// link_status values.
enum : int32_t { link_no_device = 0, link_connected = 1, link_busy = 2, link_error = 3 };

// progress values besides 0..100 percent. While all programs are walked (a backup, a restore)
// it runs from progress_programs to progress_programs + 100.
enum : int32_t {
    progress_idle = -1,
    progress_storing = 200,
    progress_reading = 300,
    progress_programs = 400,
};

// One program's settings: 19 32-bit words. Words 0..8 travel in the parameter block; what each
// value is (its byte, range, names) is declared in core/amp_values.h.
struct program_record {
    std::atomic<int32_t> ir_slot[4];       // words 0-3: user slot used by channel 0, 1, 2 (3)
    std::atomic<int32_t> channel;          // word 4: active channel 0..2
    std::atomic<int32_t> channel_mode[3];  // words 5-7: GALAXY mode of channel 0, 1, 2
    std::atomic<int32_t> ir_bypass;        // word 8
    std::atomic<int32_t> unused[2];        // words 9-10
    std::atomic<int32_t> global_values[7]; // words 11-17: amplifier-wide, record 0 only
    std::atomic<int32_t> loaded;           // word 18: 1 once read from the amplifier
};
static_assert(sizeof(program_record) == 19 * sizeof(int32_t));

// The word of ir_slot that the current channel uses: channel clamped to at most 3.
int32_t channel_slot_index(int32_t channel);

// Slot names: replaced whole by the worker, read as copies by the renderer.
struct slot_name_table {
    mutable std::mutex lock;
    std::array<std::wstring, slot_count> names;
};

// Which walk through all programs the progress from progress_programs up belongs to.
enum : int32_t { walk_backup = 0, walk_restore_read = 1, walk_restore_write = 2 };

// The question a restore asks before it writes anything: set by the worker once the file is
// loaded and compared with the amplifier, cleared when it is answered or the device part resets.
// The GUI shows it while `asked` is 1.
struct restore_question {
    mutable std::mutex lock;
    std::string text; // UTF-8, lower case as written; the screen upper-cases it
    std::atomic<int32_t> asked{0};
    std::atomic<uint32_t> serial{0}; // one more with every question asked
};

// "worker" and "GUI" name the thread that writes a field; the other one only reads it.
// Both write the settings the user changes and the amplifier reports back.
struct editor_state {
    std::atomic<int32_t> link_status{0};                  // worker
    std::atomic<int32_t> tolex_colour{0};                 // both: the user, the amp's reply
    std::atomic<uint16_t> device_firmware_version{0};     // worker
    std::atomic<uint16_t> available_firmware_version{0};  // worker
    std::atomic<int32_t> progress{0};                     // worker
    std::atomic<int32_t> walk{walk_backup};               // worker: what progress walks for
    std::atomic<int32_t> program{0};                      // both: the user, the amp's reply
    std::atomic<int32_t> midi_channel{0};                 // both: the user, the amp's reply
    std::atomic<int32_t> ir_slot_choice{0};               // GUI
    std::atomic<int32_t> cabinet_list_open{0};            // GUI
    std::atomic<int32_t> factory_cabinet{0};              // GUI
    cabinet_library cabinets;                             // GUI, at build and destroy
    command_queue commands;                               // GUI posts, worker takes
    slot_name_table slot_names;                           // worker
    outcome_record outcome;                               // worker, through post_outcome
    restore_question question;                            // worker
    std::array<program_record, program_count> programs{}; // both, like program
};

// Builds a value-initialised state: the cabinet library, empty slot names, the device-part
// reset and link_status 0. GUI thread, before the worker starts.
void build_editor_state(editor_state& state);

// Clears the device part: programs, slot names, both versions, program, midi_channel,
// ir_slot_choice, cabinet_list_open, factory_cabinet, the restore question (the values it
// compared are gone); progress = -1. Keeps link_status,
// the posted commands, tolex_colour and the cabinets.
void reset_device_part(editor_state& state);

// Releases what the build made: slot names, cabinet entries.
void destroy_editor_state(editor_state& state);

// The restore question: asked with its text, withdrawn, and its text as a copy.
void ask_restore_question(editor_state& state, std::string text);
void withdraw_restore_question(editor_state& state);
std::string restore_question_text(const editor_state& state);

std::wstring slot_name(const editor_state& state, int slot);
void set_slot_name(editor_state& state, int slot, std::wstring name);

// The record of the current program.
program_record& current_program(editor_state& state);
const program_record& current_program(const editor_state& state);

// The words of `value` in the state: program n's record for a program value, record 0 for the
// global values, the state's own field for the other amplifier-wide ones. n is clamped.
std::span<std::atomic<int32_t>> value_words(editor_state& state, int32_t n, amp_value value);
std::span<const std::atomic<int32_t>> value_words(const editor_state& state, int32_t n,
                                                  amp_value value);
// A program value's words in one record.
std::span<const std::atomic<int32_t>> value_words(const program_record& record, amp_value value);

// Word i of a program value in `record`, read in range (value_in_range): what the screen shows.
int32_t read_value(const program_record& record, amp_value value, size_t i = 0);

// Program n's values and the amplifier-wide ones, each read in range.
program_values program_values_of(const editor_state& state, int32_t n);
amplifier_values amplifier_values_of(const editor_state& state);
// Writes them into the state as given.
void set_program_values(editor_state& state, int32_t n, const program_values& values);
void set_amplifier_values(editor_state& state, const amplifier_values& values);

} // namespace nimba
