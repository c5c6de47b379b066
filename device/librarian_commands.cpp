// The worker's BACKUP and RESTORE.
#include "device/librarian_commands.h"

#include <string>

#include "core/file_access.h"
#include "device/librarian.h"
#include "device/protocol.h"
#include "device/restore_plan.h"

namespace nimba {

namespace {

// Input rests while the worker walks the programs or waits in a picker.
void show_busy(device_link& link, int32_t walk) {
    link.state->walk = walk;
    link.state->link_status = link_busy;
    request_repaint(link);
}

void show_done(device_link& link) {
    link.state->progress = progress_idle;
    link.state->link_status = link_connected;
    request_repaint(link);
}

std::wstring chosen_path(const worker_services& services, pick_mode mode) {
    return services.pick_backup_path ? services.pick_backup_path(mode) : std::wstring();
}

// Tells a walk that failed; nothing for one that was stopped (the window is closing).
void tell_walk_failure(device_link& link, std::string_view what, const walk_result& walk) {
    const outcome told = walk_outcome(what, walk);
    if (told.code != outcome_code::none) post_outcome(link, told);
}

void back_up_into_chosen_file(device_link& link, const worker_services& services) {
    show_busy(link, walk_backup);
    const std::wstring path = chosen_path(services, pick_mode::backup_save);
    if (path.empty()) return show_done(link); // cancelled: nothing to tell
    // A folder, a FIFO or a place that cannot be written is refused before the walk.
    const std::string fault = check_write_destination(path);
    if (!fault.empty()) {
        post_outcome(link, make_outcome(outcome_code::backup_not_started, {fault}));
        return show_done(link);
    }
    const walk_result walk = and_return_to_current_program(link, read_all_programs(link));
    if (walk.status != walk_status::done) {
        tell_walk_failure(link, "backup incomplete, nothing written", walk);
        return show_done(link);
    }
    const program_backup backup = backup_of_state(*link.state, utc_time_text());
    if (auto error = write_backup_file(path, backup)) {
        post_outcome(link, make_outcome(outcome_code::backup_not_written, {*error}));
    } else {
        if (services.backup_written) services.backup_written(path);
        post_outcome(link, make_outcome(outcome_code::backup_written, {quoted_path(path)}));
    }
    show_done(link);
}

// Loads the chosen file and compares it with every program read from the amplifier; asks when
// the restore would write anything, else tells why nothing will be written.
void ask_about_chosen_backup(device_link& link, const worker_services& services,
                             std::optional<program_backup>& waiting) {
    editor_state& state = *link.state;
    show_busy(link, walk_restore_read);
    const std::wstring path = chosen_path(services, pick_mode::backup_open);
    if (path.empty()) return show_done(link);
    backup_load load = read_backup_file(path);
    if (!load.backup) {
        post_outcome(link, make_outcome(outcome_code::backup_refused, {load.error}));
        return show_done(link);
    }
    const walk_result walk = and_return_to_current_program(link, read_all_programs(link));
    if (walk.status != walk_status::done) {
        tell_walk_failure(link, "restore not started, nothing written", walk);
        return show_done(link);
    }
    const restore_plan plan = plan_restore(*load.backup, backup_of_state(state, {}));
    if (!restore_writes(plan)) {
        const std::string notes = restore_notes_text(plan);
        post_outcome(link, notes.empty() ? make_outcome(outcome_code::nothing_restored)
                                         : make_outcome(outcome_code::restore_notes_only, {notes}));
        return show_done(link);
    }
    waiting = std::move(load.backup);
    ask_restore_question(state, restore_question_for(plan));
    show_done(link);
}

// Writes what differs from the backup asked about, against the values read when it was asked
// (kept current since: the editor's own edits go into the state, and a lost amplifier
// withdraws the question), each program stored and read back.
void restore_waiting_backup(device_link& link, std::optional<program_backup>& waiting) {
    editor_state& state = *link.state;
    const bool asked = state.question.asked == 1;
    withdraw_restore_question(state);
    if (!asked || !waiting) return;
    const program_backup file = std::move(*waiting);
    waiting.reset();
    show_busy(link, walk_restore_write);
    restore_report report;
    const walk_result walk =
        and_return_to_current_program(link, restore_programs(link, file, {}, report));
    if (walk.status != walk_status::done) {
        tell_walk_failure(link, "restore incomplete, restored " + restore_report_text(report),
                          walk);
    } else if (report.stored.empty() && report.amp_values.empty()) {
        post_outcome(link, make_outcome(outcome_code::nothing_restored));
    } else {
        post_outcome(link,
                     make_outcome(outcome_code::programs_restored, {restore_report_text(report)}));
    }
    show_done(link);
}

} // namespace

void run_librarian_command(device_link& link, const worker_services& services, int32_t command,
                           std::optional<program_backup>& waiting) {
    if (!link.state) return;
    editor_state& state = *link.state;
    if (command == command_restore_confirm) return restore_waiting_backup(link, waiting);
    // Any other librarian command answers a question still asked with "no".
    const bool asked = state.question.asked == 1;
    withdraw_restore_question(state);
    waiting.reset();
    if (command == command_restore_cancel) {
        if (asked) post_outcome(link, make_outcome(outcome_code::restore_cancelled));
        request_repaint(link);
    } else if (command == command_backup) {
        back_up_into_chosen_file(link, services);
    } else if (command == command_restore) {
        ask_about_chosen_backup(link, services, waiting);
    }
}

} // namespace nimba
