// The event handler driven like the window drives it: paint, then pointer moves, clicks and
// wheel turns at the registered regions; checks the state, the posted command, the pauses on
// the virtual clock, the repaint requests and the list of regions.
#include "ui/event_handler.h"

#include <limits>
#include <vector>

#include "screen_fixture.h"

namespace nimba {
namespace {

TEST(Input, LockedUnlessConnectedAndIdle) {
    for (int32_t link : {link_no_device, link_busy, link_error}) {
        screen sc;
        sc.paint();
        sc.s().link_status = link;
        const hit_region store = *sc.region(id_store, region_click);
        sc.move_to(store.x + 1, store.y + 1);
        sc.click_at(store.x + 1, store.y + 1);
        sc.point_at(600, 20);
        sc.wheel(1);
        EXPECT_EQ(sc.posted(), 0) << link;
        EXPECT_EQ(sc.s().program, 0);
        EXPECT_EQ(sc.pointer.wheel_steps, 1);
        EXPECT_EQ(sc.region(id_store, region_hover)->hovered, 0);
        EXPECT_EQ(sc.repaints, 0);
        EXPECT_EQ(sc.clock.sleeps, 0);
    }
}

TEST(Input, OtherEventsDoNothing) {
    screen sc;
    sc.paint();
    const hit_region store = *sc.region(id_store, region_click);
    sc.point_at(store.x + 1, store.y + 1);
    for (int32_t event : std::initializer_list<int32_t>{
             event_activate, event_left_up, event_right_down, event_right_up, event_timer, 9, -1}) {
        handle_event(sc.s(), sc.ui, event);
        EXPECT_EQ(sc.posted(), 0) << event;
    }
    EXPECT_EQ(sc.repaints, 0);
}

// Each stepping control, from the value at one end of its range.
TEST(Click, StepsWrapAtBothEnds) {
    enum field { midi, program, tolex, cabinet };
    struct row {
        int32_t id;
        field f;
        int32_t before, after;
    };
    const row rows[] = {
        {id_midi_down, midi, 0, 16},       {id_midi_up, midi, 16, 0},
        {id_midi_up, midi, 3, 4},          {id_program_down, program, 0, 127},
        {id_program_up, program, 127, 0},  {id_program_down, program, 9, 8},
        {id_tolex_down, tolex, 0, 5},      {id_tolex_up, tolex, 5, 0},
        {id_tolex_up, tolex, 9, 0},        {id_tolex_down, tolex, 3, 2},
        {id_cabinet_prev, cabinet, 0, 11}, {id_cabinet_next, cabinet, 11, 0},
        {id_cabinet_next, cabinet, 4, 5},
    };
    for (const row& r : rows) {
        screen sc;
        std::atomic<int32_t>* value = r.f == midi      ? &sc.s().midi_channel
                                      : r.f == program ? &sc.s().program
                                      : r.f == tolex   ? &sc.s().tolex_colour
                                                       : &sc.s().factory_cabinet;
        if (r.f == cabinet) sc.s().ir_slot_choice = 1;
        *value = r.before;
        sc.click(r.id);
        EXPECT_EQ(*value, r.after) << "id " << r.id << " from " << r.before;
        EXPECT_GE(sc.repaints, 1);
        // Program edits reach the amplifier; choosing a cabinet without audition does not.
        EXPECT_EQ(sc.posted(), r.f == cabinet ? 0 : command_read_program) << r.id;
    }
}

TEST(Click, SendOrReadDependsOnTheProgramAfterTheClick) {
    for (bool loaded : {false, true}) {
        screen sc;
        sc.s().program = 127;
        sc.s().programs[0].loaded = loaded ? 1 : 0;
        sc.s().programs[127].loaded = loaded ? 0 : 1;
        sc.click(id_program_up);
        EXPECT_EQ(sc.s().program, 0);
        ASSERT_EQ(sc.queued().size(), 1u);
        const command posted = sc.queued().front();
        EXPECT_EQ(posted.code, loaded ? command_send_block : command_read_program);
        EXPECT_EQ(posted.program, 0);
        EXPECT_EQ(posted.gap_before_ms + posted.gap_after_ms, 0); // edits follow one another
        EXPECT_EQ(sc.clock.sleeps, 0);
    }
}

TEST(Click, ProgramParameters) {
    struct row {
        int32_t id, channel, mode, bypass;
        int32_t channel_after, mode_after, bypass_after;
        bool sends;
    };
    const row rows[] = {
        {id_channel, 0, 0, 0, 1, 0, 0, true},   {id_channel, 1, 0, 0, 2, 0, 0, true},
        {id_channel, 2, 0, 0, 0, 0, 0, true},   {id_channel, 9, 0, 0, 0, 0, 0, true},
        {id_galaxy, 0, 0, 0, 0, 1, 0, true},    {id_galaxy, 1, 2, 0, 1, 0, 0, true},
        {id_galaxy, 2, 1, 0, 2, 1, 0, false}, // channel 2's mode is the amplifier's
        {id_ir_bypass, 0, 0, 0, 0, 0, 1, true}, {id_ir_bypass, 0, 0, 3, 0, 0, 0, true},
    };
    for (const row& r : rows) {
        screen sc;
        sc.program().loaded = 1;
        sc.program().channel = r.channel;
        sc.program().channel_mode[std::clamp(r.channel, 0, 2)] = r.mode;
        sc.program().ir_bypass = r.bypass;
        sc.click(r.id);
        EXPECT_EQ(sc.program().channel, r.channel_after) << r.id;
        EXPECT_EQ(sc.program().channel_mode[std::clamp(r.channel, 0, 2)], r.mode_after) << r.id;
        EXPECT_EQ(sc.program().ir_bypass, r.bypass_after) << r.id;
        EXPECT_EQ(sc.posted(), r.sends ? command_send_block : 0) << r.id;
        EXPECT_EQ(sc.repaints, r.sends ? 1 : 0) << r.id;
    }
}

TEST(Click, SlotRadioSetsTheCurrentChannelsSlot) {
    screen sc;
    sc.program().channel = 1;
    sc.program().loaded = 1;
    sc.click(id_slot_radio0 + 3);
    EXPECT_EQ(sc.program().ir_slot[1], 3);
    EXPECT_EQ(sc.program().ir_slot[0], 0);
    EXPECT_EQ(sc.posted(), command_send_block);
}

// Commands the worker carries out: each posted once with a 20 ms gap after it on the link, the
// hover flags cleared, and the GUI thread never waits.
TEST(Click, CommandsPostWithAGapAfterThem) {
    struct row {
        int32_t id, page;
        int32_t command;
    };
    const row rows[] = {
        {id_store, 0, command_store},
        {id_import0, 0, 4},
        {id_import0 + 4, 0, 8},
        {id_import0 + 5, 0, command_import_slot5},
        {id_extract_all, 2, command_export_all},
        {id_select, 2, command_send_factory},
        {id_store, 2, command_store}, // the left panel stays live with the page open
    };
    for (const row& r : rows) {
        screen sc;
        sc.s().ir_slot_choice = r.page;
        sc.paint();
        const hit_region target = *sc.region(r.id, region_click);
        sc.move_to(target.x + 1, target.y + 1);
        ASSERT_EQ(sc.region(r.id, region_hover)->hovered, 1);
        sc.click_at(target.x + 1, target.y + 1);
        ASSERT_EQ(sc.queued().size(), 1u) << r.id;
        const command posted = sc.queued().front();
        EXPECT_EQ(posted.code, r.command) << r.id;
        EXPECT_EQ(posted.gap_before_ms, 0) << r.id;
        EXPECT_EQ(posted.gap_after_ms, command_gap_ms) << r.id;
        EXPECT_EQ(sc.clock.sleeps, 0) << r.id;
        for (const hit_region& h : sc.ui.hit_regions) EXPECT_EQ(h.hovered, 0);
    }
}

// Store, import and factory send lock the input from their post until the worker has carried
// them out; export and edits do not.
TEST(Input, LockedWhileAPostedStoreImportOrSendWaits) {
    struct row {
        int32_t id, page;
        bool locks;
    };
    const row rows[] = {{id_store, 0, true},
                        {id_import0 + 2, 0, true},
                        {id_select, 1, true},
                        {id_extract_all, 1, false},
                        {id_program_up, 0, false}};
    for (const row& r : rows) {
        screen sc;
        sc.s().ir_slot_choice = r.page;
        sc.click(r.id);
        sc.click(id_tolex_up);
        EXPECT_EQ(sc.s().tolex_colour, r.locks ? 0 : 1) << r.id;
        EXPECT_EQ(sc.queued().size(), r.locks ? 1u : 2u) << r.id;
        // The worker takes and finishes it: input is live again.
        const command taken = *next_command(sc.s().commands);
        drop_next_command(sc.s().commands);
        command_done(sc.s().commands, taken.code);
        sc.click(id_tolex_up);
        EXPECT_EQ(sc.s().tolex_colour, r.locks ? 1 : 2) << r.id;
    }
}

// A queue the worker does not drain (a picker left open) fills; a click beyond it is refused
// with an outcome, and nothing already queued is lost.
TEST(Input, FullQueueRefusesTheClickAndSaysSo) {
    screen sc;
    sc.s().programs[0].loaded = 1;
    for (uint32_t i = 0; i < command_queue_capacity; ++i) sc.click(id_ir_bypass);
    EXPECT_EQ(sc.queued().size(), command_queue_capacity);
    EXPECT_EQ(outcome_sequence(sc.s().outcome), 0u);
    sc.click(id_ir_bypass);
    EXPECT_EQ(sc.queued().size(), command_queue_capacity);
    const posted_outcome told = latest_outcome(sc.s().outcome);
    EXPECT_EQ(told.sequence, 1u);
    EXPECT_EQ(told.latest.code, outcome_code::command_not_queued);
    EXPECT_EQ(told.latest.text, "command not taken: 64 commands are already waiting");
    EXPECT_EQ(sc.clock.sleeps, 0);
}

TEST(Audition, ChoosingACabinetPostsTenWithAGapOnBothSidesAndClosesTheList) {
    screen sc;
    sc.s().ir_slot_choice = 3;
    sc.s().cabinet_list_open = 1;
    sc.ui.audition = 1;
    sc.click(id_cabinet_row0 + 7);
    EXPECT_EQ(sc.s().factory_cabinet, 7);
    EXPECT_EQ(sc.s().cabinet_list_open, 0);
    ASSERT_EQ(sc.queued().size(), 1u);
    const command posted = sc.queued().front();
    EXPECT_EQ(posted.code, command_send_factory);
    EXPECT_EQ(posted.gap_before_ms, command_gap_ms);
    EXPECT_EQ(posted.gap_after_ms, command_gap_ms);
    EXPECT_EQ(sc.clock.sleeps, 0);
}

TEST(Audition, ArrowsPostOnlyWhileAuditionIsOn) {
    for (int32_t audition : {0, 1}) {
        screen sc;
        sc.s().ir_slot_choice = 1;
        sc.ui.audition = audition;
        sc.click(id_cabinet_next);
        EXPECT_EQ(sc.s().factory_cabinet, 1);
        EXPECT_EQ(sc.posted(), audition ? command_send_factory : 0);
    }
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.click(id_audition);
    EXPECT_EQ(sc.ui.audition, 1);
    sc.click(id_audition);
    EXPECT_EQ(sc.ui.audition, 0);
}

TEST(CabinetList, TitleOpensAndAnyOtherClickCloses) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.click(id_cabinet_title);
    EXPECT_EQ(sc.s().cabinet_list_open, 1); // opened, not closed again by the same click
    sc.click(id_cabinet_title);
    EXPECT_EQ(sc.s().cabinet_list_open, 0);

