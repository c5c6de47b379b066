// nimba-cli device: argument parsing, the checks made before any port is opened, and the
// headless device link (connect, one command, its result).
#include "tools/cli_device.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/file_access.h"
#include "device/firmware.h"
#include "device/librarian.h"
#include "device/midi_ports_rtmidi.h"
#include "device/protocol.h"
#include "ir/cabinet_commands.h"
#include "ir/ir_import.h"
#include "ir/ir_transfer.h"

namespace nimba {

namespace {

struct device_verb {
    std::wstring_view name;
    device_action action;
    size_t argument_count;
    bool takes_file;
    std::string_view usage;
};

constexpr device_verb verbs[] = {
    {L"info", device_action::info, 0, false, "info"},
    {L"read", device_action::read, 1, false, "read <program 0-127>"},
    {L"upload-ir", device_action::upload_ir, 2, true, "upload-ir <slot 0-5> <file.wav>"},
    {L"send-factory", device_action::send_factory, 2, false,
     "send-factory <slot 0-5> <cabinet 0-11>"},
    {L"store", device_action::store, 0, false, "store"},
    {L"update-firmware", device_action::update_firmware, 1, true, "update-firmware <image.bin>"},
    {L"backup", device_action::backup, 1, true, "backup <file>"},
    {L"restore", device_action::restore, 1, true, "restore <file> [--program N]... [--amp-values]"},
    {L"diff", device_action::diff, 1, true, "diff <file>"},
};

const device_verb& verb_of(device_action action) {
    for (const device_verb& v : verbs)
        if (v.action == action) return v;
    return verbs[0];
}

std::string verb_name(device_action action) {
    return utf8_from_wide(verb_of(action).name);
}

std::string quoted(const std::wstring& text) {
    std::string line = "\"";
    line += utf8_from_wide(text);
    line += '"';
    return line;
}

// Every repaint while no transfer shows its progress falls inside a connect or a command.
std::string progress_label(const editor_state& state) {
    const int32_t p = state.progress;
    if (p == progress_idle) return "working...";
    if (p == progress_reading) return "reading...";
    if (p == progress_storing) return "storing...";
    if (p >= progress_programs && p <= progress_programs + 100)
        return "programs " + std::to_string(p - progress_programs) + "%";
    if (p >= 0 && p <= 100) return std::to_string(p) + "%";
    return {};
}

// ---- the headless loop ---------------------------------------------------------------------

constexpr int32_t connection_settle_ms = 100;

struct session {
    headless_link& headless;
    const device_environment& env;
    cli_console& console;
    device_link& link = *headless.link;
    editor_state& state = *headless.state;
};

// "interrupted", or "interrupted: <what>" saying how far an operation got.
int interrupted(session& s, std::string_view what = {}) {
    report_failure(s.console, what.empty() ? "interrupted" : "interrupted: " + std::string(what));
    return cli_exit_interrupted;
}

uint32_t outcomes_so_far(const session& s) {
    return outcome_sequence(s.state.outcome);
}

// The latest outcome when one was posted after `before` was taken.
std::optional<outcome> outcome_since(const session& s, uint32_t before) {
    posted_outcome posted = latest_outcome(s.state.outcome);
    if (posted.sequence == before) return std::nullopt;
    return std::move(posted.latest);
}

int not_found(session& s) {
    std::string api;
    if (s.env.describe_api && s.link.midi_in)
        api = " (MIDI API: " + s.env.describe_api(*s.link.midi_in) + ")";
    return print_outcome(s.console, make_outcome(outcome_code::amp_not_found, {api}));
}

// One worker cycle; the exit code of a failure it posted (a lost amplifier, no answer), or ok.
int cycle(session& s) {
    const uint32_t before = outcomes_so_far(s);
    worker_cycle(s.link, s.headless.services, s.headless.locals);
    const auto posted = outcome_since(s, before);
    if (!posted) return cli_exit_ok;
    const outcome_kind kind = kind_of(posted->code);
    if (kind == outcome_kind::absent || kind == outcome_kind::no_answer)
        return print_outcome(s.console, *posted);
    return cli_exit_ok;
}

// Runs worker cycles until the amplifier is found and its connect sequence has finished.
int connect(session& s) {
    clock_seam& clock = *s.env.clock;
    const int64_t give_up = clock.now_ms() + s.env.search_ms;
    // The connect sequence is bounded by its reply waits; this only guards against a loop.
    const int64_t hard_limit = give_up + 60000;
    // A new connection may carry nothing for the first process cycles (JACK connects ports
    // asynchronously), so the ports are opened a moment before the first request goes out.
    if (find_and_open_ports(s.link) && !pause_unless_stopped(s.link, connection_settle_ms))
        return interrupted(s);
    for (;;) {
        if (s.link.stop_requested) return interrupted(s);
        const int code = cycle(s);
        if (s.link.stop_requested) return interrupted(s);
        if (code != cli_exit_ok) return code;
        // The connect sequence runs whole in the cycle that finds the ports open.
        const bool found = output_open(s.link);
        if (found && !s.link.resync_pending) return cli_exit_ok;
        const int64_t now = clock.now_ms();
        if (!found && now >= give_up) return not_found(s);
        if (now >= hard_limit) return print_outcome(s.console, amp_silence());
    }
}

// Posts `c` as the user interface does and runs cycles until the worker has taken it; the
// worker carries a command out in the cycle that takes it. The queue is empty between
// commands here, so the post always finds room.
int run_command(session& s, const command& c) {
    post_command(s.state.commands, c);
    for (;;) {
        if (s.link.stop_requested) return interrupted(s);
        const int code = cycle(s);
        if (s.link.stop_requested) return interrupted(s);
        if (pending_commands(s.state.commands) == 0 || code != cli_exit_ok) return code;
    }
}

int read_program(session& s, int32_t n) {
    s.state.program = n;
    const int code = run_command(s, {.code = command_read_program, .program = n});
    if (code != cli_exit_ok) return code;
    if (s.state.programs[n].loaded == 0) return print_outcome(s.console, amp_silence());
    return cli_exit_ok;
}

// A posted cabinet command ends with the outcome of its transfer, or of the file's refusal.
int cabinet_command(session& s, int32_t command) {
    const uint32_t before = outcomes_so_far(s);
    const int code = run_command(s, {.code = command});
    if (code != cli_exit_ok) return code;
    const auto result = outcome_since(s, before);
    return print_outcome(s.console, result ? *result
                                           : make_outcome(outcome_code::cabinet_not_sent,
                                                          {reason_text(reason::port_closed)}));
}

int update_firmware(session& s, const std::vector<uint8_t>& image) {
    std::copy(image.begin(), image.end(), s.link.firmware_image.begin());
    // Set as after a download, so the state reads as an update in progress.
    s.state.available_firmware_version = firmware_image_version(s.link.firmware_image);
    s.state.progress = 0;
    request_repaint(s.link);
    const uint32_t before = outcomes_so_far(s);
    transfer_firmware(s.link);
    // Only a stop request ends a transfer without an outcome.
    const auto result = outcome_since(s, before);
    if (s.link.stop_requested || !result) return interrupted(s);
    // As the worker does after a transfer: let the amplifier restart its end of the link.
    if (result->code != outcome_code::firmware_not_sent && pause_unless_stopped(s.link, 100))
        send_link_reset(s.link);
    if (s.link.stop_requested) return interrupted(s);
    return print_outcome(s.console, *result);
}

int walk_failure(session& s, std::string_view what, const walk_result& r) {
    if (r.status == walk_status::stopped) return interrupted(s, what);
    return print_outcome(s.console, walk_outcome(what, r));
}

// Reads the program the editor shows (program 0 here) again, whatever the walk before did; the
// walk's own failure is the one reported.
int end_walk(session& s, const walk_result& walk, std::string_view what) {
    const walk_result back = return_to_current_program(s.link);
    if (walk.status != walk_status::done) return walk_failure(s, what, walk);
    if (back.status != walk_status::done)
        return walk_failure(s, "the amplifier was not returned to its program", back);
    return cli_exit_ok;
}

int backup_into_file(session& s, const std::wstring& path) {
    const int code = end_walk(s, read_all_programs(s.link), "backup incomplete, nothing written");
    if (code != cli_exit_ok) return code;
    const program_backup backup = backup_of_state(s.state, utc_time_text());
    if (auto fault = write_backup_file(path, backup))
        return print_outcome(s.console, make_outcome(outcome_code::backup_not_written, {*fault}),
                             quoted_path(path) + ": ");
    return print_outcome(s.console,
                         make_outcome(outcome_code::backup_written, {quoted_path(path)}));
}

// "program 12 ir_bypass: file 0, amplifier 1"; what a restore cannot write back says so.
std::string difference_line(const backup_difference& d, bool unwritable) {
    std::string line = d.program >= 0 ? "program " + std::to_string(d.program) + " " : "";
    line += d.field + ": file " + d.first + ", amplifier " + d.second;
    if (unwritable)
        line += "; " + reason_text(d.field == "firmware" ? reason::firmware_not_restorable
                                                         : reason::slot_name_not_restorable);
    return line;
}

// Each difference on a line of its own, then the outcome: nothing differs, or how many values
// do, slot names and the firmware version among them.
int diff_with_file(session& s, const program_backup& file) {
    const int code = end_walk(s, read_all_programs(s.link), "diff incomplete");
    if (code != cli_exit_ok) return code;
    const program_backup amp = backup_of_state(s.state, {});
    const auto unwritable = unwritable_differences(file, amp);
    const auto differences = backup_differences(file, amp);
    std::string text;
    for (const backup_difference& d : unwritable) text += difference_line(d, true) + "\n";
    for (const backup_difference& d : differences) text += difference_line(d, false) + "\n";
    clear_progress(s.console);
    s.console.out(text);
    const size_t count = unwritable.size() + differences.size();
    if (count == 0) return print_outcome(s.console, make_outcome(outcome_code::programs_same));
    return print_outcome(s.console,
                         make_outcome(outcome_code::programs_differ, {std::to_string(count)}));
}

// Before anything is read or written: a warning for a backup from another firmware, whose
// values are written as they are, and for each slot name that differs, which a restore leaves.
void warn_before_restore(session& s, const program_backup& file) {
    for (const backup_difference& d : unwritable_differences(file, backup_of_state(s.state, {})))
        report_failure(s.console,
                       "warning: " + (d.field == "firmware" ? reason_text(reason::firmware_differs,
                                                                          {d.first, d.second})
                                                            : difference_line(d, true)));
}

int restore_from_file(session& s, const program_backup& file, const restore_choice& choice) {
    warn_before_restore(s, file);
    restore_report report;
    walk_result walk = read_all_programs(s.link);
    if (walk.status == walk_status::done) walk = restore_programs(s.link, file, choice, report);
    const std::string what = "restore incomplete, restored " + restore_report_text(report);
    const int code = end_walk(s, walk, what);
    if (code != cli_exit_ok) return code;
    if (report.stored.empty() && report.amp_values.empty())
        return print_outcome(s.console, make_outcome(outcome_code::nothing_restored));
    return print_outcome(
        s.console, make_outcome(outcome_code::programs_restored, {restore_report_text(report)}));
}

int print_info(session& s) {
    if (s.state.programs[0].loaded == 0) {
        const int code = read_program(s, 0);
        if (code != cli_exit_ok) return code;
    }
    clear_progress(s.console);
    std::string text =
        "firmware version " + firmware_version_text(s.state.device_firmware_version) + "\n";
    for (int k = 0; k < slot_count; ++k) {
        const std::wstring name = slot_name(s.state, k);
        text += "slot " + std::to_string(k) + ": " +
                (name.empty() ? std::string("(empty)") : utf8_from_wide(name)) + "\n";
    }
    s.console.out(text + program_text(s.state, 0));
    return cli_exit_ok;
}

int carry_out(session& s, const device_request& request, const device_payload& payload) {
    switch (request.action) {
    case device_action::info:
        return print_info(s);
    case device_action::read: {
        const int code = read_program(s, request.program);
        if (code == cli_exit_ok) {
            clear_progress(s.console);
            s.console.out(program_text(s.state, request.program));
        }
        return code;
    }
    case device_action::upload_ir:
        return cabinet_command(s, command_import_slot0 + request.slot);
    case device_action::send_factory:
        s.state.ir_slot_choice = request.slot + 1;
        s.state.factory_cabinet = request.cabinet;
        return cabinet_command(s, command_send_factory);
    case device_action::store: {
        const int code = run_command(s, {.code = command_store});
        if (code != cli_exit_ok) return code;
        clear_progress(s.console);
        s.console.out("stored\n");
        return cli_exit_ok;
    }
    case device_action::update_firmware:
        return update_firmware(s, payload.firmware_image);
    case device_action::backup:
        return backup_into_file(s, request.path);
    case device_action::restore:
        return restore_from_file(s, *payload.backup, {request.programs, request.amp_values});
    case device_action::diff:
        return diff_with_file(s, *payload.backup);
    }
    return cli_exit_failed;
}

} // namespace

// ---- arguments and files -------------------------------------------------------------------

device_parse parse_device_arguments(const cli_arguments& args) {
    device_parse parsed;
    if (args.empty()) {
        parsed.error = "device: a command is missing";
        return parsed;
    }
    const device_verb* verb = nullptr;
    for (const device_verb& v : verbs)
        if (args[0] == v.name) verb = &v;
    if (!verb) {
        parsed.error = "device: unknown command " + quoted(args[0]);
        return parsed;
    }
    const std::string usage = "usage: nimba-cli device " + std::string(verb->usage);
    // Restore alone takes options after its file: --program N (repeated) and --amp-values.
    const size_t given = args.size() - 1;
    const bool options = verb->action == device_action::restore;
    if (given < verb->argument_count || (!options && given != verb->argument_count)) {
        parsed.error = usage;
        return parsed;
    }
    device_request request;
    request.action = verb->action;
    const auto number = [&](size_t i, std::string_view what, int32_t high, int32_t& into) {
        const auto value = parse_number(args[i], 0, high);
        if (!value) {
            parsed.error = "device " + verb_name(verb->action) + ": " + std::string(what) +
                           " must be a number from 0 to " + std::to_string(high) + ", not " +
                           quoted(args[i]);
            return false;
        }
        into = *value;
        return true;
    };
    switch (verb->action) {
    case device_action::read:
        if (!number(1, "<program>", program_count - 1, request.program)) return parsed;
        break;
    case device_action::upload_ir:
        if (!number(1, "<slot>", slot_count - 1, request.slot)) return parsed;
        request.path = args[2];
        break;
    case device_action::send_factory:
        if (!number(1, "<slot>", slot_count - 1, request.slot)) return parsed;
        if (!number(2, "<cabinet>", cabinet_count - 1, request.cabinet)) return parsed;
        break;
    case device_action::restore:
        // Chosen programs leave the amplifier-wide values alone unless --amp-values is given.
        for (size_t i = 2; i < args.size(); ++i) {
            if (args[i] == L"--amp-values") {
                request.amp_values = true;
                continue;
            }
            if (args[i] != L"--program" || i + 1 >= args.size()) {
                parsed.error = usage;
                return parsed;
            }
            int32_t n = 0;
            if (!number(++i, "--program", program_count - 1, n)) return parsed;
            if (std::find(request.programs.begin(), request.programs.end(), n) ==
                request.programs.end())
                request.programs.push_back(n);
        }
        request.amp_values = request.amp_values || request.programs.empty();
        request.path = args[1];
        break;
    case device_action::update_firmware:
    case device_action::backup:
    case device_action::diff:
        request.path = args[1];
        break;
    case device_action::info:
    case device_action::store:
        break;
    }
    if (verb->takes_file && request.path.empty()) {
        parsed.error = "device " + verb_name(verb->action) + ": the file name is empty";
        return parsed;
    }
    parsed.request = std::move(request);
    return parsed;
}

payload_check load_device_payload(const device_request& request) {
    payload_check check;
    const auto refuse = [&check](outcome_code code, std::string_view why) {
        check.refusal = make_outcome(code, {why});
    };
    if (request.action == device_action::upload_ir) {
        const ir_conversion ir = read_ir_from_wav(request.path);
        if (ir.rejection != ir_rejection::none)
            refuse(outcome_code::import_refused, refusal_text(ir));
        else if (!encode_ir_image(ir.samples))
            check.refusal = make_outcome(outcome_code::image_not_built);
    } else if (request.action == device_action::backup) {
        const std::string fault = check_write_destination(request.path);
        if (!fault.empty()) refuse(outcome_code::backup_not_started, fault);
    } else if (request.action == device_action::restore || request.action == device_action::diff) {
        backup_load load = read_backup_file(request.path);
        if (!load.backup) refuse(outcome_code::backup_refused, load.error);
        check.payload.backup = std::move(load.backup);
    } else if (request.action == device_action::update_firmware) {
        file_read file = read_regular_file(request.path, firmware_image_size);
        if (file.error.empty() && file.bytes.size() == firmware_image_size) {
            check.payload.firmware_image = std::move(file.bytes);
        } else {
            refuse(outcome_code::firmware_refused,
                   file.error.empty() ? reason_text(reason::firmware_file_size,
                                                    {std::to_string(file.bytes.size())})
                                      : file.error);
        }
    }
    return check;
}

// ---- the session ---------------------------------------------------------------------------

void build_headless_link(headless_link& headless, const device_environment& env,
                         const std::wstring& path) {
    build_editor_state(*headless.state);
    headless.link->state = headless.state.get();
    headless.link->clock = env.clock;
    headless.services.ports = env.ports;
    headless.services.fetch = {}; // never downloads: an amplifier is only updated when asked
    headless.services.cabinet_command = [path](device_link& link, int32_t command) {
        run_cabinet_command(link, command, [&path](pick_mode) { return path; });
    };
}

int run_device_request(headless_link& headless, const device_request& request,
                       const device_payload& payload, const device_environment& env,
                       cli_console& console) {
    session s{headless, env, console};
    const std::string label = verb_name(request.action) + ": ";
    s.link.repaint = [&s, &label] {
        const std::string text = progress_label(s.state);
        if (text.empty())
            clear_progress(s.console);
        else
            show_progress(s.console, label + text);
    };
    open_worker_ports(s.link, headless.services, headless.locals);
    int code = cli_exit_failed;
    if (!s.link.midi_in) {
        code = print_outcome(console, latest_outcome(s.state.outcome).latest);
    } else {
        code = connect(s);
        if (code == cli_exit_ok) code = carry_out(s, request, payload);
        close_ports(s.link);
    }
    clear_progress(console);
    s.link.repaint = nullptr;
    return code;
}

std::string program_text(const editor_state& state, int32_t n) {
    const int32_t shown = std::clamp<int32_t>(n, 0, program_count - 1);
    std::string text = "program " + std::to_string(n) + "\n";
    for (const amp_value_row& r : amp_value_rows) {
        if (!is_program_value(r) && n != 0) continue;
        std::vector<int32_t> words;
        for (const auto& w : value_words(state, shown, r.value)) words.push_back(w);
        text += "  ";
        text += r.label;
        text.append(15 - std::min<size_t>(r.label.size(), 14), ' ');
        text += value_text(r.value, words) + "\n";
    }
    return text;
}

// ---- nimba-cli device ----------------------------------------------------------------------

int run_device_cli(const cli_arguments& args, headless_link& headless,
                   const device_environment& env, cli_console& console) {
    const device_parse parsed = parse_device_arguments(args);
    if (!parsed.request) {
        report_failure(console, parsed.error);
        return cli_exit_usage;
    }
    const device_request& request = *parsed.request;
    const payload_check check = load_device_payload(request);
    if (check.refusal)
        return print_outcome(console, *check.refusal, quoted_path(request.path) + ": ");
    build_headless_link(headless, env, request.path);
    const int code = run_device_request(headless, request, check.payload, env, console);
    destroy_editor_state(*headless.state);
    return code;
}

int device_command(const cli_arguments& args) {
    cli_console console = standard_console();
    device_environment env;
    env.ports.make_input = [](const std::string& client, unsigned queue_limit) {
        std::unique_ptr<midi_in_port> port;
        run_with_stderr_muted([&] { port = make_rtmidi_input(client, queue_limit); });
        return port;
    };
    env.ports.make_output = [](const std::string& client) {
        std::unique_ptr<midi_out_port> port;
        run_with_stderr_muted([&] { port = make_rtmidi_output(client); });
        return port;
    };
    env.clock = &steady_clock_seam();
    env.describe_api = [](const midi_port& port) { return rtmidi_api_name(port); };
    headless_link headless;
    stop_on_signals(&headless.link->stop_requested);
    const int code = run_device_cli(args, headless, env, console);
    stop_on_signals(nullptr);
    return code;
}

} // namespace nimba
