// nimba-cli device: the argument table, the files refused before any port is opened, and whole
// runs of the headless device link against the loopback amplifier on virtual time.
#include "tools/cli_device.h"

#include <gtest/gtest.h>

#include <numeric>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "device/firmware.h"
#include "device/librarian.h"
#include "emulator/demo_amp.h"
#include "emulator/loopback_ports.h"
#include "ir/ir_export.h"
#include "ir/ir_import.h"
#include "ir/ir_transfer.h"
#include "tests/ir/wav_builder.h"

namespace nimba {
namespace {

using test::temp_folder;
using test::wide;

// One nimba-cli device run over the loopback bus, with everything it printed.
struct cli_run {
    loopback_bus bus;
    virtual_clock clock;
    device_environment env;
    std::unique_ptr<headless_link> headless = std::make_unique<headless_link>();
    cli_console console;
    std::string out, err;

    cli_run() {
        bus.clock = &clock;
        env.ports = loopback_port_factory(bus);
        env.clock = &clock;
        console.out = [this](std::string_view text) { out += text; };
        console.err = [this](std::string_view text) { err += text; };
    }
    int run(const cli_arguments& args) { return run_device_cli(args, *headless, env, console); }
    // A new headless link and nothing printed yet, for another run against the same amplifier.
    void start_again() {
        out.clear();
        err.clear();
        headless = std::make_unique<headless_link>();
    }
    // The demo's amplifier, backed up into `file`.
    void back_up_demo_amp(const std::wstring& file) {
        seed_demo_amp(bus.amp);
        ASSERT_EQ(run({L"backup", file}), cli_exit_ok) << err;
        start_again();
    }
    int messages_taken() {
        const auto& r = bus.amp.received;
        return std::accumulate(r.begin(), r.end(), 0);
    }
};

std::vector<uint8_t> firmware_with_version(uint16_t version) {
    std::vector<uint8_t> image(firmware_image_size);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    image[0x1FFFC] = static_cast<uint8_t>(version & 0xFF);
    image[0x1FFFD] = static_cast<uint8_t>(version >> 8);
    return image;
}

// A short decaying IR as a 44.1 kHz float WAV file.
std::vector<uint8_t> small_ir_wav() {
    std::vector<float> samples(300);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i % 2 ? -1.0f : 1.0f) / static_cast<float>(i + 1);
    return test::float_wav(samples, 44100);
}

TEST(DeviceArguments, Table) {
    struct row {
        cli_arguments args;
        bool ok;
        device_action action;
        int32_t program, slot, cabinet;
        std::wstring path;
        const char* error; // a part of the message when refused
    };
    const auto A = device_action::info;
    const row rows[] = {
        {{L"info"}, true, device_action::info, 0, 0, 0, L"", ""},
        {{L"read", L"127"}, true, device_action::read, 127, 0, 0, L"", ""},
        {{L"read", L"007"}, true, device_action::read, 7, 0, 0, L"", ""},
        {{L"upload-ir", L"5", L"my cab.wav"},
         true,
         device_action::upload_ir,
         0,
         5,
         0,
         L"my cab.wav",
         ""},
        {{L"send-factory", L"0", L"11"}, true, device_action::send_factory, 0, 0, 11, L"", ""},
        {{L"store"}, true, device_action::store, 0, 0, 0, L"", ""},
        {{L"update-firmware", L"fw.bin"},
         true,
         device_action::update_firmware,
         0,
         0,
         0,
         L"fw.bin",
         ""},
        {{L"restore", L"b.json", L"--program", L"9", L"--program", L"0", L"--program", L"9"},
         true,
         device_action::restore,
         0,
         0,
         0,
         L"b.json",
         ""},
        {{L"diff", L"b.json"}, true, device_action::diff, 0, 0, 0, L"b.json", ""},
        {{}, false, A, 0, 0, 0, L"", "a command is missing"},
        {{L"flash"}, false, A, 0, 0, 0, L"", "unknown command \"flash\""},
        {{L"read"}, false, A, 0, 0, 0, L"", "usage: nimba-cli device read <program 0-127>"},
        {{L"read", L"128"}, false, A, 0, 0, 0, L"", "from 0 to 127, not \"128\""},
        {{L"read", L"-1"}, false, A, 0, 0, 0, L"", "from 0 to 127"},
        {{L"read", L"1x"}, false, A, 0, 0, 0, L"", "from 0 to 127"},
        {{L"read", L" 5"}, false, A, 0, 0, 0, L"", "from 0 to 127"},
        {{L"read", L""}, false, A, 0, 0, 0, L"", "from 0 to 127"},
        {{L"read", L"99999999999999999999"}, false, A, 0, 0, 0, L"", "from 0 to 127"},
        {{L"upload-ir", L"6", L"a.wav"}, false, A, 0, 0, 0, L"", "<slot> must be"},
        {{L"upload-ir", L"0", L""}, false, A, 0, 0, 0, L"", "file name is empty"},
        {{L"send-factory", L"0", L"12"}, false, A, 0, 0, 0, L"", "<cabinet> must be"},
        {{L"send-factory", L"0"}, false, A, 0, 0, 0, L"", "usage:"},
        {{L"store", L"now"}, false, A, 0, 0, 0, L"", "usage: nimba-cli device store"},
        {{L"update-firmware"}, false, A, 0, 0, 0, L"", "usage:"},
        {{L"backup"}, false, A, 0, 0, 0, L"", "usage: nimba-cli device backup <file>"},
        {{L"backup", L""}, false, A, 0, 0, 0, L"", "file name is empty"},
        {{L"restore", L"b.json", L"--program"}, false, A, 0, 0, 0, L"", "usage:"},
        {{L"restore", L"b.json", L"-p", L"1"}, false, A, 0, 0, 0, L"", "usage:"},
        {{L"restore", L"b.json", L"--program", L"128"}, false, A, 0, 0, 0, L"", "from 0 to 127"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args.empty() ? std::wstring() : r.args[0]) + " " +
                     r.error);
        const device_parse parsed = parse_device_arguments(r.args);
        ASSERT_EQ(parsed.request.has_value(), r.ok) << parsed.error;
        if (!r.ok) {
            EXPECT_NE(parsed.error.find(r.error), std::string::npos) << parsed.error;
            continue;
        }
        EXPECT_EQ(parsed.request->action, r.action);
        EXPECT_EQ(parsed.request->program, r.program);
        EXPECT_EQ(parsed.request->slot, r.slot);
        EXPECT_EQ(parsed.request->cabinet, r.cabinet);
        EXPECT_EQ(parsed.request->path, r.path);
        if (r.action == device_action::restore) {
            EXPECT_EQ(parsed.request->programs, (std::vector<int32_t>{9, 0}));
        }
    }
}

