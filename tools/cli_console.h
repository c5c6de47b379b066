// What nimba-cli's commands share: the exit codes and the one mapping from an outcome's kind to
// its exit code, the console they write to (results, one-line failures and a progress line
// redrawn in place on a terminal), strict number arguments, and the interrupt signals. The
// console is used from one thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/outcome.h"

namespace nimba {

// Exit codes of nimba-cli, for every command.
enum : int {
    cli_exit_ok = 0,
    cli_exit_failed = 1,        // the MIDI system or a file could not be used
    cli_exit_refused = 2,       // a file was refused before anything was sent
    cli_exit_no_device = 3,     // no MIDI ports whose names contain "NIMBA"
    cli_exit_timeout = 4,       // the amplifier stopped answering
    cli_exit_usage = 64,        // wrong arguments
    cli_exit_interrupted = 130, // SIGINT or SIGTERM
};

using cli_arguments = std::vector<std::wstring>;

struct cli_console {
    std::function<void(std::string_view)> out; // results
    std::function<void(std::string_view)> err; // failures and the progress line
    bool progress_line = false;                // err is a terminal: show progress in place
    std::string progress_shown;                // the progress line now on the terminal
};

// stdout and stderr; the progress line only when stderr is a terminal.
cli_console standard_console();

// Redraws the progress line with `text` (nothing when the console has none, or the same text
// is already shown).
void show_progress(cli_console& console, std::string_view text);
// Clears the progress line, so the next output starts on a clean line.
void clear_progress(cli_console& console);
// One line on err: "nimba-cli: <text>".
void report_failure(cli_console& console, std::string_view text);

// The exit code of an outcome of this kind: done 0, refused 2, absent 3, no_answer 4, failed 1.
int exit_code_of(outcome_kind kind);
// An outcome as the tool's result: a finished one on out, any other as the failure line, after
// `where` (the file it is about) when one is given. Returns its exit code.
int print_outcome(cli_console& console, const outcome& result, std::string_view where = {});

// A whole decimal number in [low, high], digits only.
std::optional<int32_t> parse_number(std::wstring_view text, int32_t low, int32_t high);

// Runs `f` with the process's standard error silenced (on Windows only std::cerr). The MIDI
// libraries print their own complaints while they look for a MIDI system, a missing ALSA sequencer
// among them, which is ordinary here; the tool reports failures in its own one line.
void run_with_stderr_muted(const std::function<void()>& f);

// From now on SIGINT and SIGTERM set `flag` (replacing the flag of an earlier call).
void stop_on_signals(std::atomic<bool>* flag);

} // namespace nimba
