// BACKUP, RESTORE and the restore question on the screen: what each posts for the worker, when
// the question's buttons answer, and that no click can reach another control through them.
#include "ui/librarian_panel.h"

#include <gtest/gtest.h>

#include "screen_fixture.h"

namespace nimba {
namespace {

TEST(LibrarianPanel, RowsAndTheQuestionPostWhatTheyAreFor) {
    struct row {
        const char* what;
        bool asked;      // the worker is asking the restore question
        int32_t clicked; // the control clicked
        int32_t posted;  // the command then waiting for the worker
    };
    const row rows[] = {
        {"BACKUP", false, id_backup, command_backup},
        {"RESTORE", false, id_restore, command_restore},
        {"RESTORE while a question is asked asks anew", true, id_restore, command_restore},
        {"the question's RESTORE", true, id_restore_yes, command_restore_confirm},
        {"the question's CANCEL", true, id_restore_no, command_restore_cancel},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        screen sc;
        if (r.asked) ask_restore_question(sc.s(), "restore 1 program (5)?");
        sc.click(r.clicked);
        EXPECT_EQ(sc.queued().size(), 1u);
        EXPECT_EQ(sc.posted(), r.posted);
    }
}

// Once answered (or withdrawn by the worker) the question's regions stay registered, and a click
// on them does nothing; the keyboard passes them by.
TEST(LibrarianPanel, AnAnsweredQuestionTakesNoClickAndNoFocus) {
    screen sc;
    ask_restore_question(sc.s(), "restore 2 programs (5 90)?");
    sc.paint();
    const hit_region yes = *sc.region(id_restore_yes, region_click);
    const hit_region no = *sc.region(id_restore_no, region_click);
    EXPECT_NE(find_text(sc.canvas, L"RESTORE 2 PROGRAMS (5 90)?"), nullptr);
    EXPECT_NE(std::wstring_view(sc.ui.status.view()).find(L"RESTORE 2 PROGRAMS (5 90)?"),
              std::wstring_view::npos);

    withdraw_restore_question(sc.s());
    sc.paint();
    EXPECT_EQ(find_text(sc.canvas, L"CANCEL"), nullptr);
    for (const hit_region& button : {yes, no})
        sc.click_at(button.x + button.width / 2, button.y + button.height / 2);
    EXPECT_TRUE(sc.queued().empty());
    EXPECT_FALSE(control_shown(sc.s(), id_restore_yes));

    sc.ui.focus = id_restore;
    sc.key(key_tab);
    EXPECT_EQ(sc.ui.focus, id_tolex_down);
    ask_restore_question(sc.s(), "restore 1 program (5)?");
    sc.ui.focus = id_restore;
    sc.key(key_tab);
    EXPECT_EQ(sc.ui.focus, id_restore_yes);
    // A new question is drawn in its own words.
    sc.paint();
    EXPECT_NE(find_text(sc.canvas, L"RESTORE 1 PROGRAM (5)?"), nullptr);
}

// A click runs every region under the pointer: the question's buttons and the rows must lie
// clear of every other control, on either page and at the smallest window.
TEST(LibrarianPanel, NoOtherControlLiesUnderTheQuestionOrTheRows) {
    for (int32_t page : {0, 3})
        for (int32_t width : {1016, 1024, 1600}) {
            SCOPED_TRACE(testing::Message() << "page " << page << " width " << width);
            screen sc(width, 693);
            sc.s().ir_slot_choice = page;
            sc.s().cabinet_list_open = page > 0 ? 1 : 0;
            ask_restore_question(sc.s(), "restore 1 program (5)?");
            sc.paint();
            const bool page_open = page > 0;
            for (int32_t id : {id_backup, id_restore, id_restore_yes, id_restore_no}) {
                const hit_region* mine = sc.region(id, region_click);
                ASSERT_NE(mine, nullptr) << id;
                EXPECT_GE(mine->x, 0);
                EXPECT_LE(mine->x + mine->width, width);
                for (const hit_region& other : sc.ui.hit_regions) {
                    if (other.id == id || other.kind != region_click ||
                        !region_active(other, page_open))
                        continue;
                    const bool apart =
                        other.x >= mine->x + mine->width || mine->x >= other.x + other.width ||
                        other.y >= mine->y + mine->height || mine->y >= other.y + other.height;
                    EXPECT_TRUE(apart) << id << " overlaps " << other.id;
                }
            }
        }
}

} // namespace
} // namespace nimba
