// nimba-cli emulate: the virtual amplifier on virtual MIDI ports of its own, which the editor
// and `nimba-cli device` find by name, until interrupted; or on standard input and output, one
// message a line in hex, for a bridge to another transport (the browser tests' Web MIDI). It
// can log every message it takes and every reply it makes, write each completed cabinet and
// firmware transfer to a folder, and play an amplifier that answers stale after each change or
// is unplugged after some messages, so a test can check what arrived and how the tools cope.
// One thread.
#pragma once

#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/midi_ports.h"
#include "emulator/virtual_amp.h"
#include "tools/cli_console.h"

namespace nimba {

struct emulate_options {
    std::string name = "NIMBA virtual"; // the ports' name
    std::wstring log_path;              // --log FILE
    std::wstring received_dir;          // --received DIR
    bool stdio = false;                 // --stdio: hex lines on standard input and output
    int32_t stale_replies = 0;          // --stale N: amp_faults::stale_program_replies
    int32_t unplug_after = 0;           // --unplug-after N: emulator_session::unplug_after
};

struct emulate_parse {
    std::optional<emulate_options> options;
    std::string error;
};

// The arguments after "emulate".
emulate_parse parse_emulate_arguments(const cli_arguments& args);

// Programs whose values differ from one program to the next, so reads can be told apart:
// program n has ir slots (n+i) % 6, channel n % 3, modes (n+i) % 3 and bypass n % 2.
void seed_emulated_amp(virtual_amp& amp);

struct emulator_session {
    virtual_amp amp;
    std::FILE* log = nullptr;  // owned by the caller; may be null
    std::wstring received_dir; // empty: transfers are not written out
    // After this many messages no more arrive, as from an amplifier unplugged; 0 for never.
    int64_t unplug_after = 0;
    int64_t messages = 0; // taken so far
    // Events already reported, to tell new ones after each message.
    int32_t stores = 0;
    size_t blocks = 0;
    bool unplug_logged = false;
    int32_t cabinets = 0;
    int32_t firmware_updates = 0;
    std::vector<std::string> failures; // received files that could not be written
    std::vector<uint8_t> message;      // reused for every message
    amp_replies replies;
};

// Takes one message and logs it: the amplifier's replies are left in session.replies (none
// once it is unplugged).
void serve_message(emulator_session& session, std::span<const uint8_t> message);

// The standard-input mode until `in` ends. Each line of `in` is a message in hex
// ("F0 00 0B F7"), answered by its replies on `out`, one line each, flushed; or a front panel
// command, "program N" (0-127): the amplifier changes program and says so on `out` as the
// editor hears it. A line that is neither is reported on the console with its number and
// reason, and nothing else happens. Blank lines are skipped.
void serve_hex_lines(emulator_session& session, std::istream& in, std::ostream& out,
                     cli_console& console);

// Takes every message waiting on `in`, answers each on `out`, and logs it: the amplifier's
// own lines ("<- 0B 4", "-> 0B 6"), then "block program N" (with ", amplifier-wide values
// changed: KEY..." when it changed them), "stored", "cabinet slot N \"NAME\" SIZE bytes" or
// "firmware SIZE bytes version V" when a message completed one, and once "unplugged after N
// messages". Returns the messages taken, or waiting when unplugged.
int serve_waiting_messages(emulator_session& session, midi_in_port& in, midi_out_port& out);

// `nimba-cli emulate ...` over RtMidi's virtual ports, or standard input and output.
int emulate_command(const cli_arguments& args);
// Its row in nimba-cli's command table.
inline constexpr std::string_view emulate_usage =
    "[--name NAME | --stdio] [--log FILE] [--received DIR] [--stale N] [--unplug-after N]";
inline constexpr std::string_view emulate_summary =
    "run the virtual amplifier on virtual MIDI ports, or standard input and output";

inline constexpr std::string_view emulate_help =
    "Runs the virtual amplifier on virtual MIDI ports named NAME (default \"NIMBA virtual\"),\n"
    "so the editor and `nimba-cli device` can be tried without an amplifier, until Ctrl+C or\n"
    "SIGTERM. The ports need a MIDI system with virtual ports (ALSA or a running JACK\n"
    "server), which Windows lacks; --stdio needs none.\n"
    "\n"
    "  --name NAME     the ports' name; the editor looks for names containing \"NIMBA\"\n"
    "  --stdio         no ports: read one message a line in hex (\"F0 00 0B F7\") on standard\n"
    "                  input and write each reply the same way on standard output, until\n"
    "                  the input ends; the line \"program N\" turns the front panel's program\n"
    "                  wheel to N (0-127)\n"
    "  --log FILE      write every message taken and every reply, one line each, and a line\n"
    "                  for each store, cabinet and firmware transfer completed\n"
    "  --received DIR  write each completed transfer there: slot<N>.wav, firmware.bin\n"
    "  --stale N       after each change of program, answer the next N program requests\n"
    "                  about the program before, as an amplifier still busy with the change\n"
    "  --unplug-after N\n"
    "                  take N messages, then no more, as an amplifier unplugged: nothing after\n"
    "                  them arrives or is answered\n"
    "\n"
    "Exit status: 0 after an interrupt or the end of the input; 1 no virtual ports, or the\n"
    "log cannot be created; 64 wrong arguments.";

} // namespace nimba
