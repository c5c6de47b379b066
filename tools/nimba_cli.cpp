// nimba-cli: the editor's core from the command line. Each command is one row of the command
// table (name, arguments, help, handler); `nimba-cli --help` lists them, `nimba-cli --version`
// prints the program's version.
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/assets/cabinets.h"
#include "core/file_access.h"
#include "core/seams.h"
#include "ir/ir_export.h"
#include "ir/ir_import.h"
#include "nimba_version.h"
#include "tools/cli_device.h"
#include "tools/cli_emulate.h"

namespace nimba {
namespace {

// Exit codes.
enum : int { exit_ok = 0, exit_failed = 1, exit_refused = 2, exit_usage = 64 };

using arguments = std::vector<std::wstring>;

inline constexpr size_t any_argument_count = SIZE_MAX; // the command checks its own

struct cli_command {
    std::string_view name;
    std::string_view usage; // the arguments, as shown in help
    size_t argument_count;
    std::string_view summary;
    std::string_view details;
    int (*run)(const arguments& args);
};

// The input is read whole before the output is written, so the same path for both works:
// the input is replaced by its image once that is written whole.
int ir_convert(const arguments& args) {
    const std::wstring& in = args[0];
    const std::wstring& out = args[1];
    const ir_conversion ir = read_ir_from_wav(in);
    if (ir.rejection != ir_rejection::none) {
        std::fprintf(stderr, "nimba-cli: %s: %s\n", quoted_path(in).c_str(),
                     make_outcome(outcome_code::import_refused, {refusal_text(ir)}).text.c_str());
        return exit_refused;
    }
    const auto image = encode_ir_image(ir.samples);
    if (!image) {
        std::fprintf(stderr, "nimba-cli: %s: the IR image cannot be built\n",
                     quoted_path(in).c_str());
        return exit_failed;
    }
    const std::string error = write_file_safely(out, *image);
    if (!error.empty()) {
        std::fprintf(stderr, "nimba-cli: %s: %s; nothing was written\n", quoted_path(out).c_str(),
                     error.c_str());
        return exit_failed;
    }
    std::printf("%s: %zu samples at 48000 Hz, %zu bytes\n", quoted_path(out).c_str(),
                ir.samples.size(), image->size());
    return exit_ok;
}

int ir_export(const arguments& args) {
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    const export_report report = write_factory_irs(cabinets, args[0]);
    for (int i = 0; i < report.written; ++i)
        std::printf("%s\n", quoted_path(args[0] + L"/" + cabinets[i].name + L".wav").c_str());
    const outcome result = outcome_of(report);
    if (report.outcome == export_outcome::done) {
        std::printf("%s\n", result.text.c_str());
        return exit_ok;
    }
    std::fprintf(stderr, "nimba-cli: %s (%d of %d cabinets written)\n", result.text.c_str(),
                 report.written, cabinet_count);
    return exit_failed;
}

constexpr cli_command commands[] = {
    {"ir-convert", "<in.wav> <out.wav>", 2,
     "turn a WAV file into a cabinet IR image (48 kHz mono float, at most 4096 samples)",
     "Reads <in.wav> (44100 to 96000 Hz, 1 or 2 channels; PCM, float, A-law, mu-law or ADPCM,\n"
     "RIFF or Wave64), takes the left channel, drops leading silence, converts to 48 kHz and\n"
     "writes the IR image that the editor would send to the amplifier to <out.wav>.\n"
     "The output is written whole or not at all; an existing file there is replaced only once\n"
     "the new image is complete. <out.wav> may be <in.wav>: the input is read whole first.\n"
     "Exit status: 0 written; 2 the input was refused (the reason is printed, nothing is\n"
     "written); 1 the output could not be written (it is left as it was).",
     ir_convert},
    {"ir-export", "<folder>", 1, "write the twelve factory cabinets as WAV files into a folder",
     "Writes \"<cabinet name>.wav\" for each factory cabinet into <folder>, replacing files of\n"
     "the same name. Stops at the first file that cannot be written whole, which is left as it\n"
     "was; the files before it are complete.\n"
     "Exit status: 0 when all twelve were written, 1 otherwise (the reason is printed).",
     ir_export},
    {"device", device_usage, any_argument_count, device_summary, device_help, device_command},
    {"emulate", emulate_usage, any_argument_count, emulate_summary, emulate_help, emulate_command},
};

const cli_command* find_command(std::wstring_view name) {
    for (const cli_command& c : commands)
        if (name == std::wstring(c.name.begin(), c.name.end())) return &c;
    return nullptr;
}

void print_overview(std::FILE* to) {
    std::fprintf(to, "usage: nimba-cli <command> [arguments]\n"
                     "       nimba-cli help <command>\n"
                     "       nimba-cli --version\n\ncommands:\n");
    for (const cli_command& c : commands)
        std::fprintf(to, "  %-12.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
}

void print_command_help(const cli_command& c) {
    std::printf("usage: nimba-cli %.*s %.*s\n\n%.*s\n\n%.*s\n", static_cast<int>(c.name.size()),
                c.name.data(), static_cast<int>(c.usage.size()), c.usage.data(),
                static_cast<int>(c.summary.size()), c.summary.data(),
                static_cast<int>(c.details.size()), c.details.data());
}

bool is_help(std::wstring_view arg) {
    return arg == L"--help" || arg == L"-h" || arg == L"help";
}

int run_cli(const arguments& args) {
    if (args.empty()) {
        print_overview(stderr);
        return exit_usage;
    }
    if (is_help(args[0])) {
        if (args.size() < 2) {
            print_overview(stdout);
            return exit_ok;
        }
        const cli_command* c = find_command(args[1]);
        if (!c) {
            std::fprintf(stderr, "nimba-cli: unknown command %s\n", quoted_path(args[1]).c_str());
            return exit_usage;
        }
        print_command_help(*c);
        return exit_ok;
    }
    if (args[0] == L"--version") {
        std::printf("nimba-cli %.*s\n", static_cast<int>(program_version.size()),
                    program_version.data());
        return exit_ok;
    }
    const cli_command* c = find_command(args[0]);
    if (!c) {
        std::fprintf(stderr, "nimba-cli: unknown command %s\n\n", quoted_path(args[0]).c_str());
        print_overview(stderr);
        return exit_usage;
    }
    const arguments rest(args.begin() + 1, args.end());
    if (!rest.empty() && (rest[0] == L"--help" || rest[0] == L"-h")) {
        print_command_help(*c);
        return exit_ok;
    }
    if (c->argument_count != any_argument_count && rest.size() != c->argument_count) {
        std::fprintf(stderr, "usage: nimba-cli %.*s %.*s\n", static_cast<int>(c->name.size()),
                     c->name.data(), static_cast<int>(c->usage.size()), c->usage.data());
        return exit_usage;
    }
    return c->run(rest);
}

} // namespace
} // namespace nimba

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    const nimba::precise_waits waits; // 5 ms polls, not 15.6 ms timer ticks
    nimba::arguments args(argv + 1, argv + argc);
    return nimba::run_cli(args);
}
#else
int main(int argc, char** argv) {
    // A write past a file-size limit then fails with EFBIG, which the safe write cleans up
    // after, instead of ending the process with its temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    nimba::arguments args;
    for (int i = 1; i < argc; ++i) args.push_back(nimba::wide_from_utf8(argv[i]));
    return nimba::run_cli(args);
}
#endif
