// The slot panel and the cabinet page.
#include "ui/slot_panel.h"

#include <mutex>

#include "ui/ir_preview_panel.h"
#include "ui/palette.h"

namespace nimba {

namespace {

constexpr picture diagram_slots[slot_count] = {picture::diagram_slot_0, picture::diagram_slot_1,
                                               picture::diagram_slot_2, picture::diagram_slot_3,
                                               picture::diagram_slot_4, picture::diagram_slot_5};

void draw_diagram(frame& f, int32_t slot, bool bypassed) {
    const rect diagram{0, 51, 250, 100};
    draw_mask(f, diagram, picture::diagram_base, colour_light);
    draw_mask(f, diagram, picture::diagram_accent, f.accent);
    for (int k = 0; k < slot_count; ++k)
        draw_mask(f, diagram, diagram_slots[k], !bypassed && slot == k ? f.accent : colour_light);
}

void draw_slot_row(frame& f, int k, int32_t slot) {
    const int32_t r = 194 + 31 * k;
    draw_box(f, {0, r, 250, 31}, 0, k % 2 == 0 ? colour_panel : colour_row_odd);

    const rect radio{8, r + 10, 12, 12};
    const bool radio_hovered = control(f, id_slot_radio0 + k, radio);
    draw_box(f, radio, 6,
             slot == k ? colour_light : hover_colour(radio_hovered, colour_mid, colour_background));

    draw_text(f, {33, r - 1, 207, r + 31}, colour_mid, text_style::regular, align_leading,
              valign_centre, displayed_slot_name(f.state, k).view());
    mask_button(f, id_import0 + k, {204, r + 4, 23, 23}, picture::icon_import, colour_light,
                colour_dim);
    const bool page_open = f.state.ir_slot_choice == k + 1;
    mask_button(f, id_page_button0 + k, {226, r + 4, 23, 23}, picture::icon_page, colour_light,
                page_open ? colour_white : colour_dim);
}

void draw_panel_footer(frame& f) {
    const int32_t H = f.height;
    draw_box(f, {250, 41, 1, H - 41}, 0, colour_hairline);
    draw_box(f, {0, H - 85, 250, 33}, 0, colour_header);
    draw_text(f, {33, H - 85, 250, H - 51}, colour_heading, text_style::large, align_leading,
              valign_centre, L"CUSTOM SHOP");
    draw_mask(f, {4, H - 80, 23, 23}, picture::icon_custom_shop, colour_heading);
    draw_box(f, {0, H - 54, 250, 31}, 0, colour_panel);
    mask_control(f, id_tolex_down, {8, H - 44, 12, 12}, {9, H - 44, 11, 11}, picture::arrow_left,
                 colour_light, colour_dim);
    text_buffer tolex;
    tolex.append(L"TOLEX COLOR - ").append_ascii(tolex_colour_name(f.state.tolex_colour));
    draw_text(f, {33, H - 55, 223, H - 23}, colour_mid, text_style::regular, align_leading,
              valign_centre, tolex.view());
    mask_control(f, id_tolex_up, {224, H - 50, 23, 23}, {234, H - 44, 11, 11}, picture::arrow_right,
                 colour_light, colour_dim);
}

void draw_page_buttons(frame& f) {
    const int32_t H = f.height;
    const bool extract_hovered =
        box_button(f, id_extract_all, {260, H - 55, 110, 27}, 13, colour_light, colour_row_odd);
    draw_text(f, {260, H - 59, 370, H - 25},
              hover_colour(extract_hovered, colour_panel, colour_light), text_style::regular,
              align_centre, valign_centre, L"EXTRACT ALL");

    const bool audition = f.ui.audition == 1;
    draw_box(f, {380, H - 85, 110, 21}, 10, colour_panel);
    const bool audition_hovered =
        box_button(f, id_audition, {380, H - 85, 40, 20}, 10, audition ? f.accent : colour_off,
                   audition ? f.accent : colour_off);
    draw_box(f, {audition ? 400 : 380, H - 85, 20, 20}, 10,
             audition ? colour_white : hover_colour(audition_hovered, colour_white, colour_light));
    draw_text(f, {426, H - 86, 506, H - 65}, colour_light, text_style::small, align_leading,
              valign_centre, L"AUDITION");

    box_button(f, id_select, {379, H - 55, 111, 27}, 13, colour_white, colour_light);
    draw_text(f, {379, H - 59, 490, H - 25}, colour_panel, text_style::regular, align_centre,
              valign_centre, L"SELECT");
}

void draw_cabinet_list(frame& f, int32_t selected) {
    for (int i = 0; i < cabinet_count; ++i) {
        const int32_t t = 42 + 31 * i;
        const bool row_hovered = control(f, id_cabinet_row0 + i, {250, t, 250, 31});
        draw_box(f, {250, t, 250, 31}, 0, i % 2 == 0 ? colour_list_even : colour_list_odd);
        const bool is_selected = i == selected;
        draw_box(f, {258, t + 10, 12, 12}, 6,
                 is_selected ? colour_white
                             : hover_colour(row_hovered, colour_light, colour_background));
        draw_text(f, {280, t - 1, 490, t + 31},
                  is_selected ? colour_white : hover_colour(row_hovered, colour_light, colour_mid),
                  text_style::regular, align_leading, valign_centre,
                  cabinet_title(f.state, i).view());
    }
}

} // namespace

text_buffer displayed_slot_name(const editor_state& state, int slot) {
    text_buffer shown;
    if (slot < 0 || slot >= slot_count) return shown;
    std::lock_guard guard(state.slot_names.lock);
    const std::wstring_view name = state.slot_names.names[slot];
    const size_t slash = name.find_last_of(L"/\\");
    if (name.empty())
        shown.append(L"NO IR SELECTED");
    else
        shown.append(slash == std::wstring_view::npos ? name : name.substr(slash + 1));
    return shown;
}

text_buffer cabinet_title(const editor_state& state, int32_t cabinet) {
    text_buffer title;
    if (cabinet < 0 || cabinet >= cabinet_count) return title;
    const cabinet_entry& entry = state.cabinets[cabinet];
    title.append(entry.name);
    if (entry.is_main != 0) title.append(L" (MAIN)");
    return title;
}

int32_t slot_row_at(int32_t x, int32_t y) {
    if (x < 0 || x >= 250 || y < 194 || y >= 194 + 31 * slot_count) return -1;
    return (y - 194) / 31;
}

void draw_slot_panel(frame& f, const program_record& program) {
    const int32_t H = f.height;
    const int32_t channel = read_value(program, amp_value::channel);
    const int32_t slot = read_value(program, amp_value::ir_slot, channel_slot_index(channel));
    const bool bypassed = read_value(program, amp_value::ir_bypass) != 0;

    draw_box(f, {0, 41, 250, H - 41}, 0, colour_panel);
    draw_box(f, {0, 41, 250, 120}, 0, colour_panel);
    draw_diagram(f, slot, bypassed);
    draw_box(f, {0, 161, 250, 33}, 0, colour_header);
    draw_text(f, {33, 161, 250, 195}, colour_heading, text_style::large, align_leading,
              valign_centre, slot_panel_title);
    draw_mask(f, {4, 166, 23, 23}, picture::icon_virtual_cab, colour_heading);
    draw_box(f, {229, 171, 14, 14}, 7, bypassed ? colour_panel : colour_light);

    for (int k = 0; k < slot_count; ++k) draw_slot_row(f, k, slot);
    draw_panel_footer(f);
}

void draw_cabinet_page(frame& f) {
    const int32_t H = f.height;
    const int32_t selected = f.state.factory_cabinet;
    draw_box(f, {250, 41, 250, H - 62}, 0, colour_background);
    draw_box(f, {250, 0, 250, 42}, 0, colour_panel);
    draw_page_buttons(f);

    const bool title_hovered = control(f, id_cabinet_title, {290, 0, 170, 41});
    draw_text(f, {260, -1, 490, 41}, hover_colour(title_hovered, colour_white, colour_light),
              text_style::large, align_centre, valign_centre,
              cabinet_title(f.state, selected).view());
    mask_button(f, id_cabinet_prev, {258, 15, 11, 11}, picture::arrow_left, colour_white,
                colour_mid);
    mask_button(f, id_cabinet_next, {481, 15, 11, 11}, picture::arrow_right, colour_white,
                colour_mid);

    if (f.state.cabinet_list_open != 0) {
        draw_cabinet_list(f, selected);
    } else if (selected >= 0 && selected < cabinet_count) {
        draw_text(f, {258, 49, 492, 284}, colour_mid, text_style::large, align_leading, valign_top,
                  f.state.cabinets[selected].description, text_flow::wrapped);
        const ir_plot& plot = f.ui.factory_plots[selected];
        if (plot.ready) {
            draw_waveform(f, plot, {258, 300, 234, 110});
            draw_response(f, plot, {258, 440, 234, 140});
        }
    }

    draw_box(f, {250, 0, 1, H - 21}, 0, colour_hairline);
    draw_box(f, {500, 0, 1, H - 21}, 0, colour_hairline);
    draw_box(f, {0, 41, 500, 1}, 1, colour_hairline);
}

} // namespace nimba