    sc.s().cabinet_list_open = 1;
    sc.paint();
    sc.click_at(700, 400); // on nothing
    EXPECT_EQ(sc.s().cabinet_list_open, 0);

    sc.s().cabinet_list_open = 1;
    sc.click(id_cabinet_row0 + 2);
    EXPECT_EQ(sc.s().factory_cabinet, 2);
    EXPECT_EQ(sc.s().cabinet_list_open, 0);
    EXPECT_EQ(sc.posted(), 0);
}

TEST(CabinetList, RowsDoNothingWhileTheListIsClosed) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.s().cabinet_list_open = 1;
    sc.paint(); // the rows are registered
    sc.s().cabinet_list_open = 0;
    sc.paint();
    const hit_region row = *sc.region(id_cabinet_row0 + 5, region_click);
    sc.click_at(row.x + 100, row.y + 15);
    EXPECT_EQ(sc.s().factory_cabinet, 0);
}

TEST(Page, ButtonsOpenSwitchAndClose) {
    screen sc;
    sc.click(id_page_button0 + 2);
    EXPECT_EQ(sc.s().ir_slot_choice, 3);
    sc.click(id_page_button0 + 4);
    EXPECT_EQ(sc.s().ir_slot_choice, 5);
    sc.click(id_page_button0 + 4);
    EXPECT_EQ(sc.s().ir_slot_choice, 0);
    EXPECT_EQ(sc.posted(), 0);
    EXPECT_EQ(sc.repaints, 3);
}

