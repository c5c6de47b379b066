// nimba-cli's device commands: the editor's own device link run headless. The caller's thread
// plays both sides, posting commands into the editor state and running the worker's cycles,
// over the ports and clock it is given (RtMidi and the steady clock from the command line; the
// loopback amplifier and virtual time in tests). Firmware is never downloaded: the tool only
// updates an amplifier when asked to. One thread per session.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/link.h"
#include "device/program_backup.h"
#include "device/worker.h"
#include "tools/cli_console.h"

namespace nimba {

enum class device_action {
    info,
    read,
    upload_ir,
    send_factory,
    store,
    update_firmware,
    backup,
    restore,
    diff,
};

struct device_request {
    device_action action = device_action::info;
    int32_t program = 0;           // read
    int32_t slot = 0;              // upload-ir, send-factory: user slot 0..5
    int32_t cabinet = 0;           // send-factory: factory cabinet 0..11
    std::vector<int32_t> programs; // restore: --program N..., none for all
    bool amp_values = false;       // restore: the amplifier-wide values too (all, --amp-values)
    // upload-ir: the WAV file; update-firmware: the image; backup, restore, diff: the backup
    std::wstring path;
};

struct device_parse {
    std::optional<device_request> request;
    std::string error; // what is wrong with the arguments, when there is no request
};

// The arguments after "device".
device_parse parse_device_arguments(const cli_arguments& args);

// What the commands need read from disk before any port is opened.
struct device_payload {
    std::vector<uint8_t> firmware_image;  // update-firmware: exactly 131,072 bytes
    std::optional<program_backup> backup; // restore, diff: the loaded file
};

// Checks the request's file: the WAV file must convert to an IR image, the firmware image must
// hold exactly 131,072 bytes, a backup to restore or compare must load. No refusal when it may
// go on.
struct payload_check {
    device_payload payload;
    std::optional<outcome> refusal; // why the file stops the command before any port opens
};
payload_check load_device_payload(const device_request& request);

// The editor state and device link of one headless run, built like the editor's.
struct headless_link {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    worker_services services;
    worker_locals locals;
};

struct device_environment {
    midi_port_factory ports;
    clock_seam* clock = nullptr;
    int32_t search_ms = 3000; // how long to look for the amplifier's ports
    // Names the MIDI API of a port for the "no amplifier" line; may be empty.
    std::function<std::string(const midi_port&)> describe_api;
};

// Builds the state and link on `env`'s ports and clock; the cabinet commands take `path` where
// the editor would ask the user for a file.
void build_headless_link(headless_link& headless, const device_environment& env,
                         const std::wstring& path);

// Connects, carries out the request and prints its result: the outcome the operation posted, or
// what was read. The exit code follows the outcome's kind; a stop request on headless.link (the
// interrupt signals) ends it with cli_exit_interrupted.
int run_device_request(headless_link& headless, const device_request& request,
                       const device_payload& payload, const device_environment& env,
                       cli_console& console);

// The settings of program n as text: its nine values, and for program 0 also the
// amplifier-wide ones.
std::string program_text(const editor_state& state, int32_t n);

// Parses `args` (after "device"), checks the file, builds `headless` and runs the request.
int run_device_cli(const cli_arguments& args, headless_link& headless,
                   const device_environment& env, cli_console& console);

// `nimba-cli device ...` over RtMidi and the steady clock, stopped by SIGINT and SIGTERM.
int device_command(const cli_arguments& args);
// Its row in nimba-cli's command table.
inline constexpr std::string_view device_usage = "<command> [arguments]";
inline constexpr std::string_view device_summary =
    "talk to the amplifier: info, read, upload-ir, send-factory, store, update-firmware, "
    "backup, restore, diff";

inline constexpr std::string_view device_help =
    "Talks to the amplifier over the MIDI ports whose names contain \"NIMBA\", as the editor\n"
    "does: it connects (firmware version, the current program, the six slot names), carries\n"
    "out one command and ends. It never updates the firmware unless asked to. Like the editor,\n"
    "it waits up to 3125 ms for each reply of the amplifier, checking every 5 ms.\n"
    "\n"
    "commands:\n"
    "  info                                    firmware version, slot names, program 0\n"
    "  read <program 0-127>                    one program's settings\n"
    "  upload-ir <slot 0-5> <file.wav>         a WAV file into a user cabinet slot\n"
    "  send-factory <slot 0-5> <cabinet 0-11>  a factory cabinet into a user slot\n"
    "  store                                   store the amplifier's settings\n"
    "  update-firmware <image.bin>             send a firmware image (exactly 131072 bytes)\n"
    "  backup <file>                           all 128 programs and the amplifier-wide values\n"
    "                                          into a backup file (JSON); written only whole\n"
    "  restore <file> [--program N]... [--amp-values]\n"
    "                                          writes the programs of a backup (all, or each\n"
    "                                          N given) that differ from the amplifier, stores\n"
    "                                          each and reads it back; the amplifier-wide\n"
    "                                          values go back with the whole file, or with\n"
    "                                          chosen programs when --amp-values is given;\n"
    "                                          first warns when the backup is from another\n"
    "                                          firmware or a slot's name differs\n"
    "  diff <file>                             lists the programs, amplifier-wide values,\n"
    "                                          slot names and firmware version that differ\n"
    "                                          between a backup and the amplifier\n"
    "\n"
    "backup, restore and diff read every program, which makes each the amplifier's current one\n"
    "in turn. The amplifier does not tell which program it is on, and connecting reads program\n"
    "0, so they end by reading program 0 again: the amplifier is left on program 0. A program "
    "that\n"
    "does not answer is asked twice more. Slot impulse responses cannot be read back: a backup\n"
    "holds the slot names only, and a restore cannot write them back (a slot's name changes\n"
    "only with a cabinet upload), nor the firmware version.\n"
    "\n"
    "exit status:\n"
    "  0    done; diff: nothing differs\n"
    "  1    the MIDI system could not be used, nothing could be sent, the backup could not be\n"
    "       written or a restored program read back other values; diff: something differs\n"
    "  2    the file was refused (nothing was sent); a refused backup names the field\n"
    "  3    no amplifier: no MIDI ports named \"NIMBA\" within 3 s, or they went away\n"
    "  4    the amplifier did not answer within 3125 ms\n"
    "  64   wrong arguments\n"
    "  130  interrupted (Ctrl+C, SIGTERM)";

} // namespace nimba
