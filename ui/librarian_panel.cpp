// The librarian's rows and the restore question.
#include "ui/librarian_panel.h"

#include "ui/outcome_line.h"
#include "ui/palette.h"

namespace nimba {

namespace {

// The section sits on the custom shop's header: a header of 33 and two rows of 31.
constexpr int32_t section_above_footer = 33 + 2 * 31;
constexpr int32_t footer_top_from_bottom = 85;

void draw_librarian_row(frame& f, int32_t id, int32_t top, uint32_t fill, std::wstring_view label) {
    const bool hovered = control(f, id, {0, top, 250, 31});
    draw_box(f, {0, top, 250, 31}, 0, fill);
    draw_text(f, {33, top - 1, 240, top + 31}, hover_colour(hovered, colour_light, colour_mid),
              text_style::regular, align_leading, valign_centre, label);
}

// The question's text, upper-cased once per question asked.
std::wstring_view question_shown(frame& f) {
    const uint32_t serial = f.state.question.serial;
    if (serial != f.ui.question_serial || f.ui.question.empty()) {
        f.ui.question = screen_text(restore_question_text(f.state));
        f.ui.question_serial = serial;
    }
    return f.ui.question;
}

} // namespace

void draw_librarian_rows(frame& f) {
    const int32_t top = f.height - footer_top_from_bottom - section_above_footer;
    draw_box(f, {0, top, 250, 33}, 0, colour_header);
    draw_text(f, {33, top, 250, top + 34}, colour_heading, text_style::large, align_leading,
              valign_centre, L"ALL PROGRAMS");
    draw_mask(f, {4, top + 5, 23, 23}, picture::icon_store, colour_heading);
    draw_librarian_row(f, id_backup, top + 33, colour_panel, L"BACKUP TO A FILE");
    draw_librarian_row(f, id_restore, top + 64, colour_row_odd, L"RESTORE FROM A FILE");
}

void draw_restore_question(frame& f) {
    if (f.state.question.asked != 1) return;
    // Right of the cabinet page, below the switch row: no other control lies under it.
    const int32_t x = 510, y = 90, w = f.width - 520, h = 170;
    draw_box(f, {x, y, w, h}, 13, colour_panel);
    const std::wstring_view question = question_shown(f);
    draw_text(f, {x + 16, y + 12, x + w - 16, y + h - 48}, colour_light, text_style::regular,
              align_leading, valign_top, question, text_flow::wrapped);
    if (f.ui.status.length > 0) f.ui.status.append(L", ");
    f.ui.status.append(question);

    const int32_t bottom = y + h - 41;
    box_button(f, id_restore_yes, {x + w - 242, bottom, 111, 27}, 13, colour_white, colour_light);
    draw_text(f, {x + w - 242, bottom - 4, x + w - 131, bottom + 30}, colour_panel,
              text_style::regular, align_centre, valign_centre, L"RESTORE");
    const bool cancel_hovered = box_button(f, id_restore_no, {x + w - 121, bottom, 111, 27}, 13,
                                           colour_light, colour_row_odd);
    draw_text(f, {x + w - 121, bottom - 4, x + w - 10, bottom + 30},
              hover_colour(cancel_hovered, colour_panel, colour_light), text_style::regular,
              align_centre, valign_centre, L"CANCEL");
}

} // namespace nimba
