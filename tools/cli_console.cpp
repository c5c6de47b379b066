// The console of the device and emulator commands, number arguments and interrupt signals.
#include "tools/cli_console.h"

#include <csignal>
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace nimba {

namespace {

bool stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void write_to(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Lock-free, so the handler may store through it.
std::atomic<std::atomic<bool>*> signal_target{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_stop_signal(int) {
    if (std::atomic<bool>* flag = signal_target.load()) flag->store(true);
}

} // namespace

cli_console standard_console() {
    cli_console console;
    console.out = [](std::string_view text) { write_to(stdout, text); };
    console.err = [](std::string_view text) { write_to(stderr, text); };
    console.progress_line = stderr_is_terminal();
    return console;
}

void show_progress(cli_console& console, std::string_view text) {
    if (!console.progress_line || !console.err || text == console.progress_shown) return;
    // "\r" and blanks rather than terminal escapes: a plain Windows console understands them.
    std::string line = "\r";
    line += text;
    const size_t width = console.progress_shown.size();
    if (text.size() < width) line.append(width - text.size(), ' ');
    console.err(line);
    console.progress_shown = text;
}

void clear_progress(cli_console& console) {
    if (console.progress_shown.empty() || !console.err) return;
    std::string line = "\r";
    line.append(console.progress_shown.size(), ' ');
    line += '\r';
    console.err(line);
    console.progress_shown.clear();
}

void report_failure(cli_console& console, std::string_view text) {
    clear_progress(console);
    if (!console.err) return;
    std::string line = "nimba-cli: ";
    line += text;
    line += '\n';
    console.err(line);
}

int exit_code_of(outcome_kind kind) {
    switch (kind) {
    case outcome_kind::done:
        return cli_exit_ok;
    case outcome_kind::refused:
        return cli_exit_refused;
    case outcome_kind::absent:
        return cli_exit_no_device;
    case outcome_kind::no_answer:
        return cli_exit_timeout;
    case outcome_kind::failed:
        break;
    }
    return cli_exit_failed;
}

int print_outcome(cli_console& console, const outcome& result, std::string_view where) {
    const outcome_kind kind = kind_of(result.code);
    if (kind == outcome_kind::done) {
        clear_progress(console);
        if (console.out) console.out(result.text + "\n");
    } else {
        report_failure(console, std::string(where) + result.text);
    }
    return exit_code_of(kind);
}

std::optional<int32_t> parse_number(std::wstring_view text, int32_t low, int32_t high) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int32_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

void run_with_stderr_muted(const std::function<void()>& f) {
#ifdef _WIN32
    // RtMidi's warnings go to std::cerr; a stream without a buffer drops them.
    std::streambuf* const saved = std::cerr.rdbuf(nullptr);
    struct restore {
        std::streambuf* saved;
        ~restore() { std::cerr.rdbuf(saved); }
    } guard{saved};
    f();
#else
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved < 0 || null < 0 || dup2(null, STDERR_FILENO) < 0) {
        if (saved >= 0) close(saved);
        if (null >= 0) close(null);
        f();
        return;
    }
    close(null);
    struct restore {
        int saved;
        ~restore() {
            std::fflush(stderr);
            dup2(saved, STDERR_FILENO);
            close(saved);
        }
    } guard{saved};
    f();
#endif
}

void stop_on_signals(std::atomic<bool>* flag) {
    signal_target.store(flag);
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
}

} // namespace nimba
