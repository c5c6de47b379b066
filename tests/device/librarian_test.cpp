// The librarian against the virtual amplifier on virtual time: a backup, restore and diff round
// trip, the reply faults a walk must survive or report, and the backup file's checks.
#include "device/librarian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "device/protocol.h"
#include "emulator/demo_amp.h"
#include "loopback_link.h"
#include "tests/core/temp_files.h"

namespace nimba {
namespace {

// The demo's amplifier, whose programs all differ, on program 3 with the editor, its version
// and slot names read.
struct librarian_link : test::loopback_link {
    librarian_link() {
        seed_demo_amp(bus.amp);
        bus.amp.global_values = {1, 2, 3, 4, 5, 6, 7};
        bus.amp.program = 3;
        state->program = 3;
        find_and_open_ports(*link);
        EXPECT_TRUE(reaches_amp());
        for (int k = 0; k < slot_count; ++k)
            if (request_slot_name(*link, k)) wait_for_reply(*link, code_slot_name);
    }
    program_values amp_program_of(int32_t n) const {
        const amp_program& p = bus.amp.programs[n];
        program_values values;
        std::copy(p.begin(), p.end(), values.words.begin());
        return values;
    }
    std::vector<backup_difference> differences_from(const program_backup& file) {
        EXPECT_EQ(read_all_programs(*link).status, walk_status::done);
        return backup_differences(file, backup_of_state(*state, {}));
    }
};

TEST(Librarian, BackupThenRestoreLeavesNothingThatDiffers) {
    librarian_link t;
    virtual_amp& amp = t.bus.amp;
    ASSERT_EQ(read_all_programs(*t.link).status, walk_status::done);
    EXPECT_EQ(t.state->progress, progress_programs + 100);
    ASSERT_EQ(return_to_current_program(*t.link).status, walk_status::done);
    EXPECT_EQ(amp.program, 3);
    EXPECT_EQ(t.state->progress, progress_idle);
    const program_backup saved = backup_of_state(*t.state, utc_time_text());
    for (int32_t n : {0, 77, 127}) EXPECT_EQ(saved.programs[n], t.amp_program_of(n)) << n;
    EXPECT_EQ(saved.slot_names[1], "BRIT 4X12 GB");

    const backup_load loaded = backup_from_json(backup_json(saved));
    ASSERT_TRUE(loaded.backup) << loaded.error;
    EXPECT_TRUE(backup_differences(*loaded.backup, saved).empty());
    EXPECT_EQ(loaded.backup->saved, saved.saved);
    EXPECT_EQ(loaded.backup->slot_names, saved.slot_names);
    EXPECT_EQ(loaded.backup->firmware, 0x0105);

    amp.programs[5][4] = (amp.programs[5][4] + 1) % 3;
    amp.programs[90] = {5, 5, 5, 5, 2, 2, 2, 2, 1};
    amp.tolex_colour = 4;
    EXPECT_EQ(t.differences_from(saved).size(), 6u); // tolex, 5's channel, 90's four values

    // One program chosen: that one is written, stored and read back, and nothing else; the
    // amplifier-wide values stay as the amplifier has them.
    const size_t blocks = amp.blocks.size();
    restore_report report;
    ASSERT_EQ(restore_programs(*t.link, saved, {{5}, false}, report).status, walk_status::done);
    EXPECT_EQ(report.stored, std::vector<int32_t>{5});
    EXPECT_TRUE(report.amp_values.empty());
    EXPECT_EQ(amp.blocks.size(), blocks + 1);
    EXPECT_EQ(amp.stores, 1);
    EXPECT_EQ(amp.stored[5], amp.programs[5]);
    EXPECT_EQ(amp.tolex_colour, 4);
    EXPECT_EQ(t.state->program, 3);
    EXPECT_EQ(restore_report_text(report), "program 5");

    EXPECT_EQ(t.differences_from(saved).size(), 5u);
    report = {};
    ASSERT_EQ(restore_programs(*t.link, saved, {}, report).status, walk_status::done);
    EXPECT_EQ(report.stored, std::vector<int32_t>{90});
    EXPECT_EQ(report.amp_values, std::vector<std::string>{"tolex_colour"});
    EXPECT_EQ(restore_report_text(report), "program 90 and the amplifier-wide values tolex_colour");
    EXPECT_EQ(amp.tolex_colour, 1);
    EXPECT_TRUE(t.differences_from(saved).empty());
    ASSERT_EQ(return_to_current_program(*t.link).status, walk_status::done);
    EXPECT_EQ(amp.program, 3);
}

TEST(Librarian, ReadingAllProgramsThroughReplyFaults) {
    struct row {
        const char* what;
        amp_faults faults;
        walk_status status;
        int32_t program;  // the one that failed
        int32_t requests; // requests 02 sent
        int64_t most_ms;  // virtual time the walk may take
    };
    const row rows[] = {
        // Each change is first answered about the program before: every program is asked
        // twice, the second time at once.
        {"replies about the previous program",
         {.stale_program_replies = 1},
         walk_status::done,
         -1,
         2 * program_count,
         2 * program_count * link_poll_step_ms},
        // A lost reply costs one reply budget; with the replies to repeated requests counted,
        // every second program loses one.
        {"every third reply lost",
         {.drop_every = 3},
         walk_status::done,
         -1,
         -1,
         (program_count / 2 + 1) * (reply_budget_ms + 2 * link_poll_step_ms) +
             program_count * link_poll_step_ms},
        {"program 77 never answers",
         {.mute_program = 77},
         walk_status::no_answer,
         77,
         77 + 3,
         3 * reply_budget_ms + 77 * link_poll_step_ms},
        // An amplifier that never leaves the program it was on: program 0 is given up after a
        // bounded number of requests, without waiting out a reply budget.
        {"always about the program before",
         {.stale_program_replies = 1000},
         walk_status::no_answer,
         0,
         other_program_repeats + program_request_retries + 1,
         (other_program_repeats + program_request_retries + 1) * link_poll_step_ms},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        librarian_link t;
        t.bus.amp.faults = r.faults;
        t.bus.amp.faults.delay_ms = 0;
        const int64_t start = t.clock.now_ms();
        const walk_result result = read_all_programs(*t.link);
        EXPECT_LE(t.clock.now_ms() - start, r.most_ms);
        EXPECT_EQ(result.status, r.status);
        EXPECT_EQ(result.program, r.program);
        if (r.requests >= 0) {
            EXPECT_EQ(t.bus.amp.received[code_program], r.requests);
        }
        if (r.status != walk_status::done) continue;
        for (int32_t n = 0; n < program_count; ++n)
            ASSERT_EQ(program_values_of(*t.state, n), t.amp_program_of(n)) << n;
    }
}

TEST(BackupFile, RefusesAMalformedFileNamingItsField) {
    librarian_link t;
    ASSERT_EQ(read_all_programs(*t.link).status, walk_status::done);
    const nlohmann::json good =
        nlohmann::json::parse(backup_json(backup_of_state(*t.state, "2026-01-31T12:00:00Z")));
    using edit = std::function<void(nlohmann::json&)>;
    struct row {
        const char* what;
        edit change;
        std::string error; // empty: loads
    };
    const row rows[] = {
        {"unknown fields are ignored", [](auto& j) { j["comment"] = "mine"; }, ""},
        {"newer version", [](auto& j) { j["version"] = 2; }, "version: 2 is newer"},
        {"another format", [](auto& j) { j["format"] = "presets"; }, "format: not"},
        {"no programs", [](auto& j) { j.erase("programs"); }, "programs: missing"},
        {"127 programs", [](auto& j) { j["programs"].erase(127); }, "programs: not a list of 128"},
        {"channel 3", [](auto& j) { j["programs"][5]["channel"] = 3; },
         "programs[5].channel: 3 is outside 0..2"},
        {"slot as text", [](auto& j) { j["programs"][7]["ir_slot"][2] = "2"; },
         "programs[7].ir_slot[2]: not a whole number"},
        {"bypass 1.5", [](auto& j) { j["programs"][0]["ir_bypass"] = 1.5; },
         "programs[0].ir_bypass: not a whole number"},
        {"three modes missing", [](auto& j) { j["programs"][9].erase("channel_mode"); },
         "programs[9].channel_mode: missing"},
        {"midi channel 17", [](auto& j) { j["midi_channel"] = 17; },
         "midi_channel: 17 is outside 0..16"},
        {"tolex huge", [](auto& j) { j["tolex_colour"] = 1ll << 40; }, "tolex_colour: too large"},
        {"global 128", [](auto& j) { j["global_values"][6] = 128; },
         "global_values[6]: 128 is outside 0..127"},
        {"six globals", [](auto& j) { j["global_values"].erase(0); }, "global_values: not a list"},
        {"five names", [](auto& j) { j["slot_names"].erase(0); }, "slot_names: not a list of 6"},
        {"firmware", [](auto& j) { j["firmware"] = "1.x"; }, "firmware: not a version"},
        {"saved", [](auto& j) { j["saved"] = "yesterday"; }, "saved: not a UTC time"},
        {"a list", [](auto& j) { j = nlohmann::json::array(); }, "file: not a JSON object"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        nlohmann::json changed = good;
        r.change(changed);
        const backup_load load = backup_from_json(changed.dump());
        EXPECT_EQ(load.backup.has_value(), r.error.empty());
        EXPECT_TRUE(load.error.starts_with(r.error)) << load.error;
    }
    EXPECT_EQ(backup_from_json("{\"format\":").error, "file: not JSON");
}

// What a JSON object cannot show: a field given twice (the parser would keep the last), a time
// that cannot be, and anything after the file's value, a NUL byte included.
TEST(BackupFile, RefusesRepeatedFieldsImpossibleTimesAndTrailingData) {
    program_backup backup;
    backup.saved = "2026-01-31T12:00:00Z";
    const std::string good = backup_json(backup);
    const auto replaced = [&good](std::string_view from, std::string_view to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const auto saved = [&](std::string_view time) {
        return replaced("2026-01-31T12:00:00Z", time);
    };
    struct row {
        std::string text;
        std::string error; // empty: loads
    };
    const row rows[] = {
        {replaced("\"version\": 1", "\"version\": 9, \"version\": 1"),
         "version: given more than once"},
        {replaced("\"programs\": [", "\"programs\": [], \"programs\": ["),
         "programs: given more than once"},
        {replaced("\"ir_bypass\": 0\n  }\n ]", "\"ir_bypass\": 0, \"channel\": 2\n  }\n ]"),
         "programs[127].channel: given more than once"},
        {replaced("{", "{\"comment\": 1, \"comment\": 2,"), "comment: given more than once"},
        {saved("2026-13-45T99:99:99Z"), "saved: \"2026-13-45T99:99:99Z\" has no month 13"},
        {saved("2026-00-10T12:00:00Z"), "saved: \"2026-00-10T12:00:00Z\" has no month 0"},
        {saved("2026-01-32T12:00:00Z"), "saved: \"2026-01-32T12:00:00Z\" has no such day"},
        {saved("2026-04-31T12:00:00Z"), "saved: \"2026-04-31T12:00:00Z\" has no such day"},
        {saved("2026-01-00T12:00:00Z"), "saved: \"2026-01-00T12:00:00Z\" has no such day"},
        {saved("2026-02-29T12:00:00Z"), "saved: \"2026-02-29T12:00:00Z\" has no such day"},
        {saved("2100-02-29T12:00:00Z"), "saved: \"2100-02-29T12:00:00Z\" has no such day"},
        {saved("2028-02-29T23:59:59Z"), ""},
        {saved("2000-02-29T00:00:00Z"), ""},
        {saved("2026-01-31T24:00:00Z"), "saved: \"2026-01-31T24:00:00Z\" has no such time"},
        {saved("2026-01-31T12:60:00Z"), "saved: \"2026-01-31T12:60:00Z\" has no such time"},
        {saved("2026-01-31T12:00:60Z"), "saved: \"2026-01-31T12:00:60Z\" has no such time"},
        {saved("2026-1-31T12:00:00Z"), "saved: not a UTC time"},
        {good + std::string(1, '\0'), "file: trailing data at byte " + std::to_string(good.size())},
        {good + " \t\r\n", ""},
        {"\xEF\xBB\xBF" + good + "x",
         "file: trailing data at byte " + std::to_string(good.size() + 3)},
        {good + "\n{}", "file: trailing data at byte " + std::to_string(good.size() + 1)},
        {good + "\"}\"", "file: trailing data at byte " + std::to_string(good.size())},
        {replaced("}\n ]", std::string("}\0\n ]")), "file: not JSON"},
        {replaced("\"format\"", std::string("\"for\0mat\"")), "file: not JSON"},
        {std::string(4000, '[') + std::string(4000, ']'), "file: nested more than 8 levels deep"},
        {"", "file: not JSON"},
        {"{\"a\": [1, 2}", "file: not JSON"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.error);
        const backup_load load = backup_from_json(r.text);
        EXPECT_EQ(load.backup.has_value(), r.error.empty()) << load.error;
        EXPECT_TRUE(load.error.starts_with(r.error)) << load.error;
    }
}

// Values the amplifier reports outside their ranges: a backup holds each as it reads (the
// nearest end of its range), is written and loads again, while the parameter block sent back
// carries the amplifier's own value.
TEST(BackupFile, ValuesOutOfRangeFromTheAmpAreBackedUpAsTheyRead) {
    struct row {
        amp_value value;
        size_t index;
        uint8_t raw;
        int32_t backed_up;
    };
    const row rows[] = {
        {amp_value::ir_bypass, 0, 2, 1},        {amp_value::ir_bypass, 0, 127, 1},
        {amp_value::channel, 0, 3, 2},          {amp_value::channel_mode, 2, 9, 2},
        {amp_value::ir_slot, 3, 6, 5},          {amp_value::tolex_colour, 0, 9, 5},
        {amp_value::midi_channel, 0, 0x11, 16}, {amp_value::ir_bypass, 0, 1, 1},
    };
    for (const row& r : rows) {
        const amp_value_row& declared = row_of(r.value);
        SCOPED_TRACE(std::string(declared.key) + " " + std::to_string(r.raw));
        librarian_link t;
        if (r.value == amp_value::midi_channel)
            t.bus.amp.midi_channel = r.raw;
        else if (r.value == amp_value::tolex_colour)
            t.bus.amp.tolex_colour = r.raw;
        else
            t.bus.amp.programs[0][declared.word + r.index] = r.raw;
        ASSERT_EQ(read_program_number(*t.link, 0).status, walk_status::done);
        const program_backup backup = backup_of_state(*t.state, utc_time_text());
        const auto words = is_program_value(declared) ? words_of(backup.programs[0], r.value)
                                                      : words_of(backup.globals, r.value);
        EXPECT_EQ(words[r.index], r.backed_up);

        test::temp_folder dir;
        const std::wstring file = test::wide(dir / "programs.json");
        EXPECT_EQ(write_backup_file(file, backup), std::nullopt);
        const backup_load load = read_backup_file(file);
        ASSERT_TRUE(load.backup) << load.error;
        EXPECT_TRUE(backup_differences(*load.backup, backup).empty());

        ASSERT_TRUE(send_parameter_block(*t.link, 0));
        EXPECT_EQ(t.bus.amp.blocks.back()[declared.byte + r.index], r.raw);
    }
}

// The folder is made on the first backup; the oldest go once there are more than twenty.
TEST(BackupFolder, KeepsTheNewestTwenty) {
    test::temp_folder dir;
    const std::wstring folder = test::wide(dir / "made" / "here");
    program_backup backup;
    backup.firmware = 0x0105;
    for (int day = 1; day <= 22; ++day) {
        backup.saved =
            "2026-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "T12:34:56Z";
        const folder_backup written = write_backup_into_folder(folder, backup);
        ASSERT_TRUE(written.error.empty()) << written.error;
        EXPECT_TRUE(read_backup_file(written.path).backup);
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "made" / "here"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), kept_backups);
    EXPECT_EQ(names.front(), "programs-2026-01-03-123456-firmware-1.5.0.json");
    EXPECT_EQ(names.back(), "programs-2026-01-22-123456-firmware-1.5.0.json");
}

// The rotation deletes only the editor's own backups, oldest by their modification time, and
// never the one just written: here twenty later-named files written "tomorrow" (the clock was
// set back since) and a user's files and links that look like backups.
TEST(BackupFolder, RotatesOnlyItsOwnFilesAndNeverTheNewest) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "the browser edition keeps no backup folder, and node's file system under "
                    "Emscripten does not keep the modification times this test sets";
#endif
    namespace fs = std::filesystem;
    test::temp_folder dir;
    const auto tomorrow = fs::file_time_type::clock::now() + std::chrono::hours(24);
    for (int day = 1; day <= 21; ++day) {
        const fs::path file = dir / ("programs-2030-01-" + std::string(day < 10 ? "0" : "") +
                                     std::to_string(day) + "-120000-firmware-1.5.0.json");
        test::write_file(file, {'{', '}'});
        // The later the name, the older the file: the oldest two are days 20 and 21.
        fs::last_write_time(file, tomorrow - std::chrono::minutes(day));
    }
    const std::vector<std::string> users = {"programs-2025-gig-night.json",
                                            "programs-2026-01-01-000000-firmware-1.5.0.json.bak"};
    for (const std::string& name : users) test::write_file(dir / name, {'x'});
    std::error_code no_links;
    fs::create_symlink(dir / users[0], dir / "programs-2001-01-01-000000-firmware-1.5.0.json",
                       no_links);

    program_backup backup;
    backup.firmware = 0x0105;
    backup.saved = "2026-01-05T12:34:56Z";
    const folder_backup written = write_backup_into_folder(test::wide(dir.path), backup);
    ASSERT_TRUE(written.error.empty()) << written.error;
    EXPECT_TRUE(read_backup_file(written.path).backup) << "the new backup was deleted";
    for (const std::string& name : users) EXPECT_TRUE(fs::exists(dir / name)) << name;
    if (!no_links) {
        EXPECT_TRUE(fs::is_symlink(dir / "programs-2001-01-01-000000-firmware-1.5.0.json"));
    }
    EXPECT_TRUE(fs::exists(dir / "programs-2030-01-01-120000-firmware-1.5.0.json"));
    EXPECT_TRUE(fs::exists(dir / "programs-2030-01-19-120000-firmware-1.5.0.json"));
    EXPECT_FALSE(fs::exists(dir / "programs-2030-01-20-120000-firmware-1.5.0.json"));
    EXPECT_FALSE(fs::exists(dir / "programs-2030-01-21-120000-firmware-1.5.0.json"));
}

} // namespace
} // namespace nimba
