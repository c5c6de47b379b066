// The screen and the worker together on one virtual clock: a burst of clicks reaches the
// virtual amplifier in click order while the GUI thread never waits.
#include <gtest/gtest.h>

#include <vector>

#include "tests/device/worker_fixture.h"
#include "tests/ui/screen_fixture.h"

namespace nimba {
namespace {

constexpr int64_t gui_budget_ms = 2;

TEST(CommandBurst, ClicksReachTheAmpInOrderWithoutBlockingTheGui) {
    screen sc;
    test::worker_fixture amp;
    editor_state& state = sc.s();
    amp.link->state = &state; // the screen's state is the link's
    sc.ui.clock = &amp.clock;
    state.link_status = link_no_device;
    amp.cycles(1); // connected: program 0 read
    ASSERT_EQ(state.link_status, link_connected);
    // Programs 1..10 were visited before, so edits to them are sent as blocks.
    for (int32_t n = 1; n <= 10; ++n) {
        post_command(state.commands, {command_read_program, n});
        amp.cycles(1);
    }
    state.program = 0;

    const size_t before = amp.sent.size();
    std::vector<int32_t> clicked_programs;
    for (int click = 0; click < 20; ++click) {
        const bool up = click % 2 == 0;
        const int64_t start = amp.clock.now_ms();
        sc.click(up ? id_program_up : id_ir_bypass);
        EXPECT_LE(amp.clock.now_ms() - start, gui_budget_ms) << "click " << click;
        clicked_programs.push_back(state.program);
        if (click % 3 == 2) amp.cycles(1); // the worker keeps up with every third click only
    }
    for (int i = 0; i < 40 && pending_commands(state.commands) > 0; ++i) amp.cycles(1);
    ASSERT_EQ(pending_commands(state.commands), 0u);

    const auto blocks = amp.sent_with_code(0x01);
    ASSERT_EQ(amp.sent.size() - before, 20u);
    ASSERT_EQ(blocks.size(), 20u);
    std::vector<int32_t> sent_programs;
    for (const auto& b : blocks) sent_programs.push_back(b.message[3]);
    EXPECT_EQ(sent_programs, clicked_programs);
    // A program's switch reached the amplifier as it was clicked, never an older value after it.
    for (size_t i = 1; i < blocks.size(); i += 2) {
        const int32_t n = blocks[i].message[3];
        EXPECT_EQ(blocks[i].message[13], state.programs[n].ir_bypass) << "program " << n;
        EXPECT_EQ(amp.bus.amp.programs[n][8], state.programs[n].ir_bypass) << "program " << n;
    }
    EXPECT_EQ(amp.bus.amp.program, 10);
    EXPECT_EQ(state.program, 10);
}

} // namespace
} // namespace nimba
