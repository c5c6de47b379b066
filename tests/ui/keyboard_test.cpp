// The keyboard and what assistive technology reads, driven like the window drives them: Tab
// through the reading order of each page, keys that must do exactly what the equivalent click
// does, the focus ring (never before a key), and the accessible reading of the controls.
#include <array>
#include <vector>

#include "screen_fixture.h"
#include "ui/accessible.h"
#include "ui/focus.h"
#include "ui/slot_panel.h"

namespace nimba {
namespace {

// The controls Tab stops at from a fresh start, until it comes round to the first again.
std::vector<int32_t> tab_round(screen& sc, int32_t key) {
    std::vector<int32_t> seen;
    for (int n = 0; n < 2 * focus_stop_count; ++n) {
        sc.key(key);
        if (!seen.empty() && sc.ui.focus == seen.front()) return seen;
        seen.push_back(sc.ui.focus);
    }
    return seen;
}

std::vector<int32_t> slot_rows() {
    std::vector<int32_t> ids;
    for (int32_t k = 0; k < slot_count; ++k)
        for (int32_t id : {id_slot_radio0, id_import0, id_page_button0}) ids.push_back(id + k);
    ids.insert(ids.end(), {id_backup, id_restore, id_tolex_down});
    return ids;
}

TEST(Keyboard, TabFollowsTheReadingOrderOfThePageShown) {
    std::vector<int32_t> main_page = {id_store,   id_program_pill, id_midi_down,
                                      id_channel, id_galaxy,       id_ir_bypass};
    std::vector<int32_t> cabinet_page = {id_store, id_cabinet_title, id_audition, id_extract_all,
                                         id_select};
    std::vector<int32_t> with_list = {id_store, id_cabinet_title};
    for (int32_t k = 0; k < cabinet_count; ++k) with_list.push_back(id_cabinet_row0 + k);
    with_list.insert(with_list.end(), {id_audition, id_extract_all, id_select});
    for (std::vector<int32_t>* ids : {&main_page, &cabinet_page, &with_list}) {
        const std::vector<int32_t> panel = slot_rows();
        ids->insert(ids->end(), panel.begin(), panel.end());
    }
    struct page {
        int32_t slot_choice, list_open;
        const std::vector<int32_t>& order;
    };
    for (const page& p : {page{0, 0, main_page}, page{3, 0, cabinet_page}, page{3, 1, with_list}}) {
        screen forward;
        forward.s().ir_slot_choice = p.slot_choice;
        forward.s().cabinet_list_open = p.list_open;
        EXPECT_EQ(tab_round(forward, key_tab), p.order) << "page " << p.slot_choice;
        screen backward;
        backward.s().ir_slot_choice = p.slot_choice;
        backward.s().cabinet_list_open = p.list_open;
        const std::vector<int32_t> reversed(p.order.rbegin(), p.order.rend());
        std::vector<int32_t> expected{reversed.front()};
        expected.insert(expected.end(), reversed.begin() + 1, reversed.end());
        EXPECT_EQ(tab_round(backward, key_back_tab), expected) << "page " << p.slot_choice;
        EXPECT_EQ(forward.posted(), 0);
    }
}

// What a key or a click leaves behind: everything either may change, the queued commands with
// their programs and gaps included.
struct outcome {
    int32_t program, midi, tolex, cabinet, page, list, bypass, slot, channel, audition;
    std::vector<std::array<int32_t, 4>> queued;
    bool operator==(const outcome&) const = default;
};

outcome outcome_of(screen& sc) {
    const program_record& p = sc.program();
    outcome o{sc.s().program,
              sc.s().midi_channel,
              sc.s().tolex_colour,
              sc.s().factory_cabinet,
              sc.s().ir_slot_choice,
              sc.s().cabinet_list_open,
              p.ir_bypass,
              p.ir_slot[channel_slot_index(p.channel)],
              p.channel,
              sc.ui.audition,
              {}};
    for (const command& c : sc.queued())
        o.queued.push_back({c.code, c.program, c.gap_before_ms, c.gap_after_ms});
    return o;
}

TEST(Keyboard, AKeyDoesWhatItsClickDoes) {
    struct row {
        const char* what;
        int32_t page, list, audition; // the screen before
        int32_t focus, key;           // the key at the focused control
        int32_t clicked;              // the click it stands for
    };
    const row rows[] = {
        {"store", 0, 0, 0, id_store, key_enter, id_store},
        {"program up", 0, 0, 0, id_program_pill, key_up, id_program_up},
        {"program down", 0, 0, 0, id_program_pill, key_left, id_program_down},
        {"page up", 0, 0, 0, id_ir_bypass, key_page_up, id_program_up},
        {"page down", 0, 0, 0, -1, key_page_down, id_program_down},
        {"midi down", 0, 0, 0, id_midi_down, key_down, id_midi_down},
        {"midi up", 0, 0, 0, id_midi_down, key_right, id_midi_up},
        {"channel", 0, 0, 0, id_channel, key_space, id_channel},
        {"galaxy", 0, 0, 0, id_galaxy, key_enter, id_galaxy},
        {"bypass", 0, 0, 0, id_ir_bypass, key_space, id_ir_bypass},
        {"slot radio", 0, 0, 0, id_slot_radio0 + 4, key_space, id_slot_radio0 + 4},
        {"import", 0, 0, 0, id_import0 + 2, key_enter, id_import0 + 2},
        {"page opens", 0, 0, 0, id_page_button0 + 1, key_space, id_page_button0 + 1},
        {"page closes", 2, 0, 0, id_page_button0 + 1, key_space, id_page_button0 + 1},
        {"escape", 2, 1, 0, id_select, key_escape, id_page_button0 + 1},
        {"tolex down", 0, 0, 0, id_tolex_down, key_left, id_tolex_down},
        {"tolex up", 2, 0, 0, id_tolex_down, key_up, id_tolex_up},
        {"cabinet next", 2, 0, 0, id_cabinet_title, key_right, id_cabinet_next},
        {"cabinet prev, list open", 2, 1, 0, id_cabinet_title, key_down, id_cabinet_prev},
        {"cabinet auditioned", 2, 0, 1, id_cabinet_title, key_up, id_cabinet_next},
        {"list opens", 2, 0, 0, id_cabinet_title, key_space, id_cabinet_title},
        {"listed cabinet", 2, 1, 1, id_cabinet_row0 + 7, key_space, id_cabinet_row0 + 7},
        {"select", 2, 0, 0, id_select, key_enter, id_select},
        {"extract", 2, 1, 0, id_extract_all, key_space, id_extract_all},
        {"audition", 2, 0, 0, id_audition, key_space, id_audition},
    };
    for (const row& r : rows) {
        screen by_key, by_click, untouched;
        for (screen* sc : {&by_key, &by_click, &untouched}) {
            sc->s().ir_slot_choice = r.page;
            sc->s().cabinet_list_open = r.list;
            sc->ui.audition = r.audition;
            sc->s().factory_cabinet = 5;
            sc->s().program = 9;
        }
        by_key.ui.focus = r.focus;
        by_key.key(r.key);
        by_click.click(r.clicked);
        EXPECT_EQ(outcome_of(by_key), outcome_of(by_click)) << r.what;
        EXPECT_FALSE(outcome_of(by_key) == outcome_of(untouched)) << r.what << " did nothing";
        EXPECT_GE(by_key.repaints, 1) << r.what;
    }
}

TEST(Keyboard, ArrowsMoveBetweenRadiosAndListedCabinetsWithoutChoosing) {
    screen sc;
    sc.ui.focus = id_slot_radio0;
    for (int32_t key : {key_up, key_left}) {
        sc.key(key);
        EXPECT_EQ(sc.ui.focus, id_slot_radio0 + slot_count - 1);
        sc.key(key_down);
        EXPECT_EQ(sc.ui.focus, id_slot_radio0);
    }
    EXPECT_EQ(sc.posted(), 0);
    EXPECT_EQ(sc.program().ir_slot[0], 0);

    screen list;
    list.s().ir_slot_choice = 1;
    list.s().cabinet_list_open = 1;
    list.s().factory_cabinet = 0;
    list.ui.focus = id_cabinet_row0 + cabinet_count - 1;
    list.key(key_right);
    EXPECT_EQ(list.ui.focus, id_cabinet_row0);
    list.key(key_down);
    EXPECT_EQ(list.s().factory_cabinet, 0);
    // Choosing closes the list; the focus goes back to the title, which names the cabinet.
    list.key(key_space);
    EXPECT_EQ(list.s().factory_cabinet, 1);
    EXPECT_EQ(list.s().cabinet_list_open, 0);
    EXPECT_EQ(list.ui.focus, id_cabinet_title);
}

TEST(Keyboard, EscapeLeavesTheFocusOnThePageButtonAndDoesNothingOnTheMainPage) {
    screen sc;
    sc.s().ir_slot_choice = 4;
    sc.ui.focus = id_audition;
    sc.key(key_escape);
    EXPECT_EQ(sc.s().ir_slot_choice, 0);
    EXPECT_EQ(sc.ui.focus, id_page_button0 + 3);
    sc.key(key_escape);
    EXPECT_EQ(sc.s().ir_slot_choice, 0);
    EXPECT_EQ(sc.posted(), 0);
}

TEST(Keyboard, LockedInputTakesNoKeyAndAssistiveActionsNeither) {
    for (int32_t link : {link_no_device, link_busy, link_error}) {
        screen sc;
        sc.s().link_status = link;
        for (int32_t key : {key_tab, key_space, key_page_up, key_escape, key_up}) sc.key(key);
        press_control(sc.s(), sc.ui, id_store);
        step_control(sc.s(), sc.ui, id_program_pill, true);
        EXPECT_EQ(sc.ui.focus, -1) << link;
        EXPECT_FALSE(sc.ui.focus_shown);
        EXPECT_EQ(sc.posted(), 0);
        EXPECT_EQ(sc.s().program, 0);
        EXPECT_EQ(sc.repaints, 0);
    }
}

// Unknown keys, and a part or an id no control has for assistive technology: nothing at all.
TEST(Keyboard, WhatIsNoKeyOrNoControlIsIgnored) {
    screen sc;
    for (int32_t key : {int32_t{key_none}, 12, -3}) sc.key(key);
    press_control(sc.s(), sc.ui, id_program_up);
    press_control(sc.s(), sc.ui, control_id_count);
    step_control(sc.s(), sc.ui, -1, true);
    EXPECT_EQ(sc.ui.focus, -1);
    EXPECT_EQ(sc.posted(), 0);
    EXPECT_EQ(sc.repaints, 0);
    // The first real key only shows where the focus starts.
    sc.key(key_space);
    EXPECT_EQ(sc.ui.focus, id_store);
    EXPECT_EQ(sc.posted(), 0);
}

std::vector<draw_call> frame_of(screen& sc) {
    sc.paint();
    return sc.canvas.calls;
}

bool same_frame(const std::vector<draw_call>& a, const std::vector<draw_call>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].x != b[i].x || a[i].y != b[i].y ||
            a[i].width != b[i].width || a[i].colour != b[i].colour || a[i].text != b[i].text)
            return false;
    return true;
}

