// The device-link worker against the virtual amplifier: the connect sequence, the commands,
// departure and return of the amplifier, the link reset, message backlogs, and the real thread
// started and stopped as the window does it.
#include "device/worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "device/protocol.h"
#include "worker_fixture.h"

namespace nimba {
namespace {

using test::bytes;
using test::worker_fixture;

constexpr uint8_t code_block = 0x01, code_program = 0x02, code_slot = 0x04, code_store = 0x0A,
                  code_reset = 0x0C, code_version = 0x0B;

void set_up_amp(virtual_amp& amp) {
    amp.firmware_version = 0x0102;
    amp.midi_channel = 3;
    amp.tolex_colour = 4;
    amp.programs[0] = {1, 2, 3, 4, 1, 2, 1, 0, 1};
    amp.global_values = {11, 12, 13, 14, 15, 16, 17};
    const char* names[] = {"0_CLEAN", "lead", "Bass", "x", "4_AMBIENT", "dark/room"};
    for (int k = 0; k < 6; ++k) amp.slots[k].name = names[k];
}

// A fixture whose amplifier answered a first connect sequence.
struct connected : worker_fixture {
    connected() {
        set_up_amp(bus.amp);
        cycles(1);
    }
};

TEST(WorkerConnect, ReadsVersionProgramAndSlotNames) {
    worker_fixture f;
    set_up_amp(f.bus.amp);
    ASSERT_EQ(f.state->link_status, link_no_device);
    f.cycles(1);

    EXPECT_EQ(f.state->device_firmware_version, 0x0102);
    const program_record& p0 = f.state->programs[0];
    EXPECT_EQ(p0.loaded, 1);
    EXPECT_EQ(p0.ir_slot[3], 4);
    EXPECT_EQ(p0.ir_bypass, 1);
    EXPECT_EQ(p0.global_values[6], 17);
    EXPECT_EQ(f.state->midi_channel, 3);
    EXPECT_EQ(f.state->tolex_colour, 4);
    const wchar_t* expected[] = {L"CLEAN", L"LEAD", L"BASS", L"X", L"AMBIENT", L"DARK/ROOM"};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(slot_name(*f.state, k), expected[k]) << k;

    EXPECT_EQ(f.codes_sent(),
              (std::vector<uint8_t>{code_version, code_program, code_slot, code_slot, code_slot,
                                    code_slot, code_slot, code_slot}));
    // Every request went out while the screen showed "busy, reading".
    for (const auto& m : f.sent) {
        EXPECT_EQ(m.screen.link_status, link_busy);
        EXPECT_EQ(m.screen.progress, progress_reading);
    }
    ASSERT_FALSE(f.repaints.empty());
    EXPECT_EQ(f.repaints.front().link_status, link_busy);
    EXPECT_EQ(f.repaints.back().link_status, link_connected);
    EXPECT_EQ(f.repaints.back().progress, progress_idle);
    EXPECT_EQ(f.link->failure_count, 0);
    EXPECT_FALSE(f.link->resync_pending);
}

TEST(WorkerConnect, AbsentAmplifierLeavesEverythingAlone) {
    worker_fixture f;
    set_plugged(f.bus, false);
    f.state->program = 9;
    f.post(command_store);
    f.cycles(50);
    EXPECT_EQ(f.state->link_status, link_no_device);
    EXPECT_EQ(f.state->program, 9) << "reset although nothing changed";
    EXPECT_EQ(f.pending(), 1u) << "a command was taken with no amplifier";
    EXPECT_TRUE(f.repaints.empty());
    EXPECT_TRUE(f.sent.empty());
    EXPECT_EQ(f.clock.now_ms(), 50 * 5);
}

// Ports that cannot be made leave the worker without a device; a MIDI system that refuses to
// serve (a browser without Web MIDI) has its reason shown, any other failure shows none.
TEST(WorkerConnect, PortsThatCannotBeMadeAreAnOutcome) {
    const struct {
        const char* name;
        std::function<std::unique_ptr<midi_in_port>(const std::string&, unsigned)> make_input;
        const char* text;
    } cases[] = {
        {"refused",
         [](const std::string&, unsigned) -> std::unique_ptr<midi_in_port> {
             throw midi_system_refusal{"no Web MIDI here"};
         },
         "the MIDI system cannot be opened: no Web MIDI here"},
        {"failed",
         [](const std::string&, unsigned) -> std::unique_ptr<midi_in_port> {
             throw std::runtime_error("no sequencer");
         },
         "the MIDI system cannot be opened"},
        {"none", [](const std::string&, unsigned) { return std::unique_ptr<midi_in_port>(); },
         "the MIDI system cannot be opened"},
    };
    for (const auto& c : cases) {
        test::virtual_link v;
        worker_services services;
        services.ports.make_input = c.make_input;
        services.ports.make_output = [](const std::string&) {
            return std::unique_ptr<midi_out_port>();
        };
        worker_locals locals;
        open_worker_ports(*v.link, services, locals);
        EXPECT_EQ(v.link->midi_in, nullptr) << c.name;
        EXPECT_EQ(latest_outcome(v.state->outcome).latest.text, c.text) << c.name;
        worker_cycle(*v.link, services, locals);
        EXPECT_EQ(v.state->link_status, link_no_device) << c.name;
    }
}

TEST(WorkerCommands, SendBlockSendsTheCurrentProgramsExactBlock) {
    connected f;
    f.state->program = 0;
    f.state->midi_channel = 0x25; // five bits travel
    f.state->tolex_colour = 2;
    program_record& p = f.state->programs[0];
    p.ir_slot[0] = 5;
    p.channel = 2;
    p.channel_mode[1] = 2;
    p.ir_bypass = 0;
    const size_t before = f.sent.size();
    f.post(command_send_block);
    f.cycles(1);

    EXPECT_EQ(f.pending(), 0u);
    ASSERT_EQ(f.sent.size(), before + 1);
    EXPECT_EQ(f.sent.back().message,
              (bytes{0xF0, 0x00, 0x01, 0x00, 0x05, 5,  2,  3,  4,  2,  2,   2,
                     0,    0,    2,    11,   12,   13, 14, 15, 16, 17, 0xF7}));
    EXPECT_EQ(f.bus.amp.blocks.size(), 1u);
}

TEST(WorkerCommands, ReadProgramLeavesTheLinkConnectedEvenAfterATimeout) {
    struct case_t {
        const char* name;
        bool silent;
        int32_t failures;
        int32_t loaded;
    };
    for (const case_t c : {case_t{"answered", false, 0, 1}, case_t{"silent", true, 1, 0}}) {
        SCOPED_TRACE(c.name);
        connected f;
        f.bus.amp.programs[7] = {5, 5, 5, 5, 0, 0, 0, 0, 0};
        f.bus.amp.faults.silent = c.silent;
        f.state->program = 7;
        f.post(command_read_program);
        const int64_t start = f.clock.now_ms();
        f.cycles(1);
        EXPECT_EQ(f.pending(), 0u);
        EXPECT_EQ(f.state->link_status, link_connected);
        EXPECT_EQ(f.link->failure_count, c.failures);
        EXPECT_EQ(f.state->programs[7].loaded, c.loaded);
        if (c.silent) {
            EXPECT_GE(f.clock.now_ms() - start, reply_budget_ms);
        }
        EXPECT_EQ(f.repaints.back().link_status, link_connected);
    }
}

TEST(WorkerCommands, StoreShowsStoringForHalfASecond) {
    // In the cycle of a link reset the ports have just been closed: nothing can be sent, yet
    // the store is taken and shown.
    for (const bool in_link_reset : {false, true}) {
        SCOPED_TRACE(in_link_reset ? "in a link reset" : "connected");
        connected f;
        if (in_link_reset) f.link->failure_count = 2;
        f.repaints.clear();
        f.post(command_store);
        f.cycles(1);
        EXPECT_EQ(f.bus.amp.stores, in_link_reset ? 0 : 1);
        EXPECT_EQ(f.sent_with_code(code_store).size(), in_link_reset ? 0u : 1u);
        ASSERT_EQ(f.repaints.size(), 2u);
        EXPECT_EQ(f.repaints[0].link_status, link_busy);
        EXPECT_EQ(f.repaints[0].progress, progress_storing);
        EXPECT_EQ(f.repaints[1].progress, progress_idle);
        EXPECT_EQ(f.repaints[1].at_ms - f.repaints[0].at_ms, 500);
        EXPECT_EQ(f.state->link_status, link_connected);
        EXPECT_EQ(f.state->progress, progress_idle);
    }
}

// Codes 4..11 go to the cabinet operations; any other code is taken and told as an outcome.
TEST(WorkerCommands, CabinetCodesGoToTheCabinetOperationsOthersAreTold) {
    struct case_t {
        int32_t code;
        bool handed_on;
    };
    const case_t cases[] = {{4, true},   {9, true},   {10, true},    {11, true},
                            {16, false}, {-1, false}, {0x7F, false}, {1000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        connected f;
        int32_t handed = 0;
        uint32_t pending_when_called = 99;
        f.services.cabinet_command = [&](device_link& link, int32_t code) {
            handed = code;
            pending_when_called = pending_commands(link.state->commands);
        };
        const size_t before = f.sent.size();
        const uint32_t outcomes = outcome_sequence(f.state->outcome);
        f.post(c.code);
        f.cycles(1);
        EXPECT_EQ(f.pending(), 0u);
        EXPECT_EQ(handed, c.handed_on ? c.code : 0);
        if (c.handed_on) {
            EXPECT_EQ(pending_when_called, 0u) << "taken before the work";
            EXPECT_EQ(outcome_sequence(f.state->outcome), outcomes);
        } else {
            const posted_outcome told = latest_outcome(f.state->outcome);
            EXPECT_EQ(told.sequence, outcomes + 1);
            EXPECT_EQ(told.latest.text,
                      "unknown command " + std::to_string(c.code) + ": nothing was done");
        }
        EXPECT_EQ(f.sent.size(), before);
        EXPECT_EQ(f.state->link_status, link_connected);
        EXPECT_FALSE(input_locked(f.state->commands));
    }
}

// Posted commands are taken one per cycle in the order posted; a send names its program, so
// each block is that program's, whichever program the screen shows by then.
TEST(WorkerCommands, QueuedCommandsRunInOrderOnePerCycle) {
    connected f;
    for (int n = 0; n < 4; ++n) f.state->programs[n].loaded = 1;
    f.state->programs[2].ir_bypass = 1;
    const size_t before = f.sent.size();
    for (int32_t n : {3, 1, 2, 1}) post_command(f.state->commands, {command_send_block, n});
    f.state->program = 0;
    for (uint32_t left : {3u, 2u, 1u, 0u}) {
        f.cycles(1);
        EXPECT_EQ(f.pending(), left);
    }
    const auto blocks = f.sent_with_code(code_block);
    ASSERT_EQ(f.sent.size() - before, 4u);
    std::vector<int> programs, bypass;
    for (const auto& b : blocks) programs.push_back(b.message[3]), bypass.push_back(b.message[13]);
    EXPECT_EQ(programs, (std::vector<int>{3, 1, 2, 1}));
    EXPECT_EQ(bypass, (std::vector<int>{0, 0, 1, 0}));
}

// The amplifier sees the gaps it always saw: 20 ms after a command the user posted with a
// gap (store, import, export, select), 20 ms before a factory send chosen in audition, and
// edits one cycle and the block's own 5 ms pause apart.
TEST(WorkerCommands, GapsBetweenCommandsAreKept) {
    struct case_t {
        const char* name;
        command first, second;
        int64_t apart_ms; // from the first command taken to the second
    };
    const case_t cases[] = {
        {"edit after export", {command_export_all, 0, 0, 20}, {command_send_block}, 20},
        {"audition after edit", {command_send_block}, {command_send_factory, 0, 20, 20}, 20},
        {"edit after edit", {command_send_block}, {command_send_block}, 10},
        {"audition after export",
         {command_export_all, 0, 0, 20},
         {command_send_factory, 0, 20, 20},
         20},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        connected f;
        f.state->programs[0].loaded = 1;
        std::vector<int64_t> taken;
        f.services.cabinet_command = [&](device_link&, int32_t) {
            taken.push_back(f.clock.now_ms());
        };
        const size_t before = f.sent.size();
        post_command(f.state->commands, c.first);
        post_command(f.state->commands, c.second);
        f.cycles(2);
        for (size_t i = before; i < f.sent.size(); ++i) taken.push_back(f.sent[i].screen.at_ms);
        std::sort(taken.begin(), taken.end());
        ASSERT_EQ(taken.size(), 2u);
        EXPECT_EQ(taken[1] - taken[0], c.apart_ms);
    }
}

TEST(WorkerCommands, CommandPostedWithoutAmplifierRunsAfterTheNextConnect) {
    worker_fixture f;
    set_up_amp(f.bus.amp);
    set_plugged(f.bus, false);
    f.post(command_send_block);
    f.cycles(10);
    ASSERT_TRUE(f.sent.empty());
    set_plugged(f.bus, true);
    f.cycles(1);
    EXPECT_EQ(f.codes_sent(),
              (std::vector<uint8_t>{code_version, code_program, code_slot, code_slot, code_slot,
                                    code_slot, code_slot, code_slot, code_block}));
    EXPECT_EQ(f.pending(), 0u);
}

TEST(WorkerFaults, SilentAmplifierShowsErrorThenTheLinkIsReset) {
    worker_fixture f;
    f.bus.amp.faults.silent = true;
    f.cycles(1);
    EXPECT_EQ(f.state->link_status, link_error);
    EXPECT_GE(f.link->failure_count, 2);
    // A version timeout skips the download; the program and the first name are still asked.
    EXPECT_EQ(f.fetches, 0);
    EXPECT_EQ(f.codes_sent(), (std::vector<uint8_t>{code_version, code_program, code_slot}));

    const size_t before = f.sent.size();
    const int64_t start = f.clock.now_ms();
    f.cycles(1);
    EXPECT_EQ(f.codes_sent(before), (std::vector<uint8_t>{code_reset}));
    EXPECT_EQ(f.bus.amp.link_resets, 1);
    EXPECT_EQ(f.link->failure_count, 0);
    EXPECT_EQ(f.state->progress, progress_idle);
    EXPECT_GE(f.clock.now_ms() - start, 1005);

    // The amplifier speaks again: the next cycle connects afresh.
    f.bus.amp.faults.silent = false;
    set_up_amp(f.bus.amp);
    f.cycles(1);
    EXPECT_EQ(f.state->link_status, link_connected);
    EXPECT_EQ(f.state->device_firmware_version, 0x0102);
}

TEST(WorkerFaults, LinkResetRunsBeforeAnyWaitingMessageIsDecoded) {
    connected f;
    f.link->failure_count = 2;
    front_panel_program_change(f.bus, 5);
    f.cycles(1);
    EXPECT_EQ(f.state->program, 0) << "the program change was decoded before the reset";
    f.cycles(2);
    EXPECT_EQ(f.state->program, 5);
}

TEST(WorkerFaults, UnplugShowsNoDeviceOnceAndReplugReadsAgain) {
    connected f;
    f.state->programs[9].loaded = 1;
    f.state->tolex_colour = 5;
    f.repaints.clear();
    set_plugged(f.bus, false);
    f.cycles(5);
    EXPECT_EQ(f.state->link_status, link_no_device);
    EXPECT_EQ(f.repaints.size(), 1u);
    EXPECT_EQ(f.state->device_firmware_version, 0);
    EXPECT_EQ(slot_name(*f.state, 1), L"");
    EXPECT_EQ(f.state->programs[0].loaded, 0);
    EXPECT_EQ(f.state->tolex_colour, 5);

    set_plugged(f.bus, true);
    const size_t before = f.sent.size();
    f.cycles(1);
    ASSERT_GT(f.sent.size(), before);
    // When the first request went out nothing was loaded, yet the colour had been kept.
    EXPECT_EQ(f.sent[before].screen.loaded_programs, 0);
    EXPECT_EQ(f.sent[before].screen.tolex_colour, 5);
    EXPECT_EQ(f.state->link_status, link_connected);
    EXPECT_EQ(f.state->programs[9].loaded, 0);
    EXPECT_EQ(f.state->programs[0].loaded, 1);
}

TEST(WorkerFaults, ProgramChangeWhileConnectedResyncsWithoutReset) {
    connected f;
    f.bus.amp.programs[5] = {2, 2, 2, 2, 1, 0, 0, 0, 0};
    f.state->programs[33].loaded = 1;
    const size_t before = f.sent.size();
    front_panel_program_change(f.bus, 5);
    f.cycles(1);
    EXPECT_EQ(f.state->program, 5);
    EXPECT_EQ(f.codes_sent(before).front(), code_version);
    EXPECT_EQ(f.sent[before + 1].message, (bytes{0xF0, 0x00, 0x02, 5, 0xF7}));
    EXPECT_EQ(f.state->programs[33].loaded, 1) << "state reset on a program change";
    EXPECT_EQ(f.state->programs[5].loaded, 1);
    EXPECT_EQ(f.state->link_status, link_connected);
}

TEST(WorkerFaults, BurstIsDrainedOneMessagePerCycle) {
    connected f;
    // 150 program replies arrive while the worker is busy; the queue keeps 99 of them.
    for (int n = 1; n <= 150; ++n) inject_message(f.bus, amp_program_reply(f.bus.amp, n));
    const auto loaded_besides_current = [&] {
        int count = 0;
        for (int n = 1; n < program_count; ++n) count += f.state->programs[n].loaded;
        return count;
    };
    for (int cycle = 1; cycle <= 99; ++cycle) {
        f.cycles(1);
        ASSERT_EQ(loaded_besides_current(), cycle);
    }
    f.cycles(5);
    EXPECT_EQ(loaded_besides_current(), 99);
    EXPECT_EQ(f.bus.queue_drops, 51);
    EXPECT_EQ(f.state->link_status, link_connected);
}

TEST(WorkerFaults, GarbageNeverDerailsTheLink) {
    connected f;
    inject_garbage(f.bus, 99, 1234);
    f.cycles(120);
    f.post(command_read_program);
    f.cycles(1);
    EXPECT_EQ(f.state->link_status, link_connected);
    EXPECT_EQ(f.state->programs[f.state->program].loaded, 1);
}

// --- the real thread ------------------------------------------------------------------------

struct threaded_link {
    loopback_bus bus;
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    std::unique_ptr<device_link> link = std::make_unique<device_link>();
    std::atomic<int> repaints{0};
    worker_services services;

    threaded_link() {
        reset_device_part(*state);
        set_up_amp(bus.amp);
        bus.clock = &steady_clock_seam();
        link->state = state.get();
        link->clock = &steady_clock_seam();
        link->repaint = [this] { ++repaints; };
        services.ports = loopback_port_factory(bus);
    }
    bool wait_for_status(int32_t status, int timeout_ms = 5000) {
        for (int waited = 0; waited < timeout_ms; waited += 2) {
            if (state->link_status == status) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

TEST(WorkerThread, ConnectsTakesCommandsAndStopsPromptly) {
    threaded_link t;
    start_worker(*t.link, t.services);
    ASSERT_TRUE(t.wait_for_status(link_connected));
    EXPECT_EQ(slot_name(*t.state, 4), L"AMBIENT");

    // The worker carries on: the next command's block reaches the amplifier (the command is
    // taken before the block is sent, so wait for the block itself).
    post_command(t.state->commands, {.code = command_send_block});
    const auto one_block = [](loopback_bus& b) { return b.amp.blocks.size() == 1; };
    for (int i = 0; i < 2000 && !with_bus(t.bus, one_block); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(with_bus(t.bus, one_block));

    // Stopped in the middle of a reply wait on a silent amplifier.
    with_bus(t.bus, [](loopback_bus& b) { b.amp.faults.silent = true; });
    post_command(t.state->commands, {.code = command_read_program});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(stop_worker(*t.link, 2000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(t.link->worker.joinable());
    EXPECT_EQ(t.link->midi_in, nullptr);
}

// An exception that escapes a command is told as an outcome, reported once, and the worker
// goes on with the next command; the input the import locked is free again.
TEST(WorkerThread, EscapedExceptionBecomesAnOutcome) {
    threaded_link t;
    t.services.cabinet_command = [](device_link&, int32_t) {
        throw std::runtime_error("disk on fire");
    };
    std::vector<std::string> reported; // written by the worker, read after the join
    t.services.report_outcome = [&](const outcome& o) { reported.push_back(o.text); };
    start_worker(*t.link, t.services);
    ASSERT_TRUE(t.wait_for_status(link_connected));
    post_command(t.state->commands, {.code = command_import_slot0});
    EXPECT_TRUE(input_locked(t.state->commands));
    for (int i = 0; i < 1000 && outcome_sequence(t.state->outcome) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The worker carries on: the next command's block reaches the amplifier (the command is
    // taken before the block is sent, so wait for the block itself).
    post_command(t.state->commands, {.code = command_send_block});
    const auto one_block = [](loopback_bus& b) { return b.amp.blocks.size() == 1; };
    for (int i = 0; i < 2000 && !with_bus(t.bus, one_block); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(with_bus(t.bus, one_block));
    ASSERT_TRUE(stop_worker(*t.link, 2000));
    const posted_outcome told = latest_outcome(t.state->outcome);
    EXPECT_EQ(told.latest.code, outcome_code::worker_fault);
    EXPECT_EQ(told.latest.text, "the device link stopped an operation: disk on fire");
    EXPECT_EQ(reported, std::vector<std::string>{told.latest.text});
    EXPECT_FALSE(input_locked(t.state->commands));
}

TEST(WorkerThread, StopRightAfterStartIsNotLost) {
    threaded_link t;
    start_worker(*t.link, t.services);
    EXPECT_TRUE(stop_worker(*t.link, 2000));
}

TEST(WorkerThread, BusyWorkerIsLeftBehindInsteadOfHangingTheClose) {
    threaded_link t;
    std::atomic<bool> picker_open{false}, picker_closed{false};
    t.services.cabinet_command = [&](device_link&, int32_t) {
        picker_open = true;
        while (!picker_closed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    start_worker(*t.link, t.services);
    ASSERT_TRUE(t.wait_for_status(link_connected));
    post_command(t.state->commands, {.code = command_import_slot0});
    while (!picker_open) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    EXPECT_FALSE(stop_worker(*t.link, 50));
    EXPECT_FALSE(t.link->worker.joinable());
    // The picker closes later; the detached worker then ends on its own.
    picker_closed = true;
    for (int i = 0; i < 2000 && !t.link->worker_finished; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(t.link->worker_finished);
    // worker_finished is the thread's last act on the link; give it a moment to return.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace
} // namespace nimba