TEST(Page, HiddenControlsDoNotActWhileClosed) {
    screen sc;
    sc.s().ir_slot_choice = 2;
    sc.s().cabinet_list_open = 1;
    sc.paint();
    std::vector<hit_region> page_controls;
    for (const hit_region& r : sc.ui.hit_regions)
        if (r.kind == region_click && r.id >= id_cabinet_prev && r.id <= id_audition)
            page_controls.push_back(r);
    sc.s().ir_slot_choice = 0;
    sc.paint();
    for (const hit_region& r : page_controls) {
        sc.move_to(r.x + 1, r.y + 1);
        sc.click_at(r.x + 1, r.y + 1);
        EXPECT_EQ(sc.region(r.id, region_hover)->hovered, 0) << r.id;
    }
    EXPECT_EQ(sc.posted(), 0);
    EXPECT_EQ(sc.s().factory_cabinet, 0);
    EXPECT_EQ(sc.ui.audition, 0);
    EXPECT_EQ(sc.s().cabinet_list_open, 1); // closing the page kept the list's state
}

TEST(Page, OpenPageSilencesControlsRightOfThePanel) {
    struct row {
        int32_t id;
        bool responds;
    };
    const row rows[] = {
        {id_midi_down, false},  {id_midi_up, false}, {id_program_down, false},
        {id_program_up, false}, {id_channel, false}, {id_galaxy, false},
        {id_ir_bypass, false},  {id_store, true},    {id_slot_radio0 + 2, true},
        {id_tolex_down, true},  {id_tolex_up, true}, {id_page_button0 + 5, true},
    };
    // A view narrower than the amplifier puts the switches left of the panel's edge; they
    // still belong to the covered screen.
    for (const int32_t width : {1024, 600}) {
        for (const row& r : rows) {
            screen sc(width);
            sc.s().ir_slot_choice = 1;
            sc.s().tolex_colour = 2;
            sc.s().midi_channel = 3;
            sc.click(r.id);
            const bool changed = sc.posted() != 0 || sc.s().ir_slot_choice != 1;
            EXPECT_EQ(changed, r.responds) << r.id << " at width " << width;
            EXPECT_EQ(sc.s().midi_channel, 3);
            EXPECT_EQ(sc.s().program, 0);
        }
    }
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.paint();
    const hit_region pill = *sc.region(id_program_pill, region_wheel);
    sc.point_at(pill.x + 5, pill.y + 5);
    sc.wheel(1);
    EXPECT_EQ(sc.s().program, 0);
    EXPECT_EQ(sc.pointer.wheel_steps, 1);
}