TEST(FocusRing, DrawnOnlyAfterAKeyAroundTheControlAndGoneAfterAClick) {
    screen sc;
    const std::vector<draw_call> untouched = frame_of(sc);
    // A click moves the focus but draws no ring.
    sc.click(id_ir_bypass);
    sc.click(id_ir_bypass);
    EXPECT_EQ(sc.ui.focus, id_ir_bypass);
    EXPECT_TRUE(same_frame(frame_of(sc), untouched));

    sc.key(key_tab); // to the first slot radio, after IR BYPASS
    ASSERT_EQ(sc.ui.focus, id_slot_radio0);
    sc.key(key_down); // the second, which is not the chosen one
    const std::vector<draw_call> ringed = frame_of(sc);
    const hit_region radio = *sc.region(id_slot_radio0 + 1, region_click);
    // The radio in its hover look, and four lines 2 units outside it, last of all.
    int hover_looks = 0;
    for (const draw_call& c : ringed)
        hover_looks += c.x == radio.x && c.y == radio.y && c.colour == colour_mid ? 1 : 0;
    EXPECT_EQ(hover_looks, 1);
    ASSERT_EQ(ringed.size(), untouched.size() + 4);
    const draw_call& top = ringed[ringed.size() - 4];
    EXPECT_EQ(top.x, radio.x - 3);
    EXPECT_EQ(top.y, radio.y - 3);
    EXPECT_EQ(top.width, radio.width + 6);
    EXPECT_EQ(top.colour, colour_white);

    sc.click_at(600, 150); // nothing there
    EXPECT_TRUE(same_frame(frame_of(sc), untouched));
}

