// nimba-cli emulate: arguments, the serving of messages with its log, the RtMidi loop and the
// standard-input loop.
#include "tools/cli_emulate.h"

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <thread>

#include "core/amp_values.h"
#include "core/file_access.h"
#include "device/midi_ports_rtmidi.h"
#include "device/program_backup.h"
#include "emulator/hex_line.h"

namespace nimba {

namespace {

void keep_received(emulator_session& s, const std::wstring& file_name,
                   const std::vector<uint8_t>& bytes) {
    if (s.received_dir.empty()) return;
    const std::wstring path = s.received_dir + L"/" + file_name;
    const std::string error = write_file_safely(path, bytes);
    if (!error.empty()) s.failures.push_back(quoted_path(path) + ": " + error);
}

void log_line(emulator_session& s, const std::string& line) {
    if (s.log) std::fprintf(s.log, "%s\n", line.c_str());
}

// The amplifier-wide values as a reply or a block carries them, by the value table.
amplifier_values amp_wide_values(std::span<const uint8_t> frame) {
    amplifier_values values;
    for (const amp_value_row& r : amp_value_rows)
        if (!is_program_value(r))
            for (size_t i = 0; i < r.count; ++i) words_of(values, r.value)[i] = frame[r.byte + i];
    return values;
}

// What the message just taken completed, judged by the amplifier's counters; `amp_wide` holds
// the amplifier-wide values from before it.
void note_events(emulator_session& s, std::span<const uint8_t> message,
                 const amplifier_values& amp_wide) {
    virtual_amp& amp = s.amp;
    for (const std::string& line : amp.log) log_line(s, line);
    amp.log.clear(); // written; the amplifier would otherwise keep every line of a long run
    if (amp.blocks.size() != s.blocks) {
        s.blocks = amp.blocks.size();
        const auto& block = amp.blocks.back();
        program_backup before, after;
        before.globals = amp_wide;
        after.globals = amp_wide_values(block);
        std::string line = "block program " + std::to_string(block[block_at::program]);
        const auto changed = backup_differences(before, after);
        for (size_t i = 0; i < changed.size(); ++i)
            line += (i == 0 ? ", amplifier-wide values changed: " : " ") + changed[i].field;
        log_line(s, line);
    }
    if (amp.stores != s.stores) {
        s.stores = amp.stores;
        log_line(s, "stored");
    }
    if (amp.cabinets_done != s.cabinets && message.size() > 3 && message[3] < amp.slots.size()) {
        s.cabinets = amp.cabinets_done;
        const int slot = message[3];
        const amp_slot& target = amp.slots[slot];
        log_line(s, "cabinet slot " + std::to_string(slot) + " \"" + target.name + "\" " +
                        std::to_string(target.image.size()) + " bytes");
        keep_received(s, L"slot" + std::to_wstring(slot) + L".wav", target.image);
    }
    if (amp.firmware_updates != s.firmware_updates) {
        s.firmware_updates = amp.firmware_updates;
        log_line(s, "firmware " + std::to_string(amp.firmware_image.size()) + " bytes version " +
                        firmware_version_text(amp.firmware_version));
        keep_received(s, L"firmware.bin", amp.firmware_image);
    }
}

} // namespace

emulate_parse parse_emulate_arguments(const cli_arguments& args) {
    emulate_parse parsed;
    emulate_options options;
    bool named = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (option == L"--stdio") {
            options.stdio = true;
            continue;
        }
        const bool known = option == L"--name" || option == L"--log" || option == L"--received" ||
                           option == L"--stale" || option == L"--unplug-after";
        if (!known) {
            parsed.error = "emulate: unknown argument " + quoted_path(option);
            return parsed;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            parsed.error = "emulate: " + utf8_from_wide(option) + " needs a value";
            return parsed;
        }
        const std::wstring& value = args[++i];
        if (option == L"--stale" || option == L"--unplug-after") {
            const bool stale = option == L"--stale";
            const int32_t low = stale ? 0 : 1, high = stale ? 1000 : INT32_MAX;
            const auto number = parse_number(value, low, high);
            if (!number) {
                parsed.error = "emulate: " + utf8_from_wide(option) + " must be a number from " +
                               std::to_string(low) + " to " + std::to_string(high) + ", not " +
                               quoted_path(value);
                return parsed;
            }
            (stale ? options.stale_replies : options.unplug_after) = *number;
        } else if (option == L"--name") {
            options.name = utf8_from_wide(value);
            named = true;
        } else if (option == L"--log") {
            options.log_path = value;
        } else {
            options.received_dir = value;
        }
    }
    if (named && options.stdio) {
        parsed.error = "emulate: --name names ports, which --stdio does not open";
        return parsed;
    }
    parsed.options = std::move(options);
    return parsed;
}

void seed_emulated_amp(virtual_amp& amp) {
    for (int n = 0; n < 128; ++n) {
        amp_program& p = amp.programs[n];
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((n + i) % 6);
        p[4] = static_cast<uint8_t>(n % 3);
        for (int i = 0; i < 3; ++i) p[5 + i] = static_cast<uint8_t>((n + i) % 3);
        p[8] = static_cast<uint8_t>(n % 2);
    }
    amp.stored = amp.programs;
}