TEST(Wheel, OneStepPerEventAndNotchesKeptAwayFromThePill) {
    screen sc;
    sc.s().program = 5;
    sc.paint();
    const hit_region pill = *sc.region(id_program_pill, region_wheel);
    sc.point_at(pill.x + 10, pill.y + 10);
    sc.wheel(-3); // one message of three notches toward the user
    EXPECT_EQ(sc.s().program, 4);
    EXPECT_EQ(sc.pointer.wheel_steps, 0);
    EXPECT_EQ(sc.posted(), command_read_program);
    for (int i = 0; i < 3; ++i) sc.wheel(-1);
    EXPECT_EQ(sc.s().program, 1);

    sc.point_at(10, 400); // elsewhere: the notches wait
    sc.wheel(-2);
    EXPECT_EQ(sc.s().program, 1);
    EXPECT_EQ(sc.pointer.wheel_steps, -2);
    sc.point_at(pill.x, pill.y); // edges count as inside
    sc.wheel(1);                 // -2 + 1 is still toward the user
    EXPECT_EQ(sc.s().program, 0);
    sc.wheel(-1);
    EXPECT_EQ(sc.s().program, 127);
    sc.wheel(1);
    EXPECT_EQ(sc.s().program, 0);
}

TEST(Pointer, HoverChangesRepaintAndSetTheCursorOnce) {
    screen sc;
    sc.paint();
    const hit_region store = *sc.region(id_store, region_hover);
    sc.move_to(store.x + store.width, store.y + store.height); // far corner, inclusive
    EXPECT_EQ(sc.region(id_store, region_hover)->hovered, 1);
    EXPECT_EQ(sc.region(id_store, region_click)->hovered, 0);
    EXPECT_EQ(sc.repaints, 1);
    EXPECT_EQ(sc.cursors, 1);
    sc.move_to(store.x + 2, store.y + 2);
    EXPECT_EQ(sc.repaints, 1);
    sc.move_to(store.x + store.width + 1, store.y);
    EXPECT_EQ(sc.region(id_store, region_hover)->hovered, 0);
    EXPECT_EQ(sc.repaints, 2);
    EXPECT_EQ(sc.cursors, 2);
}

