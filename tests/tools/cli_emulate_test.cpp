// nimba-cli emulate: its arguments, and the served amplifier driven by the device commands
// over ports that hand messages straight across, with the log and the received files checked.
#include "tools/cli_emulate.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "device/librarian.h"
#include "emulator/hex_line.h"
#include "ir/ir_import.h"
#include "tests/device/scripted_ports.h"
#include "tests/ir/wav_builder.h"
#include "tools/cli_device.h"

namespace nimba {
namespace {

using test::temp_folder;
using test::wide;
using message_queue = std::deque<std::vector<uint8_t>>;

struct queue_input final : test::stub_input {
    message_queue& queue;
    std::function<void()> before_read; // lets the other end answer first
    queue_input(message_queue& q, std::function<void()> pump)
        : queue(q), before_read(std::move(pump)) {
        name = "emulator out:NIMBA virtual";
        open = false;
    }
    void getMessage(std::vector<uint8_t>* message) override {
        if (before_read) before_read();
        message->clear();
        if (queue.empty()) return;
        *message = std::move(queue.front());
        queue.pop_front();
    }
};

struct queue_output final : test::stub_output {
    message_queue& queue;
    explicit queue_output(message_queue& q) : queue(q) {
        name = "emulator in:NIMBA virtual";
        open = false;
    }
    void sendMessage(const uint8_t* bytes, size_t size) override {
        queue.emplace_back(bytes, bytes + size);
    }
};

// An emulator session and the device tool wired together on virtual time.
struct emulated_amp {
    temp_folder dir;
    emulator_session session;
    message_queue to_amp, to_tool;
    queue_input amp_in{to_amp, nullptr};
    queue_output amp_out{to_tool};
    virtual_clock clock;
    std::string out, err;