TEST(FocusRing, ASpinIsRingedWithItsArrows) {
    screen sc;
    sc.ui.focus = id_store;
    sc.key(key_tab);
    ASSERT_EQ(sc.ui.focus, id_program_pill);
    sc.paint();
    const hit_region pill = *sc.region(id_program_pill, region_wheel);
    EXPECT_EQ(sc.ui.focus_ring.x, pill.x);
    EXPECT_EQ(sc.ui.focus_ring.width, pill.width);
    sc.key(key_tab);
    ASSERT_EQ(sc.ui.focus, id_midi_down);
    sc.paint();
    const hit_region down = *sc.region(id_midi_down, region_click);
    const hit_region up = *sc.region(id_midi_up, region_click);
    EXPECT_EQ(sc.ui.focus_ring.x, down.x);
    EXPECT_EQ(sc.ui.focus_ring.x + sc.ui.focus_ring.width, up.x + up.width);
    EXPECT_TRUE(in_focus_ring(sc.s(), sc.ui, id_midi_up));
    EXPECT_FALSE(in_focus_ring(sc.s(), sc.ui, id_program_up));
}

const accessible_control& reading_of(const accessible_tree& tree, int32_t id) {
    for (const accessible_control& c : tree)
        if (c.id == id) return c;
    return tree.front();
}