TEST(Pointer, PixelsBecomeDrawingUnitsByTheHorizontalDpi) {
    struct row {
        float dpi;
        int32_t x, y;
        bool hits;
    };
    // The store button spans (217, 9)-(240, 32) in drawing units.
    const row rows[] = {
        {96, 220, 20, true},   {192, 440, 40, true},
        {192, 220, 20, false}, {144, 361, 48, true},
        {144, 362, 48, false}, {0, 220, 20, true},
        {-96, 220, 20, true},  {std::numeric_limits<float>::quiet_NaN(), 220, 20, true},
    };
    for (const row& r : rows) {
        screen sc;
        sc.ui.dpi = r.dpi;
        sc.paint();
        sc.click_at(r.x, r.y);
        EXPECT_EQ(sc.posted() == command_store, r.hits) << r.dpi << " " << r.x;
    }
    screen sc;
    sc.ui.dpi = 1.0f; // tiny factor: huge units must not overflow
    sc.paint();
    sc.click_at(INT32_MAX, INT32_MIN);
    EXPECT_EQ(sc.posted(), 0);
}

TEST(Paint, WithoutACanvasOrPointerNothingHappens) {
    screen sc;
    sc.ui.target = nullptr;
    handle_event(sc.s(), sc.ui, event_paint);
    EXPECT_TRUE(sc.ui.hit_regions.empty());
    sc.ui.target = &sc.canvas;
    sc.paint();
    sc.ui.pointer = nullptr;
    handle_event(sc.s(), sc.ui, event_left_down);
    handle_event(sc.s(), sc.ui, event_wheel);
    EXPECT_EQ(sc.posted(), 0);
}

} // namespace
} // namespace nimba
