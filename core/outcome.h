// Outcomes: how an operation that can fail or finish ended, as a code and one line of text.
// Every code is declared once, in NIMBA_OUTCOMES, beside its kind and its text template, and
// every reason an outcome carries once, in NIMBA_REASONS. The
// screen shows the latest outcome upper-cased in the status bar; nimba-cli prints it and takes
// its exit code from the kind. Any thread may make an outcome; the record in the editor state is
// written by the device-link worker (post_outcome in device/link.h) and by the GUI thread only
// when a command cannot be queued.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>

namespace nimba {

// How an operation ended, as far as a caller deciding what to do next cares.
enum class outcome_kind : int32_t {
    done,      // it finished
    refused,   // its input was refused before anything was sent
    absent,    // no amplifier to talk to
    no_answer, // the amplifier stopped answering
    failed,    // it could not be carried out
};

// X(code, kind, template): each "{}" in the template takes the next field, in order.
#define NIMBA_OUTCOMES(X)                                                                          \
    X(none, done, "")                                                                              \
    X(import_refused, refused, "import refused: {}")                                               \
    X(image_not_built, failed, "the IR image cannot be built")                                     \
    X(image_not_written, failed, "{}: {}; nothing was written")                                    \
    X(cabinet_sent, done, "cabinet sent to slot {}: {}")                                           \
    X(cabinet_not_sent, failed, "cabinet not sent: {}")                                            \
    X(cabinet_timed_out, no_answer, "cabinet upload timed out at {}")                              \
    X(export_done, done, "export done: {} cabinets written")                                       \
    X(export_stopped, failed, "export stopped at {}: {}")                                          \
    X(firmware_refused, refused, "firmware image refused: {}")                                     \
    X(firmware_updated, done, "firmware updated from {} to {}")                                    \
    X(firmware_not_sent, failed, "firmware not sent: {}")                                          \
    X(firmware_timed_out, no_answer, "firmware update timed out at {}")                            \
    X(backup_refused, refused, "backup file refused: {}")                                          \
    X(backup_written, done, "backup written to {}")                                                \
    X(backup_not_started, refused, "backup not started: {}")                                       \
    X(backup_not_written, failed, "backup not written: {}")                                        \
    X(programs_same, done, "nothing differs")                                                      \
    X(programs_differ, failed, "values that differ: {}")                                           \
    X(programs_restored, done, "restored {}")                                                      \
    X(nothing_restored, done, "nothing differs, nothing written")                                  \
    X(restore_notes_only, done, "nothing written: {}")                                             \
    X(restore_cancelled, done, "restore cancelled, nothing written")                               \
    X(program_unanswered, no_answer, "{}: program {} did not answer {} requests")                  \
    X(program_read_back_differs, failed,                                                           \
      "{}: program {} read back other values than were written")                                   \
    X(program_port_closed, failed, "{}: {}")                                                       \
    X(amp_not_answering, no_answer, "the amplifier does not answer (no reply within {} ms)")       \
    X(amp_not_found, absent, "no amplifier found: no MIDI ports named \"NIMBA\"{}")                \
    X(amp_gone, absent, "the amplifier's MIDI ports went away")                                    \
    X(midi_unavailable, failed, "the MIDI system cannot be opened{}")                              \
    X(worker_fault, failed, "the device link stopped an operation: {}")                            \
    X(command_not_queued, refused, "command not taken: {} commands are already waiting")           \
    X(command_unknown, failed, "unknown command {}: nothing was done")

// X(reason, text): the reasons the outcomes above carry in a "{}". A reason's own "{}" takes a
// number or a quoted path. Texts a module reports of its own (a file system's error, a field
// of a backup) are passed on as they are.
#define NIMBA_REASONS(X)                                                                           \
    X(port_closed, "the amplifier's MIDI port is closed")                                          \
    X(no_slot_or_cabinet, "no slot or cabinet chosen")                                             \
    X(no_slot_or_room, "no such slot, or the image is too large")                                  \
    X(closing_message, "the closing message")                                                      \
    X(chunk_of, "chunk {} of {}")                                                                  \
    X(download_failed, "the download failed")                                                      \
    X(server_error, "the server answered with an error status")                                    \
    X(image_too_long, "more than 131072 bytes")                                                    \
    X(image_too_short, "{} bytes, not 131072")                                                     \
    X(firmware_file_size, "holds {} bytes; a firmware image holds exactly 131072 bytes")           \
    X(no_slot_names, "no slot names")                                                              \
    X(export_start, "the start")                                                                   \
    X(no_folder, "no folder given")                                                                \
    X(cabinet_unusable, "the cabinet's impulse response is missing or unusable")                   \
    X(firmware_differs, "the backup is from firmware {}, the amplifier runs {}")                   \
    X(firmware_not_restorable, "a restore cannot change the firmware")                             \
    X(slot_name_not_restorable,                                                                    \
      "a restore cannot write it back: a slot's name changes only with a cabinet upload")          \
    X(unknown_error, "unknown error")

enum class reason : int32_t {
#define NIMBA_REASON_NAME(name, text) name,
    NIMBA_REASONS(NIMBA_REASON_NAME)
#undef NIMBA_REASON_NAME
};

// The reason's text with each "{}" replaced by the next field, as make_outcome fills templates.
std::string reason_text(reason why, std::initializer_list<std::string_view> fields = {});

enum class outcome_code : int32_t {
#define NIMBA_OUTCOME_CODE(code, kind, text) code,
    NIMBA_OUTCOMES(NIMBA_OUTCOME_CODE)
#undef NIMBA_OUTCOME_CODE
};

struct outcome {
    outcome_code code = outcome_code::none;
    std::string text; // UTF-8, one line, lower case as written; the screen upper-cases it
};

outcome_kind kind_of(outcome_code code);

// The code's template with each "{}" replaced by the next field; fields left over are dropped,
// placeholders left over stay empty.
outcome make_outcome(outcome_code code, std::initializer_list<std::string_view> fields = {});

// The latest outcome and how many have been posted (0: none yet). Written by the worker
// through post_outcome; the GUI thread and nimba-cli read copies through latest_outcome.
struct outcome_record {
    mutable std::mutex lock;
    outcome latest;
    uint32_t sequence = 0;
};

struct posted_outcome {
    outcome latest;
    uint32_t sequence = 0;
};
posted_outcome latest_outcome(const outcome_record& record);
// Makes `result` the latest outcome, numbered one past the last.
void post_outcome(outcome_record& record, outcome result);
// The record's sequence number alone, without copying the text.
uint32_t outcome_sequence(const outcome_record& record);

} // namespace nimba