TEST(Accessible, EveryControlHasARoleANameAndItsPlace) {
    screen sc;
    sc.s().ir_slot_choice = 2;
    sc.s().cabinet_list_open = 1;
    set_slot_name(sc.s(), 1, L"C:\\CABS\\MY CAB.WAV");
    ask_restore_question(sc.s(), "restore 1 program (5)?"); // its buttons are shown too
    sc.paint();
    accessible_tree tree;
    read_accessible_tree(sc.s(), sc.ui, tree);
    for (const accessible_control& c : tree) {
        EXPECT_NE(c.role, access_role::part) << c.id;
        EXPECT_FALSE(c.access.name.view().empty()) << c.id;
        const bool main_page = find_control(c.id)->page == screen_page::main;
        EXPECT_EQ(c.shown, !main_page) << c.id;
        EXPECT_GT(c.bounds.width, 0) << c.id;
    }
    EXPECT_EQ(reading_of(tree, id_slot_radio0 + 1).access.name.view(), L"SLOT 2: MY CAB.WAV");
    EXPECT_EQ(reading_of(tree, id_page_button0 + 1).access.name.view(),
              L"FACTORY CABINETS FOR SLOT 2");
    EXPECT_TRUE(reading_of(tree, id_page_button0 + 1).access.on);
    EXPECT_EQ(reading_of(tree, id_cabinet_row0).access.name.view(),
              cabinet_title(sc.s(), 0).view());
    // A spin covers its arrows.
    const hit_region next = *sc.region(id_cabinet_next, region_click);
    const rect title = reading_of(tree, id_cabinet_title).bounds;
    EXPECT_EQ(title.x + title.width, next.x + next.width);
}