// A refused file or argument ends the run before any port is opened: nothing reaches the
// amplifier, and the reason is one line.
TEST(DeviceRefusals, NothingIsSent) {
    temp_folder dir;
    test::write_file(dir / "short.bin", std::vector<uint8_t>(firmware_image_size - 1));
    test::write_file(dir / "long.bin", std::vector<uint8_t>(firmware_image_size + 1));
    test::write_file(dir / "empty.bin", {});
    test::write_file(dir / "text.wav", {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'});
    test::write_file(dir / "rate.wav", test::float_wav({1.0f, 0.5f}, 22050));
    const std::string newer = R"({"format": "nimba-programs", "version": 2})";
    test::write_file(dir / "newer.json", std::vector<uint8_t>(newer.begin(), newer.end()));
    struct row {
        cli_arguments args;
        int code;
        const char* reason;
    };
    std::vector<row> rows = {
        // A backup's destination is checked before a single program is read.
        {{L"backup", wide(dir.path)}, cli_exit_refused, "backup not started: is a folder"},
        {{L"backup", wide(dir / "no" / "b.json")}, cli_exit_refused, "cannot be created"},
        {{L"update-firmware", wide(dir / "short.bin")}, cli_exit_refused, "131071 bytes"},
        {{L"update-firmware", wide(dir / "long.bin")}, cli_exit_refused, "more than 131072"},
        {{L"update-firmware", wide(dir / "empty.bin")}, cli_exit_refused, "0 bytes"},
        {{L"update-firmware", wide(dir / "missing.bin")}, cli_exit_refused, "cannot be opened"},
        {{L"upload-ir", L"1", wide(dir / "text.wav")}, cli_exit_refused, "not a WAV file"},
        {{L"upload-ir", L"1", wide(dir / "rate.wav")},
         cli_exit_refused,
         "import refused: sample rate 22050 Hz is outside 44100 to 96000"},
        {{L"upload-ir", L"1", wide(dir / "missing.wav")}, cli_exit_refused, "cannot be read"},
        {{L"read", L"200"}, cli_exit_usage, "from 0 to 127"},
        {{L"diff", wide(dir / "newer.json")}, cli_exit_refused, "version: 2 is newer"},
        {{L"restore", wide(dir / "rate.wav")}, cli_exit_refused, "file: not JSON"},
        {{L"restore", wide(dir / "missing.json")}, cli_exit_refused, "file: cannot be opened"},
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo((dir / "fifo.json").c_str(), 0600), 0);
    rows.push_back({{L"backup", wide(dir / "fifo.json")}, cli_exit_refused, "not a regular file"});
#endif
    for (const row& r : rows) {
        SCOPED_TRACE(r.reason);
        cli_run t;
        EXPECT_EQ(t.run(r.args), r.code);
        EXPECT_EQ(t.bus.port_opens, 0);
        EXPECT_EQ(t.messages_taken(), 0);
        EXPECT_TRUE(t.out.empty());
        EXPECT_EQ(t.err.rfind("nimba-cli: ", 0), 0u) << t.err;
        EXPECT_EQ(std::count(t.err.begin(), t.err.end(), '\n'), 1) << t.err;
        EXPECT_NE(t.err.find(r.reason), std::string::npos) << t.err;
    }
}

TEST(DeviceInfo, ShowsVersionSlotsAndProgramZero) {
    cli_run t;
    virtual_amp& amp = t.bus.amp;
    amp.firmware_version = 0x0102;
    amp.slots[1].name = "1_clean";  // the slot's own number is dropped
    amp.slots[4].name = "3_CRUNCH"; // another slot's number is kept
    amp.programs[0] = {1, 2, 3, 4, 1, 2, 0, 1, 1};
    amp.midi_channel = 3;
    amp.tolex_colour = 2;
    ASSERT_EQ(t.run({L"info"}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "firmware version 1.2.0\n"
                     "slot 0: (empty)\n"
                     "slot 1: CLEAN\n"
                     "slot 2: (empty)\n"
                     "slot 3: (empty)\n"
                     "slot 4: 3_CRUNCH\n"
                     "slot 5: (empty)\n"
                     "program 0\n"
                     "  channel        1\n"
                     "  ir slots       1 2 3 4\n"
                     "  galaxy modes   2 0 1\n"
                     "  ir bypass      on\n"
                     "  midi channel   3\n"
                     "  tolex colour   PURPLE\n"
                     "  global values  0 0 0 0 0 0 0\n");
    EXPECT_TRUE(t.err.empty()) << t.err;
    // The connect sequence of the tool never updates an amplifier.
    EXPECT_EQ(amp.received[0x07], 0);
    EXPECT_EQ(amp.firmware_updates, 0);
}

// The amplifier's panel moves to another program while the tool connects: the tool follows
// it, as the editor does, and still reads program 0 for the info.
TEST(DeviceInfo, ReadsProgramZeroWhenTheAmplifierShowsAnother) {
    cli_run t;
    t.bus.amp.programs[0] = {5, 5, 5, 5, 0, 0, 0, 0, 0};
    t.console.progress_line = true;
    bool moved = false;
    t.console.err = [&](std::string_view text) {
        t.err += text;
        if (!moved && text.find("info: working...") != std::string_view::npos) {
            moved = true;
            front_panel_program_change(t.bus, 9);
        }
    };
    ASSERT_EQ(t.run({L"info"}), cli_exit_ok) << t.err;
    EXPECT_TRUE(moved);
    EXPECT_NE(t.out.find("program 0\n  channel        0\n  ir slots       5 5 5 5\n"),
              std::string::npos)
        << t.out;
    EXPECT_GE(t.bus.amp.received[0x02], 2); // program 9, then program 0
}

TEST(DeviceRead, PrintsTheProgramTheAmplifierSent) {
    cli_run t;
    t.bus.amp.programs[77] = {0, 1, 2, 3, 2, 1, 1, 0, 0};
    ASSERT_EQ(t.run({L"read", L"77"}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "program 77\n"
                     "  channel        2\n"
                     "  ir slots       0 1 2 3\n"
                     "  galaxy modes   1 1 0\n"
                     "  ir bypass      off\n");
    EXPECT_EQ(t.bus.amp.received[0x02], 2); // the connect sequence's read, then program 77
}

// An IR bypass value the amplifier reports out of range reads by the one rule in the tool as
// on the screen: above 1 is on. A backup holds it as 1, and a diff against that backup finds
// nothing while the amplifier keeps reporting its own value.
TEST(DeviceRead, IrBypassOutOfRangeReadsAsOn) {
    struct row {
        uint8_t raw;
        const char* shown;
        int32_t backed_up;
    };
    const size_t bypass = row_of(amp_value::ir_bypass).word;
    for (const row& r : {row{0, "off", 0}, row{1, "on", 1}, row{2, "on", 1}, row{127, "on", 1}}) {
        SCOPED_TRACE(int(r.raw));
        temp_folder dir;
        const std::wstring file = wide(dir / "programs.json");
        cli_run t;
        t.bus.amp.programs[5][bypass] = r.raw;
        ASSERT_EQ(t.run({L"read", L"5"}), cli_exit_ok) << t.err;
        EXPECT_NE(t.out.find(std::string("  ir bypass      ") + r.shown + "\n"), std::string::npos)
            << t.out;
        t.headless = std::make_unique<headless_link>();
        ASSERT_EQ(t.run({L"backup", file}), cli_exit_ok) << t.err;
        const backup_load load = read_backup_file(file);
        ASSERT_TRUE(load.backup) << load.error;
        EXPECT_EQ(words_of(load.backup->programs[5], amp_value::ir_bypass)[0], r.backed_up);
        t.out.clear();
        t.headless = std::make_unique<headless_link>();
        EXPECT_EQ(t.run({L"diff", file}), cli_exit_ok) << t.err;
        EXPECT_EQ(t.out, "nothing differs\n");
        EXPECT_EQ(t.bus.amp.programs[5][bypass], r.raw) << "the amplifier's value was changed";
    }
}

TEST(DeviceCabinets, UploadPutsTheConvertedFileIntoTheSlot) {
    temp_folder dir;
    test::write_file(dir / "My Cab.wav", small_ir_wav());
    const std::wstring path = wide(dir / "My Cab.wav");
    cli_run t;
    ASSERT_EQ(t.run({L"upload-ir", L"3", path}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "cabinet sent to slot 3: MY CAB\n");
    const auto expected = encode_ir_image(read_ir_from_wav(path).samples);
    ASSERT_TRUE(expected);
    EXPECT_EQ(t.bus.amp.slots[3].image, *expected);
    EXPECT_EQ(t.bus.amp.slots[3].name, "MY CAB");
    EXPECT_EQ(t.bus.amp.cabinets_done, 1);
}

TEST(DeviceCabinets, FactoryCabinetGoesToTheNamedSlot) {
    cli_run t;
    ASSERT_EQ(t.run({L"send-factory", L"4", L"7"}), cli_exit_ok) << t.err;
    cabinet_library cabinets;
    fill_cabinet_library(cabinets);
    const auto samples = cabinet_samples(cabinets[7]);
    ASSERT_TRUE(samples);
    const auto expected = encode_ir_image(*samples);
    ASSERT_TRUE(expected);
    EXPECT_EQ(t.bus.amp.slots[4].image, *expected);
    const ir_name_field field = make_ir_name_field(cabinets[7].name);
    const std::string name(field.begin(), std::find(field.begin(), field.end(), uint8_t{0}));
    EXPECT_EQ(t.bus.amp.slots[4].name, name);
    EXPECT_EQ(t.out, "cabinet sent to slot 4: " + name + "\n");
    for (int k : {0, 1, 2, 3, 5}) EXPECT_TRUE(t.bus.amp.slots[k].image.empty()) << k;
}

TEST(DeviceStore, SendsOneStore) {
    cli_run t;
    ASSERT_EQ(t.run({L"store"}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "stored\n");
    EXPECT_EQ(t.bus.amp.stores, 1);
}

TEST(DeviceFirmware, SendsTheImageAndShowsOneProgressLine) {
    temp_folder dir;
    const auto image = firmware_with_version(0x0203);
    test::write_file(dir / "fw.bin", image);
    cli_run t;
    t.console.progress_line = true;
    ASSERT_EQ(t.run({L"update-firmware", wide(dir / "fw.bin")}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.bus.amp.firmware_image, image);
    EXPECT_EQ(t.bus.amp.firmware_version, 0x0203);
    EXPECT_EQ(t.bus.amp.received[0x07], firmware_chunk_count);
    EXPECT_EQ(t.bus.amp.link_resets, 1); // the amplifier restarts on its new firmware
    EXPECT_EQ(t.out, "firmware updated from 1.0.0 to 2.3.0\n");
    // The progress line is redrawn in place and cleared at the end: no line breaks.
    EXPECT_EQ(t.err.find('\n'), std::string::npos);
    EXPECT_NE(t.err.find("\rupdate-firmware: 50%"), std::string::npos);
    EXPECT_NE(t.err.find("\rupdate-firmware: 100%"), std::string::npos);
    EXPECT_EQ(t.err.back(), '\r');
    EXPECT_TRUE(t.console.progress_shown.empty());
}

// Each failure ends the run with its own exit code and one line naming it.
TEST(DeviceFailures, ExitCodesAndOneLine) {
    temp_folder dir;
    test::write_file(dir / "fw.bin", firmware_with_version(0x0200));
    test::write_file(dir / "cab.wav", small_ir_wav());
    const auto cabinet = encode_ir_image(read_ir_from_wav(wide(dir / "cab.wav")).samples);
    ASSERT_TRUE(cabinet);
    const int64_t cabinet_chunks = static_cast<int64_t>((cabinet->size() + 255) / 256);
    // Replies of the connect sequence: version, program, six slot names.
    constexpr int64_t connect_replies = 8;
    struct row {
        const char* what;
        cli_arguments args;
        std::function<void(cli_run&)> setup;
        int code;
        const char* reason;
    };
    const row rows[] = {
        {"no ports",
         {L"info"},
         [](cli_run& t) { set_plugged(t.bus, false); },
         cli_exit_no_device,
         "no amplifier found"},
        {"ports that do not open",
         {L"store"},
         [](cli_run& t) { t.bus.fail_open = true; },
         cli_exit_no_device,
         "no amplifier found"},
        {"a silent amplifier",
         {L"info"},
         [](cli_run& t) { t.bus.amp.faults.silent = true; },
         cli_exit_timeout,
         "does not answer"},
        {"the program reply lost",
         {L"read", L"5"},
         [](cli_run& t) { t.bus.amp.faults.drop_reply = connect_replies + 1; },
         cli_exit_timeout,
         "the amplifier does not answer"},
        {"the cabinet's close not acknowledged",
         {L"upload-ir", L"0", wide(dir / "cab.wav")},
         [=](cli_run& t) { t.bus.amp.faults.drop_reply = connect_replies + cabinet_chunks + 1; },
         cli_exit_timeout,
         "cabinet upload timed out at the closing message"},
        {"program 77 never answers",
         {L"backup", wide(dir / "programs.json")},
         [](cli_run& t) { t.bus.amp.faults.mute_program = 77; },
         cli_exit_timeout,
         "backup incomplete, nothing written: program 77 did not answer 3 requests"},
        {"a firmware chunk not acknowledged",
         {L"update-firmware", wide(dir / "fw.bin")},
         [](cli_run& t) { t.bus.amp.faults.drop_reply = connect_replies + 100; },
         cli_exit_timeout,
         "firmware update timed out at chunk 100 of 512"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        cli_run t;
        r.setup(t);
        EXPECT_EQ(t.run(r.args), r.code);
        EXPECT_TRUE(t.out.empty()) << t.out;
        EXPECT_EQ(std::count(t.err.begin(), t.err.end(), '\n'), 1) << t.err;
        EXPECT_NE(t.err.find(r.reason), std::string::npos) << t.err;
        EXPECT_EQ(t.bus.amp.firmware_updates, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "programs.json"));
}

// A backup, programs changed on the amplifier, a diff naming them, a restore writing them
// alone, and a diff that finds nothing. The tool cannot learn the amplifier's program (its
// connect sequence reads program 0), so each run ends with the amplifier on program 0.
TEST(DevicePrograms, BackupDiffRestoreThroughTheTool) {
    temp_folder dir;
    const std::wstring file = wide(dir / "programs.json");
    cli_run t;
    virtual_amp& amp = t.bus.amp;
    seed_demo_amp(amp);
    const auto run = [&](const cli_arguments& args) {
        t.start_again();
        amp.program = 7;
        const int code = t.run(args);
        EXPECT_EQ(amp.program, 0) << "not left on the program read at connect";
        return code;
    };
    ASSERT_EQ(run({L"backup", file}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "backup written to " + quoted_path(file) + "\n");
    amp.programs[12][8] ^= 1;
    amp.global_values[2] = 9;
    EXPECT_EQ(run({L"diff", file}), cli_exit_failed);
    EXPECT_EQ(t.out, "global_values: file 0 0 0 0 0 0 0, amplifier 0 0 9 0 0 0 0\n"
                     "program 12 ir_bypass: file 0, amplifier 1\n");
    EXPECT_EQ(t.err, "nimba-cli: values that differ: 2\n");
    const int32_t stores = amp.stores;
    ASSERT_EQ(run({L"restore", file}), cli_exit_ok) << t.err;
    EXPECT_EQ(t.out, "restored program 12 and the amplifier-wide values global_values\n");
    EXPECT_EQ(amp.stores, stores + 1);
    EXPECT_EQ(run({L"diff", file}), cli_exit_ok);
    EXPECT_EQ(t.out, "nothing differs\n");
    EXPECT_TRUE(t.err.empty()) << t.err;
}

// A restore says everything it changed; chosen programs leave the amplifier-wide values alone
// unless asked; a restore cut short (Ctrl+C, the amplifier unplugged) says which programs were
// written and stored before it stopped.
TEST(DevicePrograms, RestoreSaysWhatItChanged) {
    temp_folder dir;
    const std::wstring file = wide(dir / "programs.json");
    struct row {
        const char* what;
        cli_arguments args;
        std::function<void(cli_run&)> during; // at each progress line of the restore
        int code;
        std::string line; // out when done, else err
        bool tolex_back;  // the amplifier's tolex colour is the file's again
    };
    const auto after_two_stores = [](std::function<void(cli_run&)> then) {
        return [then](cli_run& t) {
            if (t.bus.amp.stores == 2) then(t);
        };
    };
    const row rows[] = {
        {"the whole file",
         {L"restore", file},
         {},
         cli_exit_ok,
         "restored programs 10 11 12 13 and the amplifier-wide values tolex_colour\n",
         true},
        {"one program",
         {L"restore", file, L"--program", L"12"},
         {},
         cli_exit_ok,
         "restored program 12\n",
         false},
        {"one program and the amplifier-wide values",
         {L"restore", file, L"--program", L"12", L"--amp-values"},
         {},
         cli_exit_ok,
         "restored program 12 and the amplifier-wide values tolex_colour\n",
         true},
        {"interrupted",
         {L"restore", file},
         after_two_stores([](cli_run& t) { t.headless->link->stop_requested = true; }),
         cli_exit_interrupted,
         "nimba-cli: interrupted: restore incomplete, restored programs 10 11 and the "
         "amplifier-wide values tolex_colour\n",
         true},
        {"unplugged",
         {L"restore", file},
         after_two_stores([](cli_run& t) { set_plugged(t.bus, false); }),
         cli_exit_failed,
         "nimba-cli: restore incomplete, restored programs 10 11 and the amplifier-wide values "
         "tolex_colour; program 12 sent, not read back: the amplifier's MIDI port is closed\n",
         true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        cli_run t;
        virtual_amp& amp = t.bus.amp;
        t.back_up_demo_amp(file);
        for (int32_t n = 10; n <= 13; ++n) amp.programs[n][8] ^= 1;
        const uint8_t saved_tolex = amp.tolex_colour;
        amp.tolex_colour = 4;
        t.console.progress_line = true;
        t.console.err = [&t, &r](std::string_view text) {
            if (text.find('\r') == std::string_view::npos) t.err += text;
            if (r.during && text.find("restore: programs") != std::string_view::npos) r.during(t);
        };
        EXPECT_EQ(t.run(r.args), r.code);
        EXPECT_EQ(r.code == cli_exit_ok ? t.out : t.err, r.line);
        EXPECT_EQ(amp.tolex_colour, r.tolex_back ? saved_tolex : 4);
    }
}

// What a restore cannot write back, a slot whose cabinet changed and a backup from another
// firmware: diff lists and counts them; restore warns of them before it sends anything, then
// writes the programs as the file holds them.
TEST(DevicePrograms, SlotNamesAndFirmwareAreComparedNotWritten) {
    temp_folder dir;
    const std::wstring file = wide(dir / "programs.json");
    const std::string slot_line = "slot_names[2]: file \"BLUES 1X12 ALNICO\", amplifier \"ROOM\"; "
                                  "a restore cannot write it back: a slot's name changes only "
                                  "with a cabinet upload";
    const std::string firmware_line =
        "firmware: file 1.5.0, amplifier 2.3.0; a restore cannot change the firmware";
    const std::string firmware_warning =
        "the backup is from firmware 1.5.0, the amplifier runs 2.3.0";
    struct row {
        const char* what;
        bool new_cabinet, new_firmware;
        std::vector<std::string> diff, warnings;
    };
    const row rows[] = {
        {"a slot's cabinet changed", true, false, {slot_line}, {slot_line}},
        {"another firmware", false, true, {firmware_line}, {firmware_warning}},
        {"both", true, true, {firmware_line, slot_line}, {firmware_warning, slot_line}},
        {"neither", false, false, {}, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        cli_run t;
        virtual_amp& amp = t.bus.amp;
        t.back_up_demo_amp(file);
        if (r.new_cabinet) amp.slots[2].name = "2_room";
        if (r.new_firmware) amp.firmware_version = 0x0203;
        amp.programs[12][8] ^= 1;

        EXPECT_EQ(t.run({L"diff", file}), cli_exit_failed);
        std::string diff;
        for (const std::string& line : r.diff) diff += line + "\n";
        EXPECT_EQ(t.out, diff + "program 12 ir_bypass: file 0, amplifier 1\n");
        EXPECT_EQ(t.err,
                  "nimba-cli: values that differ: " + std::to_string(r.diff.size() + 1) + "\n");

        size_t blocks_at_warning = SIZE_MAX;
        const size_t blocks = amp.blocks.size();
        t.console.err = [&t, &amp, &blocks_at_warning](std::string_view text) {
            t.err += text;
            blocks_at_warning = std::min(blocks_at_warning, amp.blocks.size());
        };
        t.start_again();
        ASSERT_EQ(t.run({L"restore", file}), cli_exit_ok) << t.err;
        std::string warnings;
        for (const std::string& line : r.warnings) warnings += "nimba-cli: warning: " + line + "\n";
        EXPECT_EQ(t.err, warnings);
        if (!r.warnings.empty()) {
            EXPECT_EQ(blocks_at_warning, blocks) << "warned after writing";
        }
        EXPECT_EQ(t.out, "restored program 12\n");
        EXPECT_EQ(amp.slots[2].name, r.new_cabinet ? "2_room" : "2_blues 1x12 alnico");
    }
}

TEST(DeviceFailures, NoDeviceIsDecidedAfterTheSearchTime) {
    cli_run t;
    set_plugged(t.bus, false);
    t.env.search_ms = 1500;
    EXPECT_EQ(t.run({L"info"}), cli_exit_no_device);
    EXPECT_GE(t.clock.now_ms(), 1500);
    EXPECT_LT(t.clock.now_ms(), 1600);
}

// An interrupt during a firmware transfer stops it where it is: no close, no restart message.
TEST(DeviceFailures, InterruptStopsTheTransfer) {
    temp_folder dir;
    test::write_file(dir / "fw.bin", firmware_with_version(0x0200));
    cli_run t;
    t.console.progress_line = true;
    t.console.err = [&t](std::string_view text) {
        t.err += text;
        if (text.find("update-firmware: 40%") != std::string_view::npos)
            t.headless->link->stop_requested = true;
    };
    EXPECT_EQ(t.run({L"update-firmware", wide(dir / "fw.bin")}), cli_exit_interrupted);
    EXPECT_NE(t.err.find("nimba-cli: interrupted\n"), std::string::npos);
    EXPECT_LT(t.bus.amp.received[0x07], firmware_chunk_count);
    EXPECT_EQ(t.bus.amp.received[0x09], 0);
    EXPECT_EQ(t.bus.amp.link_resets, 0);
    EXPECT_EQ(t.bus.amp.firmware_updates, 0);
}

} // namespace
} // namespace nimba