void serve_message(emulator_session& s, std::span<const uint8_t> message) {
    s.replies.clear();
    if (s.unplug_after > 0 && s.messages >= s.unplug_after) {
        if (!s.unplug_logged)
            log_line(s, "unplugged after " + std::to_string(s.unplug_after) + " messages");
        s.unplug_logged = true;
        return;
    }
    ++s.messages;
    const amplifier_values amp_wide = amp_wide_values(amp_program_reply(s.amp, 0));
    amp_receive(s.amp, message, s.replies);
    // What a message completed is logged and kept before its reply goes out, so whoever waits
    // for the reply finds the received file whole.
    note_events(s, message, amp_wide);
}

void serve_hex_lines(emulator_session& s, std::istream& in, std::ostream& out,
                     cli_console& console) {
    std::string line;
    size_t failures_reported = 0;
    for (int64_t number = 1; std::getline(in, line); ++number) {
        const hex_line_parse parsed = parse_hex_line(line);
        if (parsed.bytes) {
            serve_message(s, *parsed.bytes);
        } else if (line.starts_with("program ")) {
            const auto n = parse_number(wide_from_utf8(line.substr(8)), 0, 127);
            if (!n) {
                report_failure(console, "line " + std::to_string(number) +
                                            ": the front panel has programs 0 to 127");
                continue;
            }
            log_line(s, "front panel program " + std::to_string(*n));
            const amplifier_values amp_wide = amp_wide_values(amp_program_reply(s.amp, 0));
            s.replies.clear();
            amp_program_changed(s.amp, *n, s.replies);
            note_events(s, {}, amp_wide);
        } else {
            if (line.find_first_not_of(" \t\r") != std::string::npos)
                report_failure(console, "line " + std::to_string(number) + ": " + parsed.error);
            continue;
        }
        for (const auto& reply : s.replies) out << hex_line(reply) << '\n';
        out.flush();
        if (s.log) std::fflush(s.log);
        for (; failures_reported < s.failures.size(); ++failures_reported)
            report_failure(console, s.failures[failures_reported]);
    }
}

int serve_waiting_messages(emulator_session& s, midi_in_port& in, midi_out_port& out) {
    int taken = 0;
    for (;;) {
        in.getMessage(&s.message);
        if (s.message.empty()) break;
        ++taken;
        serve_message(s, s.message);
        for (const auto& reply : s.replies) out.sendMessage(reply.data(), reply.size());
    }
    if (taken > 0 && s.log) std::fflush(s.log);
    return taken;
}

int emulate_command(const cli_arguments& args) {
    cli_console console = standard_console();
    const emulate_parse parsed = parse_emulate_arguments(args);
    if (!parsed.options) {
        report_failure(console, parsed.error);
        return cli_exit_usage;
    }
    const emulate_options& options = *parsed.options;

    auto session = std::make_unique<emulator_session>();
    seed_emulated_amp(session->amp);
    session->amp.faults.stale_program_replies = options.stale_replies;
    session->unplug_after = options.unplug_after;
    session->received_dir = options.received_dir;
    if (!options.log_path.empty()) {
        session->log = open_file(options.log_path, "wb");
        if (!session->log) {
            report_failure(console, quoted_path(options.log_path) + ": cannot create the log");
            return cli_exit_failed;
        }
    }
    const auto close_log = [&session] {
        if (session->log) std::fclose(session->log);
        session->log = nullptr;
    };
    if (options.stdio) {
        console.err("emulating the amplifier on standard input and output; the input's end "
                    "ends\n");
        serve_hex_lines(*session, std::cin, std::cout, console);
        close_log();
        return cli_exit_ok;
    }

    std::unique_ptr<midi_in_port> in;
    std::unique_ptr<midi_out_port> out;
    run_with_stderr_muted([&] {
        in = make_rtmidi_input("emulator in", 1024);
        out = make_rtmidi_output("emulator out");
    });
    if (!open_virtual_port(*in, options.name) || !open_virtual_port(*out, options.name)) {
        report_failure(console, "virtual MIDI ports are not available here (MIDI API: " +
                                    rtmidi_api_name(*in) + ")");
        close_log();
        return cli_exit_failed;
    }
    in->ignoreTypes(false, true, true); // System Exclusive is all the amplifier speaks
    console.out("emulating the amplifier on MIDI ports \"" + options.name + "\" (" +
                rtmidi_api_name(*in) + "); Ctrl+C ends\n");

    std::atomic<bool> stop{false};
    stop_on_signals(&stop);
    size_t failures_reported = 0;
    while (!stop) {
        if (serve_waiting_messages(*session, *in, *out) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (; failures_reported < session->failures.size(); ++failures_reported)
            report_failure(console, session->failures[failures_reported]);
    }
    stop_on_signals(nullptr);
    in->closePort();
    out->closePort();
    close_log();
    return cli_exit_ok;
}

} // namespace nimba