TEST(Accessible, StatesAndValuesFollowTheScreen) {
    screen sc;
    accessible_tree before, after;
    sc.paint();
    read_accessible_tree(sc.s(), sc.ui, before);
    sc.s().program = 42;
    sc.click(id_ir_bypass);
    sc.click(id_slot_radio0 + 3);
    sc.click(id_midi_down);
    sc.paint();
    read_accessible_tree(sc.s(), sc.ui, after);
    struct row {
        int32_t id;
        bool on_before, on_after;
        int32_t value_after;
        std::wstring_view text_after;
    };
    const row rows[] = {
        {id_ir_bypass, false, true, 0, L""},        {id_slot_radio0, true, false, 0, L""},
        {id_slot_radio0 + 3, false, true, 0, L""},  {id_midi_down, false, false, 16, L"16"},
        {id_program_pill, false, false, 42, L"42"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(reading_of(before, r.id).access.on, r.on_before) << r.id;
        EXPECT_EQ(reading_of(after, r.id).access.on, r.on_after) << r.id;
        EXPECT_EQ(reading_of(after, r.id).access.value, r.value_after) << r.id;
        EXPECT_EQ(reading_of(after, r.id).access.value_text.view(), r.text_after) << r.id;
        EXPECT_FALSE(same_reading(reading_of(before, r.id), reading_of(after, r.id))) << r.id;
    }
    EXPECT_TRUE(same_reading(reading_of(before, id_store), reading_of(after, id_store)));
    EXPECT_TRUE(reading_of(after, id_galaxy).access.enabled);
    EXPECT_EQ(reading_of(after, id_channel).access.value, 1);
    sc.click(id_channel);
    sc.click(id_channel);
    read_accessible_tree(sc.s(), sc.ui, after);
    EXPECT_EQ(reading_of(after, id_channel).access.value_text.view(), L"3");
    EXPECT_FALSE(reading_of(after, id_galaxy).access.enabled); // channel 3's mode is the amp's
    EXPECT_EQ(reading_of(after, id_program_pill).access.maximum, 127);
    EXPECT_EQ(reading_of(before, id_midi_down).access.value_text.view(), L"OMNI");
}

TEST(Accessible, StatusTextsAreThoseTheBarShows) {
    screen sc;
    sc.s().device_firmware_version = 0x0105;
    sc.paint();
    EXPECT_EQ(sc.ui.status.view(), L"FIRMWARE VERSION 1.5.0, CONNECTED");
    sc.s().link_status = link_no_device;
    sc.paint();
    EXPECT_EQ(sc.ui.status.view(), L"NO DEVICE");
    sc.s().link_status = link_busy;
    sc.s().progress = 37;
    sc.paint();
    EXPECT_EQ(sc.ui.status.view(), L"37%, CONNECTED");
}

TEST(Accessible, PressAndStepActAsTheirKeysWithoutShowingTheRing) {
    screen sc;
    // The main page's controls answer only while the cabinet page is closed.
    sc.s().ir_slot_choice = 1;
    press_control(sc.s(), sc.ui, id_ir_bypass);
    EXPECT_EQ(sc.program().ir_bypass, 0);
    sc.s().ir_slot_choice = 0;
    press_control(sc.s(), sc.ui, id_ir_bypass);
    EXPECT_EQ(sc.program().ir_bypass, 1);
    step_control(sc.s(), sc.ui, id_tolex_down, true);
    EXPECT_EQ(sc.s().tolex_colour, 1);
    step_control(sc.s(), sc.ui, id_program_pill, false);
    EXPECT_EQ(sc.s().program, 127);
    EXPECT_EQ(sc.ui.focus, id_program_pill);
    EXPECT_FALSE(sc.ui.focus_shown);
}

} // namespace
} // namespace nimba