    emulated_amp() {
        seed_emulated_amp(session.amp);
        session.log = open_file(wide(dir / "amp.log"), "wb");
        session.received_dir = wide(dir / "received");
        std::filesystem::create_directories(dir / "received");
    }
    ~emulated_amp() {
        if (session.log) std::fclose(session.log);
    }
    int device(const cli_arguments& args) {
        device_environment env;
        env.clock = &clock;
        env.ports.make_input = [this](const std::string&, unsigned) {
            return std::make_unique<queue_input>(
                to_tool, [this] { serve_waiting_messages(session, amp_in, amp_out); });
        };
        env.ports.make_output = [this](const std::string&) {
            return std::make_unique<queue_output>(to_amp);
        };
        cli_console console;
        console.out = [this](std::string_view text) { out += text; };
        console.err = [this](std::string_view text) { err += text; };
        headless_link headless;
        return run_device_cli(args, headless, env, console);
    }
    std::string log() {
        std::fflush(session.log);
        const auto bytes = test::read_file(dir / "amp.log");
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST(EmulateArguments, Table) {
    struct row {
        cli_arguments args;
        bool ok;
        bool stdio;
        std::string name;
        std::wstring log, received;
        int32_t stale, unplug;
        const char* error;
    };
    const row rows[] = {
        {{}, true, false, "NIMBA virtual", L"", L"", 0, 0, ""},
        {{L"--name", L"NIMBA test", L"--log", L"a.log"},
         true,
         false,
         "NIMBA test",
         L"a.log",
         L"",
         0,
         0,
         ""},
        {{L"--received", L"out", L"--name", L"X"}, true, false, "X", L"", L"out", 0, 0, ""},
        {{L"--stale", L"1", L"--unplug-after", L"141"},
         true,
         false,
         "NIMBA virtual",
         L"",
         L"",
         1,
         141,
         ""},
        {{L"--log", L"a.log", L"--stdio"}, true, true, "NIMBA virtual", L"a.log", L"", 0, 0, ""},
        {{L"--name"}, false, false, "", L"", L"", 0, 0, "--name needs a value"},
        {{L"--log", L""}, false, false, "", L"", L"", 0, 0, "--log needs a value"},
        {{L"--verbose"}, false, false, "", L"", L"", 0, 0, "unknown argument \"--verbose\""},
        {{L"NIMBA"}, false, false, "", L"", L"", 0, 0, "unknown argument"},
        {{L"--stale", L"-1"},
         false,
         false,
         "",
         L"",
         L"",
         0,
         0,
         "--stale must be a number from 0 to 1000"},
        {{L"--stale", L"1001"}, false, false, "", L"", L"", 0, 0, "from 0 to 1000, not \"1001\""},
        {{L"--unplug-after", L"0"},
         false,
         false,
         "",
         L"",
         L"",
         0,
         0,
         "--unplug-after must be a number"},
        {{L"--unplug-after", L"9x"}, false, false, "", L"", L"", 0, 0, "not \"9x\""},
        {{L"--stdio", L"--name", L"X"}, false, false, "", L"", L"", 0, 0, "--stdio does not open"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.error);
        const emulate_parse parsed = parse_emulate_arguments(r.args);
        ASSERT_EQ(parsed.options.has_value(), r.ok) << parsed.error;
        if (!r.ok) {
            EXPECT_NE(parsed.error.find(r.error), std::string::npos) << parsed.error;
            continue;
        }
        EXPECT_EQ(parsed.options->stdio, r.stdio);
        EXPECT_EQ(parsed.options->name, r.name);
        EXPECT_EQ(parsed.options->log_path, r.log);
        EXPECT_EQ(parsed.options->received_dir, r.received);
        EXPECT_EQ(parsed.options->stale_replies, r.stale);
        EXPECT_EQ(parsed.options->unplug_after, r.unplug);
    }
}

TEST(EmulatedAmp, SeededProgramsReadBack) {
    emulated_amp t;
    ASSERT_EQ(t.device({L"read", L"5"}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "program 5\n"
                     "  channel        2\n"
                     "  ir slots       5 0 1 2\n"
                     "  galaxy modes   2 0 1\n"
                     "  ir bypass      on\n");
    const std::string log = t.log();
    EXPECT_EQ(log.rfind("<- 0B 4\n-> 0B 6\n", 0), 0u) << log;
    EXPECT_NE(log.find("<- 02 5\n-> 02 23\n"), std::string::npos) << log;
}

// What the device commands send lands in the log and the received folder, and the amplifier
// reports it back afterwards.
TEST(EmulatedAmp, TransfersAreLoggedAndKept) {
    emulated_amp t;
    test::write_file(t.dir / "room.wav", test::float_wav({0.5f, -0.25f, 0.125f}, 48000));
    std::vector<uint8_t> firmware(0x20000, 0x5A);
    firmware[0x1FFFC] = 0x03;
    firmware[0x1FFFD] = 0x02;
    test::write_file(t.dir / "fw.bin", firmware);

    ASSERT_EQ(t.device({L"upload-ir", L"2", wide(t.dir / "room.wav")}), cli_exit_ok) << t.err;
    ASSERT_EQ(t.device({L"update-firmware", wide(t.dir / "fw.bin")}), cli_exit_ok) << t.err;
    ASSERT_EQ(t.device({L"store"}), cli_exit_ok) << t.err;
    t.out.clear();
    ASSERT_EQ(t.device({L"info"}), cli_exit_ok) << t.err;

    const auto image = encode_ir_image(read_ir_from_wav(wide(t.dir / "room.wav")).samples);
    ASSERT_TRUE(image);
    EXPECT_EQ(test::read_file(t.dir / "received" / "slot2.wav"), *image);
    EXPECT_EQ(test::read_file(t.dir / "received" / "firmware.bin"), firmware);
    const std::string log = t.log();
    EXPECT_NE(log.find("cabinet slot 2 \"ROOM\" " + std::to_string(image->size()) + " bytes\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("firmware 131072 bytes version 2.3.0\n"), std::string::npos);
    EXPECT_NE(log.find("\nstored\n"), std::string::npos);
    EXPECT_NE(t.out.find("firmware version 2.3.0\n"), std::string::npos) << t.out;
    EXPECT_NE(t.out.find("slot 2: ROOM\n"), std::string::npos) << t.out;
}

// Standard-input mode: requests answered line for line, the front panel's program change heard
// as the editor hears it, and each bad line reported by number without stopping the rest.
TEST(EmulatedAmp, HexLinesOnStandardInput) {
    emulated_amp t;
    std::istringstream in("F0 00 0B F7\n"
                          "\n"
                          "F0 00 0B\n"
                          "F0 zz F7\n"
                          "program 7\n"
                          "program 128\n"
                          "F0 00 02 05 F7\r\n");
    std::ostringstream out;
    cli_console console;
    console.err = [&t](std::string_view text) { t.err += text; };
    serve_hex_lines(t.session, in, out, console);

    std::vector<std::string> lines;
    std::istringstream replies(out.str());
    for (std::string line; std::getline(replies, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << out.str();
    EXPECT_EQ(parse_hex_line(lines[0]).bytes->size(), 6u) << lines[0];
    EXPECT_EQ(lines[1], "F0 00 03 07 F7");
    EXPECT_EQ(*parse_hex_line(lines[2]).bytes, amp_program_reply(t.session.amp, 5));
    EXPECT_EQ(t.session.amp.program, 5);
    EXPECT_EQ(t.session.amp.ignored, 1); // the unterminated frame reached the amplifier
    EXPECT_EQ(t.err, "nimba-cli: line 4: \"zz\" at column 4 is not a two-digit hex byte\n"
                     "nimba-cli: line 6: the front panel has programs 0 to 127\n");
    const std::string log = t.log();
    EXPECT_NE(log.find("front panel program 7\n-> 03 5\n<- 02 5\n-> 02 23\n"), std::string::npos)
        << log;
}

size_t count_lines(const std::string& log, std::string_view prefix) {
    size_t count = 0;
    for (size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
        if (log.compare(at, prefix.size(), prefix) == 0) ++count;
        if (log.find('\n', at) == std::string::npos) break;
    }
    return count;
}

// The faults a check drives over the real ports: an amplifier that answers once about the
// program before after each change is backed up in at most twice the time of a clean one, with
// the same programs; one unplugged after the second program a restore stored leaves a restore
// that names those two; the log names each block's program and the amplifier-wide values it
// changed.
TEST(EmulatedAmp, StaleAndUnpluggedAmplifiers) {
    emulated_amp clean, stale, unplugged;
    stale.session.amp.faults.stale_program_replies = 1;
    const std::wstring clean_file = wide(clean.dir / "clean.json");
    const std::wstring stale_file = wide(stale.dir / "stale.json");
    ASSERT_EQ(clean.device({L"backup", clean_file}), cli_exit_ok) << clean.err;
    ASSERT_EQ(stale.device({L"backup", stale_file}), cli_exit_ok) << stale.err;
    EXPECT_LE(stale.clock.now_ms(), 2 * clean.clock.now_ms());
    const auto clean_backup = read_backup_file(clean_file).backup;
    const auto stale_backup = read_backup_file(stale_file).backup;
    ASSERT_TRUE(clean_backup && stale_backup);
    EXPECT_EQ(clean_backup->programs, stale_backup->programs);
    // Twice as many program requests, but for program 0, which the amplifier is on at connect.
    EXPECT_EQ(count_lines(stale.log(), "<- 02 "), 2 * count_lines(clean.log(), "<- 02 ") - 2);

    // Programs 10..13 and the tolex colour differ from the file; each restore writes them alone.
    const auto change = [](emulated_amp& t) {
        for (int32_t n = 10; n <= 13; ++n) t.session.amp.programs[n][8] ^= 1;
        t.session.amp.tolex_colour = 4;
    };
    change(clean);
    const size_t logged = clean.log().size();
    ASSERT_EQ(clean.device({L"restore", clean_file, L"--program", L"11"}), cli_exit_ok);
    const std::string one = clean.log().substr(logged);
    EXPECT_EQ(count_lines(one, "block "), 1u);
    EXPECT_EQ(count_lines(one, "block program 11\n"), 1u);
    EXPECT_EQ(count_lines(one, "stored"), 1u);
    const size_t before_restore = clean.log().size();
    ASSERT_EQ(clean.device({L"restore", clean_file}), cli_exit_ok);
    const std::string restored = clean.log().substr(before_restore);
    EXPECT_EQ(count_lines(restored, "block program 10, amplifier-wide values changed: "
                                    "tolex_colour"),
              1u);
    EXPECT_EQ(count_lines(restored, "block "), 3u); // 10, 12 and 13

    // The unplugged amplifier takes as many messages as a restore sends up to its third block
    // (10, 12, 13 above; 10, 11, 12 here), then no more: the third program is sent, not stored.
    size_t through_third_block = 0;
    for (size_t at = 0, blocks = 0; blocks < 3; at = restored.find('\n', at) + 1) {
        if (restored.compare(at, 3, "<- ") == 0) ++through_third_block;
        if (restored.compare(at, 6, "block ") == 0) ++blocks;
    }
    change(unplugged);
    unplugged.session.unplug_after = static_cast<int64_t>(through_third_block);
    const std::wstring file = wide(unplugged.dir / "clean.json");
    ASSERT_TRUE(write_backup_file(file, *clean_backup) == std::nullopt);
    EXPECT_EQ(unplugged.device({L"restore", file}), cli_exit_timeout);
    EXPECT_EQ(unplugged.err, "nimba-cli: restore incomplete, restored programs 10 11 and the "
                             "amplifier-wide values tolex_colour; program 12 sent, not read "
                             "back: program 12 did not answer 3 requests\n");
    const std::string log = unplugged.log();
    EXPECT_EQ(count_lines(log, "stored"), 2u);
    EXPECT_EQ(count_lines(log, "unplugged after "), 1u);
}

} // namespace
} // namespace nimba
