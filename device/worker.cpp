// The device-link worker: a 5 ms polling loop that finds the amplifier's ports, reacts to the
// amplifier's arrival and departure, resets a link that stopped answering, runs the connect
// sequence (version, firmware, current program, slot names) and carries out the commands the
// user interface posted, one per cycle, in the order posted. Every pause goes through link.clock
// and gives way to the stop request.
#include "device/worker.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include "core/file_access.h"
#include "device/firmware.h"
#include "device/librarian.h"
#include "device/librarian_commands.h"
#include "device/protocol.h"

namespace nimba {

namespace {

constexpr int32_t cycle_ms = 5;
constexpr int32_t link_reset_pause_ms = 1000;
constexpr int32_t after_transfer_pause_ms = 100;
constexpr int32_t after_update_pause_ms = 2000;
constexpr int32_t store_shown_ms = 500;
constexpr int32_t failures_before_link_reset = 2;
// A failed transfer forces the link reset in the next cycle.
constexpr int32_t failures_after_failed_transfer = 3;
constexpr unsigned input_queue_limit = 100;
constexpr const char* input_client_name = "midi input client";
constexpr const char* output_client_name = "midi client";

// Closes both ports, reopens them, tells the amplifier to reset its end and closes them again;
// the next cycle opens them afresh and runs the connect sequence.
void reset_link(device_link& link) {
    editor_state& state = *link.state;
    state.link_status = link_error;
    close_ports(link);
    find_and_open_ports(link);
    send_link_reset(link);
    pause_unless_stopped(link, link_reset_pause_ms);
    close_ports(link);
    state.progress = progress_idle;
    link.failure_count = 0;
    link.resync_pending = true;
}

// Sends the image when it is newer than the amplifier's firmware, then lets the amplifier
// restart with message 0C. A failed transfer leaves link_status 3 and forces a link reset.
void update_firmware(device_link& link) {
    transfer_firmware(link);
    if (link.stop_requested) return;
    if (link.state->link_status == link_error) {
        link.failure_count = failures_after_failed_transfer;
        if (!pause_unless_stopped(link, after_transfer_pause_ms)) return;
        send_link_reset(link);
        return;
    }
    if (!pause_unless_stopped(link, after_transfer_pause_ms)) return;
    send_link_reset(link);
    pause_unless_stopped(link, after_update_pause_ms);
}

// Requests the six slot names one after another; the first unanswered one ends the round.
void read_slot_names(device_link& link) {
    if (!output_open(link)) return;
    for (int slot = 0; slot < slot_count; ++slot) {
        link.last_reply = 0;
        request_slot_name(link, slot);
        const wait_result waited = wait_for_reply(link, code_slot_name);
        if (waited == wait_result::stopped) return;
        if (waited == wait_result::timeout) {
            note_timeout(link);
            return;
        }
    }
    link.failure_count = 0;
}

enum class backup_end { written, failed, stopped };

// Reads the slot names and every program, returns the amplifier to its program and writes the
// backup into the services' folder. Nothing is written unless every program answered; when no
// backup was written, the outcome says why the firmware is not sent.
backup_end back_up_programs(device_link& link, const worker_services& services) {
    editor_state& state = *link.state;
    const auto not_sent = [&link](const outcome& why) {
        post_outcome(link, make_outcome(outcome_code::firmware_not_sent, {why.text}));
        return backup_end::failed;
    };
    const std::string place = backup_folder_fault(services.backup_folder);
    if (!place.empty()) return not_sent(make_outcome(outcome_code::backup_not_written, {place}));
    read_slot_names(link);
    if (link.stop_requested) return backup_end::stopped;
    if (state.link_status == link_error)
        return not_sent(
            make_outcome(outcome_code::backup_not_written, {reason_text(reason::no_slot_names)}));
    const walk_result walk = and_return_to_current_program(link, read_all_programs(link));
    if (walk.status == walk_status::stopped) return backup_end::stopped;
    if (walk.status != walk_status::done) return not_sent(walk_outcome("backup incomplete", walk));
    const folder_backup written =
        write_backup_into_folder(services.backup_folder, backup_of_state(state, utc_time_text()));
    if (!written.error.empty())
        return not_sent(make_outcome(outcome_code::backup_not_written, {written.error}));
    post_outcome(link, make_outcome(outcome_code::backup_written, {quoted_path(written.path)}));
    return backup_end::written;
}

enum class sequence_end { finished, stopped, firmware_updated };

sequence_end run_connect_sequence(device_link& link, const worker_services& services,
                                  worker_locals& locals) {
    editor_state& state = *link.state;
    link.resync_pending = false;
    state.link_status = link_busy;
    request_repaint(link);
    state.progress = progress_reading;

    if (output_open(link)) {
        link.last_reply = 0;
        send_version_request(link);
        switch (wait_for_reply(link, code_version)) {
        case wait_result::reply:
            link.failure_count = 0;
            break;
        case wait_result::timeout:
            note_timeout(link);
            break;
        case wait_result::stopped:
            return sequence_end::stopped;
        }
    }

    // The image is fetched once per run, and only from an amplifier that told its version.
    if (state.link_status != link_error && !locals.image_downloaded && services.fetch) {
        auto refusal = download_firmware_image(link, services.fetch, services.firmware_url);
        if (!refusal) {
            state.available_firmware_version = firmware_image_version(link.firmware_image);
            locals.image_downloaded = true;
        } else if (!locals.download_refusal_posted) {
            post_outcome(link, std::move(*refusal));
            locals.download_refusal_posted = true;
        }
    }
    if (state.available_firmware_version > state.device_firmware_version && !locals.update_held) {
        switch (back_up_programs(link, services)) {
        case backup_end::written:
            update_firmware(link);
            return sequence_end::firmware_updated;
        case backup_end::stopped:
            return sequence_end::stopped;
        case backup_end::failed:
            locals.update_held = true; // not in this run: the amplifier keeps its firmware
            break;
        }
    }

    request_program(link, state.program);
    if (link.stop_requested) return sequence_end::stopped;
    read_slot_names(link);

    state.progress = progress_idle;
    if (state.link_status != link_error) state.link_status = link_connected;
    request_repaint(link);
    return sequence_end::finished;
}

void store_program(device_link& link) {
    editor_state& state = *link.state;
    if (output_open(link)) {
        send_store(link);
        pause_unless_stopped(link, cycle_ms);
    }
    state.link_status = link_busy;
    state.progress = progress_storing;
    request_repaint(link);
    pause_unless_stopped(link, store_shown_ms);
    state.progress = progress_idle;
    state.link_status = link_connected;
    request_repaint(link);
}

// Waits out the gap the previous command or this one asks for; false when stopped first.
bool wait_for_gap(device_link& link, worker_locals& locals, const command& next) {
    if (!locals.last_command_ms) return true;
    const int32_t gap = std::max(locals.last_gap_after_ms, next.gap_before_ms);
    const int64_t left = *locals.last_command_ms + gap - link_clock(link).now_ms();
    return left <= 0 || pause_unless_stopped(link, static_cast<int32_t>(left));
}

void carry_out(device_link& link, const worker_services& services, worker_locals& locals,
               const command& c) {
    editor_state& state = *link.state;
    switch (c.code) {
    case command_send_block:
        if (output_open(link)) {
            send_parameter_block(link, c.program);
            pause_unless_stopped(link, cycle_ms);
        }
        return;
    case command_read_program:
        request_program(link, c.program);
        state.link_status = link_connected;
        request_repaint(link);
        return;
    case command_store:
        store_program(link);
        return;
    case command_backup:
    case command_restore:
    case command_restore_confirm:
    case command_restore_cancel:
        run_librarian_command(link, services, c.code, locals.restore_waiting);
        return;
    default:
        if (((c.code >= command_import_slot0 && c.code <= command_export_all) ||
             c.code == command_send_previewed) &&
            services.cabinet_command) {
            services.cabinet_command(link, c.code);
            return;
        }
        post_outcome(link, make_outcome(outcome_code::command_unknown, {std::to_string(c.code)}));
        return;
    }
}

// Releases the input lock of a taken command however its work ends, an exception included.
struct command_release {
    command_queue& queue;
    int32_t code;
    ~command_release() { command_done(queue, code); }
};

// Takes the oldest posted command, after the gap it asks for, and carries it out. A command
// stays queued while its gap runs, so a stop in the gap loses nothing.
void take_command(device_link& link, const worker_services& services, worker_locals& locals) {
    command_queue& queue = link.state->commands;
    const std::optional<command> next = next_command(queue);
    if (!next || !wait_for_gap(link, locals, *next)) return;
    drop_next_command(queue);
    locals.last_command_ms = link_clock(link).now_ms();
    locals.last_gap_after_ms = next->gap_after_ms;
    const command_release release{queue, next->code};
    carry_out(link, services, locals, *next);
}

void report_new_outcome(device_link& link, const worker_services& services, worker_locals& locals) {
    if (!services.report_outcome ||
        outcome_sequence(link.state->outcome) == locals.outcome_reported)
        return;
    const posted_outcome posted = latest_outcome(link.state->outcome);
    locals.outcome_reported = posted.sequence;
    services.report_outcome(posted.latest);
}

} // namespace

bool pause_unless_stopped(device_link& link, int32_t ms) {
    clock_seam& clock = link_clock(link);
    const int64_t end = clock.now_ms() + ms;
    for (;;) {
        if (link.stop_requested) return false;
        const int64_t left = end - clock.now_ms();
        if (left <= 0) return true;
        clock.sleep_ms(static_cast<int32_t>(std::min<int64_t>(left, link_poll_step_ms)));
    }
}

void open_worker_ports(device_link& link, const worker_services& services, worker_locals& locals) {
    std::string refusal;
    try {
        if (services.ports.make_input)
            locals.midi_in = services.ports.make_input(input_client_name, input_queue_limit);
        if (services.ports.make_output)
            locals.midi_out = services.ports.make_output(output_client_name);
    } catch (const midi_system_refusal& refused) {
        refusal = ": " + refused.reason;
    } catch (...) {
        // The MIDI system is unusable: the worker runs on without ports and shows no device.
    }
    if (!locals.midi_in || !locals.midi_out) {
        locals.midi_out.reset();
        locals.midi_in.reset();
        post_outcome(link, make_outcome(outcome_code::midi_unavailable, {refusal}));
    }
    link.midi_in = locals.midi_in.get();
    link.midi_out = locals.midi_out.get();
}

void worker_cycle(device_link& link, const worker_services& services, worker_locals& locals) {
    if (!pause_unless_stopped(link, cycle_ms)) return;
    editor_state& state = *link.state;

    const bool found = link.midi_in && link.midi_out && find_and_open_ports(link);
    if (!found) {
        if (state.link_status != link_no_device) {
            reset_device_part(state);
            state.link_status = link_no_device;
            post_outcome(link, make_outcome(outcome_code::amp_gone));
        }
        return;
    }

    const int32_t status = state.link_status;
    if (status == link_no_device || status == link_error) {
        reset_device_part(state);
        link.resync_pending = true;
    }
    if (link.failure_count >= failures_before_link_reset) {
        reset_link(link);
    } else {
        poll_one_message(link);
        if (link.resync_pending) {
            const sequence_end end = run_connect_sequence(link, services, locals);
            if (end != sequence_end::finished) return;
        }
    }
    if (link.stop_requested) return;
    take_command(link, services, locals);
}

void run(device_link& link, const worker_services& services) {
    worker_locals locals;
    open_worker_ports(link, services, locals);
    while (!link.stop_requested) {
        // A fault in one cycle must not end the process; the next cycle starts afresh.
        try {
            worker_cycle(link, services, locals);
        } catch (const std::exception& e) {
            post_outcome(link, make_outcome(outcome_code::worker_fault, {e.what()}));
        } catch (...) {
            post_outcome(link, make_outcome(outcome_code::worker_fault,
                                            {reason_text(reason::unknown_error)}));
        }
        report_new_outcome(link, services, locals);
    }
    if (link.midi_in) close_ports(link);
    link.midi_out = nullptr;
    link.midi_in = nullptr;
}

void start_worker(device_link& link, worker_services services) {
    link.stop_requested = false;
    link.worker_finished = false;
    link.worker = std::thread([&link, services = std::move(services)] {
        run(link, services);
        link.worker_finished = true;
    });
}

bool stop_worker(device_link& link, int32_t timeout_ms) {
    link.stop_requested = true;
    if (!link.worker.joinable()) return true;
    // Wall time, not link.clock: this bounds how long closing the window may take.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    while (!link.worker_finished && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (link.worker_finished) {
        link.worker.join();
        return true;
    }
    link.worker.detach();
    return false;
}

} // namespace nimba
