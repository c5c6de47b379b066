// BACKUP and RESTORE as the worker carries them out for the window, against the virtual
// amplifier on virtual time: what is read, asked, written and told, and what is never sent.
#include "device/librarian_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "device/librarian.h"
#include "emulator/demo_amp.h"
#include "tests/core/temp_files.h"
#include "worker_fixture.h"

namespace nimba {
namespace {

constexpr uint8_t code_block = 0x01, code_program = 0x02, code_store = 0x0A;

// The demo's amplifier, connected, with a picker that answers the path the test chose and
// remembers what it was asked for.
struct librarian_window : test::worker_fixture {
    test::temp_folder folder;
    std::wstring answer;
    std::vector<pick_mode> asked;

    librarian_window() {
        seed_demo_amp(bus.amp);
        services.pick_backup_path = [this](pick_mode mode) {
            asked.push_back(mode);
            return answer;
        };
        cycles(1);
        EXPECT_EQ(state->link_status, link_connected);
    }
    // Posts the command, runs the cycle that carries it out, and clears what was sent before.
    void run(int32_t code, std::wstring path = {}) {
        answer = std::move(path);
        sent.clear();
        bus.amp.blocks.clear();
        post(code);
        cycles(1);
    }
    std::string told() const { return latest_outcome(state->outcome).latest.text; }
    std::string question() const { return restore_question_text(*state); }
    // The programs whose parameter blocks the amplifier took since the last run().
    std::vector<int32_t> programs_written() const {
        std::vector<int32_t> written;
        for (const auto& block : bus.amp.blocks)
            written.push_back(block[3]); // F0 00 01 <program> ...
        return written;
    }
    std::wstring backed_up(const std::string& name) {
        const std::wstring path = test::wide(folder / name);
        run(command_backup, path);
        EXPECT_EQ(told(), "backup written to " + quoted_path(path));
        return path;
    }
};

TEST(LibrarianCommands, BackupWritesEveryProgramIntoTheChosenFile) {
    librarian_window w;
    const std::wstring path = w.backed_up("mine.json");
    EXPECT_EQ(w.asked, std::vector<pick_mode>{pick_mode::backup_save});
    // Every program requested once, then the one on screen again; nothing written.
    EXPECT_EQ(w.sent_with_code(code_program).size(), size_t{program_count + 1});
    EXPECT_TRUE(w.sent_with_code(code_block).empty());
    for (const auto& m : w.sent) EXPECT_EQ(m.screen.link_status, link_busy);
    EXPECT_EQ(w.state->link_status, link_connected);
    EXPECT_EQ(w.state->progress, progress_idle);
    EXPECT_EQ(w.bus.amp.program, 0);

    const backup_load loaded = read_backup_file(path);
    ASSERT_TRUE(loaded.backup) << loaded.error;
    for (int32_t n : {0, 64, 127})
        EXPECT_EQ(loaded.backup->programs[n], program_values_of(*w.state, n)) << n;
}

TEST(LibrarianCommands, NothingIsSentWhenThereIsNoFileToUse) {
    struct row {
        const char* what;
        int32_t command;
        std::function<std::wstring(librarian_window&)> path;
        const char* told; // the start of the outcome; "" for none
    };
    const row rows[] = {
        {"backup cancelled in the picker", command_backup,
         [](librarian_window&) { return std::wstring(); }, ""},
        {"backup into a folder: refused before any program is read", command_backup,
         [](librarian_window& w) { return test::wide(w.folder.path); }, "backup not started: "},
        {"restore cancelled in the picker", command_restore,
         [](librarian_window&) { return std::wstring(); }, ""},
        {"restore of a file that is no backup", command_restore,
         [](librarian_window& w) {
             test::write_file(w.folder / "notes.json", {'{', '}'});
             return test::wide(w.folder / "notes.json");
         },
         "backup file refused: format: missing"},
        {"restore of a file that does not exist", command_restore,
         [](librarian_window& w) { return test::wide(w.folder / "gone.json"); },
         "backup file refused: file: "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        librarian_window w;
        const uint32_t before = outcome_sequence(w.state->outcome);
        w.run(r.command, r.path(w));
        EXPECT_TRUE(w.sent.empty());
        if (*r.told == 0)
            EXPECT_EQ(outcome_sequence(w.state->outcome), before);
        else
            EXPECT_TRUE(w.told().starts_with(r.told)) << w.told();
        EXPECT_EQ(w.state->question.asked, 0);
        EXPECT_EQ(w.state->link_status, link_connected);
    }
}

TEST(LibrarianCommands, RestoreAsksOnceThenWritesOnlyWhatDiffersAndReadsItBack) {
    librarian_window w;
    virtual_amp& amp = w.bus.amp;
    const std::wstring path = w.backed_up("before.json");
    amp.programs[5][8] ^= 1;
    amp.programs[90][4] = (amp.programs[90][4] + 1) % 3;
    amp.tolex_colour = (amp.tolex_colour + 1) % 6;

    // Loaded, compared with every program read, asked about: nothing written yet.
    w.run(command_restore, path);
    EXPECT_EQ(w.asked.back(), pick_mode::backup_open);
    EXPECT_EQ(w.sent_with_code(code_program).size(), size_t{program_count + 1});
    EXPECT_TRUE(w.programs_written().empty());
    EXPECT_EQ(amp.stores, 0);
    EXPECT_EQ(w.state->question.asked, 1);
    EXPECT_EQ(w.question(),
              "restore 2 programs (5 90) and the amplifier-wide values tolex_colour?");
    EXPECT_EQ(w.state->link_status, link_connected);

    w.run(command_restore_confirm);
    EXPECT_EQ(w.programs_written(), (std::vector<int32_t>{5, 90}));
    EXPECT_EQ(amp.stores, 2);
    EXPECT_EQ(w.sent_with_code(code_store).size(), 2u);
    EXPECT_EQ(w.told(), "restored programs 5 90 and the amplifier-wide values tolex_colour");
    EXPECT_EQ(w.state->question.asked, 0);
    EXPECT_EQ(w.state->link_status, link_connected);
    EXPECT_EQ(amp.program, 0); // back on the program the screen shows

    // A second confirmation finds no question: nothing is sent.
    w.run(command_restore_confirm);
    EXPECT_TRUE(w.sent.empty());
    // The amplifier now matches the file: a restore has nothing to write and asks nothing.
    w.run(command_restore, path);
    EXPECT_TRUE(w.programs_written().empty());
    EXPECT_EQ(w.state->question.asked, 0);
    EXPECT_EQ(w.told(), "nothing differs, nothing written");
}

TEST(LibrarianCommands, AQuestionCancelledOrWithdrawnWritesNothing) {
    struct row {
        const char* what;
        std::function<void(librarian_window&)> between; // after the question, before "yes"
        const char* told;                               // the last outcome
    };
    const row rows[] = {
        {"cancelled", [](librarian_window& w) { w.run(command_restore_cancel); },
         "restore cancelled, nothing written"},
        {"BACKUP pressed instead",
         [](librarian_window& w) { w.run(command_backup, test::wide(w.folder / "again.json")); },
         nullptr},
        {"the amplifier went away and came back",
         [](librarian_window& w) {
             set_plugged(w.bus, false);
             w.cycles(2);
             set_plugged(w.bus, true);
             w.cycles(1);
         },
         "the amplifier's MIDI ports went away"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        librarian_window w;
        const std::wstring path = w.backed_up("before.json");
        w.bus.amp.programs[7][8] ^= 1;
        w.run(command_restore, path);
        ASSERT_EQ(w.state->question.asked, 1);
        r.between(w);
        EXPECT_EQ(w.state->question.asked, 0);
        EXPECT_EQ(w.question(), "");
        if (r.told) {
            EXPECT_EQ(w.told(), r.told);
        }
        w.run(command_restore_confirm);
        EXPECT_TRUE(w.programs_written().empty());
        EXPECT_EQ(w.bus.amp.stores, 0);
    }
}

// Slot names and the firmware cannot be written back: a restore that differs only there says
// so and writes nothing.
TEST(LibrarianCommands, OnlySlotNamesDifferNothingIsWrittenAndItIsSaid) {
    librarian_window w;
    const std::wstring path = w.backed_up("before.json");
    backup_load file = read_backup_file(path);
    ASSERT_TRUE(file.backup);
    file.backup->slot_names[2] = "SOMETHING ELSE";
    file.backup->firmware = 0x0104;
    ASSERT_FALSE(write_backup_file(path, *file.backup));
    w.run(command_restore, path);
    EXPECT_TRUE(w.programs_written().empty());
    EXPECT_EQ(w.state->question.asked, 0);
    EXPECT_EQ(w.told(), "nothing written: the name of slot 3 differs and cannot be written back; "
                        "the backup was saved from firmware 1.4.0, the amplifier runs 1.5.0");
}

// The backups made before a firmware update are ordinary backup files: RESTORE takes them.
TEST(LibrarianCommands, RestoreTakesTheBackupMadeBeforeAnUpdate) {
    librarian_window w;
    ASSERT_EQ(read_all_programs(*w.link).status, walk_status::done);
    const folder_backup automatic = write_backup_into_folder(
        test::wide(w.folder.path), backup_of_state(*w.state, utc_time_text()));
    ASSERT_EQ(automatic.error, "");
    w.bus.amp.programs[127][0] = (w.bus.amp.programs[127][0] + 1) % 6;
    w.run(command_restore, automatic.path);
    EXPECT_EQ(w.question(), "restore 1 program (127)?");
    w.run(command_restore_confirm);
    EXPECT_EQ(w.programs_written(), std::vector<int32_t>{127});
    EXPECT_EQ(w.told(), "restored program 127");
}

} // namespace
} // namespace nimba
