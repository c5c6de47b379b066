// nimba-cli: the editor's core from the command line. Each command is one row of the command
// table (name, arguments, help, handler); `nimba-cli --help` lists them, `nimba-cli --version`
// prints the program's version.
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/assets/cabinets.h"
#include "core/file_access.h"
#include "core/seams.h"
#include "ir/ir_export.h"
#include "ir/ir_import.h"
#include "nimba_version.h"
#include "tools/cli_console.h"
#include "tools/cli_device.h"
#include "tools/cli_emulate.h"
#include "tools/cli_ir.h"

namespace nimba {
namespace {

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

// The options, then the number of paths; on a fault, its line and the exit code, else -1.
int check_ir_arguments(const ir_arguments& parsed, std::string_view name, std::string_view usage,
                       size_t paths) {
    if (!parsed.bad_option.empty()) {
        // A bad option is refused like a bad input file.
        std::fprintf(stderr, "nimba-cli: %s\n", parsed.bad_option.c_str());
        return exit_code_of(outcome_kind::refused);
    }
    if (parsed.paths.size() == paths) return -1;
    std::fprintf(stderr, "usage: nimba-cli %.*s %.*s\n", static_cast<int>(name.size()), name.data(),
                 static_cast<int>(usage.size()), usage.data());
    return cli_exit_usage;
}

// The input converted with the chosen options; a refusal is printed.
std::optional<ir_conversion> convert_input(const ir_arguments& parsed) {
    const std::wstring& in = parsed.paths[0];
    ir_conversion ir = read_ir_from_wav(in, parsed.choices);
    if (ir.rejection == ir_rejection::none) return ir;
    cli_console console = standard_console();
    print_outcome(console, make_outcome(outcome_code::import_refused, {refusal_text(ir)}),
                  quoted_path(in) + ": ");
    return std::nullopt;
}

constexpr std::string_view ir_convert_usage =
    "[--channel left|right|both] [--level file|matched] [--tail cut|fade] <in.wav> <out.wav>";
constexpr std::string_view ir_info_usage = "[--channel ..] [--level ..] [--tail ..] <file.wav>";

// The input is read whole before the output is written, so the same path for both works:
// the input is replaced by its image once that is written whole.
int ir_convert(const arguments& args) {
    const ir_arguments parsed = parse_ir_arguments(args, false);
    if (const int fault = check_ir_arguments(parsed, "ir-convert", ir_convert_usage, 2); fault >= 0)
        return fault;
    const std::wstring& in = parsed.paths[0];
    const std::wstring& out = parsed.paths[1];
    const auto converted = convert_input(parsed);
    if (!converted) return exit_code_of(kind_of(outcome_code::import_refused));
    const ir_conversion& ir = *converted;
    cli_console console = standard_console();
    const auto image = encode_ir_image(ir.samples);
    if (!image)
        return print_outcome(console, make_outcome(outcome_code::image_not_built),
                             quoted_path(in) + ": ");
    const std::string error = write_file_safely(out, *image);
    if (!error.empty())
        return print_outcome(
            console, make_outcome(outcome_code::image_not_written, {quoted_path(out), error}));
    std::printf("%s: %zu samples at 48000 Hz, %zu bytes\n", quoted_path(out).c_str(),
                ir.samples.size(), image->size());
    if (parsed.choices.level == ir_level::matched) std::printf("%s", ir_figures_text(ir).c_str());
    return cli_exit_ok;
}

int ir_info(const arguments& args) {
    const ir_arguments parsed = parse_ir_arguments(args, false);
    if (const int fault = check_ir_arguments(parsed, "ir-info", ir_info_usage, 1); fault >= 0)
        return fault;
    const auto converted = convert_input(parsed);
    if (!converted) return exit_code_of(kind_of(outcome_code::import_refused));
    const ir_conversion& ir = *converted;
    std::printf("%s: %u Hz, %u channel%s, %llu frames\n%s", quoted_path(parsed.paths[0]).c_str(),
                ir.source_rate, ir.source_channels, ir.source_channels == 1 ? "" : "s",
                static_cast<unsigned long long>(ir.source_frames), ir_figures_text(ir).c_str());
    return cli_exit_ok;
}

int ir_export(const arguments& args) {
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    const export_report report = write_factory_irs(cabinets, args[0]);
    for (int i = 0; i < report.written; ++i)
        std::printf("%s\n", quoted_path(args[0] + L"/" + cabinets[i].name + L".wav").c_str());
    cli_console console = standard_console();
    outcome result = outcome_of(report);
    if (report.outcome != export_outcome::done)
        result.text += " (" + std::to_string(report.written) + " of " +
                       std::to_string(cabinet_count) + " cabinets written)";
    return print_outcome(console, result);
}

constexpr cli_command commands[] = {
    {"ir-convert", ir_convert_usage, any_argument_count,
     "turn a WAV file into a cabinet IR image (48 kHz mono float, at most 4096 samples)",
     "Reads <in.wav> (44100 to 96000 Hz, 1 or 2 channels; PCM, float, A-law, mu-law or ADPCM,\n"
     "RIFF or Wave64), takes the chosen channel (default left; both: their mean), drops\n"
     "leading silence, converts to 48 kHz, keeps at most 4096 samples and writes the IR image\n"
     "that the editor would send to the amplifier to <out.wav>.\n"
     "  --tail fade       a half-cosine over the last 512 samples (default cut: as it ends)\n"
     "  --level matched   scaled to the factory cabinets' median level (100 Hz to 6 kHz,\n"
     "                    equal weight per octave), stopping at a peak of 1.0 and saying how\n"
     "                    far short that leaves it (default file: as the file is)\n"
     "The output is written whole or not at all; an existing file there is replaced only once\n"
     "the new image is complete. <out.wav> may be <in.wav>: the input is read whole first.\n"
     "Exit status: 0 written; 2 the input or an option was refused (the reason is printed,\n"
     "nothing is written); 1 the output could not be written (it is left as it was).",
     ir_convert},
    {"ir-info", ir_info_usage, any_argument_count,
     "a WAV file's rate, channels and frames, and the figures of the IR it converts to",
     "Prints the file's sample rate, channels and frames, then for the IR it converts to (with\n"
     "the same options as ir-convert) its length in samples and ms, its peak in dBFS and its\n"
     "level against the factory cabinets' median in dB.\n"
     "Exit status: 0 shown; 2 the input or an option was refused.",
     ir_info},
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
        return cli_exit_usage;
    }
    if (is_help(args[0])) {
        if (args.size() < 2) {
            print_overview(stdout);
            return cli_exit_ok;
        }
        const cli_command* c = find_command(args[1]);
        if (!c) {
            std::fprintf(stderr, "nimba-cli: unknown command %s\n", quoted_path(args[1]).c_str());
            return cli_exit_usage;
        }
        print_command_help(*c);
        return cli_exit_ok;
    }
    if (args[0] == L"--version") {
        std::printf("nimba-cli %.*s\n", static_cast<int>(program_version.size()),
                    program_version.data());
        return cli_exit_ok;
    }
    const cli_command* c = find_command(args[0]);
    if (!c) {
        std::fprintf(stderr, "nimba-cli: unknown command %s\n\n", quoted_path(args[0]).c_str());
        print_overview(stderr);
        return cli_exit_usage;
    }
    const arguments rest(args.begin() + 1, args.end());
    if (!rest.empty() && (rest[0] == L"--help" || rest[0] == L"-h")) {
        print_command_help(*c);
        return cli_exit_ok;
    }
    if (c->argument_count != any_argument_count && rest.size() != c->argument_count) {
        std::fprintf(stderr, "usage: nimba-cli %.*s %.*s\n", static_cast<int>(c->name.size()),
                     c->name.data(), static_cast<int>(c->usage.size()), c->usage.data());
        return cli_exit_usage;
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
