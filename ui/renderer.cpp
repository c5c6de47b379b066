// The screen renderer: frame set-up, the amplifier picture, top bar, switch row, status bar,
// status texts with the veil, and the link pill. The slot panel and the cabinet page are
// drawn by slot_panel.cpp inside the same pass.
#include "ui/renderer.h"

#include <algorithm>
#include <cmath>

#include "ui/controls.h"
#include "ui/librarian_panel.h"
#include "ui/palette.h"
#include "ui/slot_panel.h"
#include "ui/text_buffer.h"

namespace nimba {

namespace {

constexpr int32_t picture_width = 1400;
constexpr int32_t picture_height = 1200;

// Render targets are far smaller than this; the bound keeps every sum below in 32 bits and
// every float-to-int conversion in range whatever size the canvas reports.
constexpr int32_t largest_view = 1 << 16;

struct dot_place {
    int32_t x, y;
};
constexpr dot_place ir_dots[slot_count] = {{1040, 331}, {1054, 342}, {1045, 364},
                                           {1030, 368}, {1018, 351}, {1022, 336}};
constexpr dot_place channel_lamps[3] = {{793, 383}, {848, 383}, {408, 383}};

// The covering drawn over the amplifier for each tolex colour; BLACK is the picture's own.
constexpr picture tolex_overlays[] = {picture::count,           picture::tolex_snake_skin,
                                      picture::tolex_purple,    picture::tolex_red,
                                      picture::tolex_turquoise, picture::tolex_white};
static_assert(std::size(tolex_overlays) == row_of(amp_value::tolex_colour).high + 1);

void copy_from_channel_picture(frame& f, const amplifier_placement& at, blob source, dot_place from,
                               int32_t size) {
    f.target.picture_part(from.x, from.y, size, size, at.x0 + from.x, at.y0 + from.y, size, size,
                          source);
}

void draw_amplifier(frame& f, const program_record& program) {
    const auto [amplifier, overlay, channel_picture] =
        pictures_drawn(f.state.tolex_colour, program);
    const amplifier_placement at = place_amplifier(f.width, f.height);
    f.target.set_scale(at.scale);
    f.target.picture(at.x0, at.y0, picture_width, picture_height, picture_blob(amplifier));
    if (overlay != picture::count)
        f.target.picture(at.x0, at.y0, picture_width, picture_height, picture_blob(overlay));

    const blob source = picture_blob(channel_picture);
    copy_from_channel_picture(f, at, source, {1030, 342}, 24);
    const int32_t channel = read_value(program, amp_value::channel);
    if (read_value(program, amp_value::ir_bypass) == 0) {
        const int32_t slot = read_value(program, amp_value::ir_slot, channel_slot_index(channel));
        copy_from_channel_picture(f, at, source, ir_dots[slot], 10);
    }
    copy_from_channel_picture(f, at, source, channel_lamps[channel], 10);
    f.target.set_scale(1);
}

void draw_top_bar(frame& f) {
    const int32_t W = f.width;
    const int32_t d = (W + 30) / 2;
    draw_box(f, {0, 0, 250, 41}, 0, colour_header);
    draw_mask(f, {8, 9, 129, 20}, picture::logo, colour_white);
    mask_button(f, id_store, {217, 9, 23, 23}, picture::icon_store, colour_white, colour_light);

    draw_box(f, {W - 126, 7, 120, 27}, 13, colour_panel);
    text_buffer midi;
    const int32_t midi_channel = value_in_range(amp_value::midi_channel, f.state.midi_channel);
    if (midi_channel == 0)
        midi.append(L"OMNI");
    else
        midi.append_decimal(midi_channel);
    draw_text(f, {W - 109, 3, W - 50, 37}, colour_light, text_style::regular, align_centre,
              valign_centre, midi.view());
    draw_mask(f, {W - 34, 9, 23, 23}, picture::icon_midi, colour_mid);
    mask_button(f, id_midi_down, {W - 117, 15, 11, 11}, picture::arrow_left, colour_white,
                colour_mid);
    mask_button(f, id_midi_up, {W - 53, 15, 11, 11}, picture::arrow_right, colour_white,
                colour_mid);

    const rect pill{d, 7, 220, 27};
    draw_box(f, pill, 13, colour_panel);
    control(f, id_program_pill, pill);
    text_buffer number;
    number.append_decimal(f.state.program);
    draw_text(f, {d + 150, 3, d + 200, 37}, colour_white, text_style::large, align_centre,
              valign_centre, number.view());
    draw_text(f, {d + 25, 3, d + 160, 37}, colour_light, text_style::large, align_centre,
              valign_centre, L"PROGRAM CHANGE");
    mask_button(f, id_program_down, {d + 11, 15, 11, 11}, picture::arrow_left, colour_white,
                colour_mid);
    mask_button(f, id_program_up, {d + 198, 15, 11, 11}, picture::arrow_right, colour_white,
                colour_mid);
}

// A switch: track, pill (the control), knob and label, all boxes of radius 10 at y = 51.
struct switch_look {
    int32_t id;
    rect track;
    int32_t pill_width;
    uint32_t pill_colour;
    int32_t knob_offset;
    uint32_t knob_colour;
    uint32_t knob_hover_colour;
    int32_t label_left, label_right;
    std::wstring_view label;
};

void draw_switch(frame& f, const switch_look& s) {
    draw_box(f, s.track, 10, colour_panel);
    const rect pill{s.track.x, 51, s.pill_width, 20};
    const bool is_hovered = control(f, s.id, pill);
    draw_box(f, pill, 10, s.pill_colour);
    draw_box(f, {s.track.x + s.knob_offset, 51, 20, 20}, 10,
             hover_colour(is_hovered, s.knob_hover_colour, s.knob_colour));
    draw_text(f, {s.label_left, 50, s.label_right, 71}, colour_light, text_style::small,
              align_centre, valign_centre, s.label);
}

int32_t switch_offset(int32_t value) {
    return value == 1 ? 20 : value == 2 ? 40 : 0;
}

void draw_switch_row(frame& f, const program_record& program) {
    const int32_t e = (f.width - 650) / 2;
    const int32_t channel = read_value(program, amp_value::channel);
    const bool editable = channel < 2;
    const int32_t mode = read_value(program, amp_value::channel_mode, channel);
    const bool bypassed = read_value(program, amp_value::ir_bypass) == 1;

    const int32_t channel_knob = channel == 0 ? 20 : channel == 1 ? 40 : 0;
    draw_switch(f, {id_channel,
                    {e + 250, 51, 125, 21},
                    60,
                    f.accent,
                    channel_knob,
                    colour_white,
                    colour_white,
                    e + 293,
                    e + 388,
                    L"CHANNEL"});
    const uint32_t galaxy_knob = editable ? colour_white : colour_light;
    draw_switch(f, {id_galaxy,
                    {e + 400, 51, 125, 20},
                    60,
                    editable ? f.accent : colour_off,
                    switch_offset(mode),
                    galaxy_knob,
                    galaxy_knob,
                    e + 443,
                    e + 538,
                    L"GALAXY"});
    draw_switch(f, {id_ir_bypass,
                    {e + 550, 51, 105, 20},
                    40,
                    bypassed ? f.accent : colour_off,
                    bypassed ? 20 : 0,
                    bypassed ? colour_white : colour_light,
                    colour_white,
                    e + 583,
                    e + 658,
                    L"IR BYPASS"});
}

// A text of the status bar's live part (link, outcome, progress): drawn, and kept in the
// pass's status texts for assistive technology.
void draw_status_text(frame& f, edges box, uint32_t colour, int32_t h_align,
                      std::wstring_view text) {
    draw_text(f, box, colour, text_style::regular, h_align, valign_centre, text);
    if (text.empty()) return;
    if (f.ui.status.length > 0) f.ui.status.append(L", ");
    f.ui.status.append(text);
}

void draw_status_bar(frame& f) {
    const int32_t W = f.width, H = f.height;
    draw_box(f, {0, H - 21, W, 21}, 0, f.accent);
    draw_text(f, {W - 180, H - 22, W - 100, H}, colour_white, text_style::small, align_leading,
              valign_centre, L"POWERED BY");
    draw_mask(f, {W - 105, H - 15, 93, 9}, picture::maker_mark, colour_white);
}

text_buffer version_text(uint16_t version) {
    text_buffer t;
    t.append(L"FIRMWARE VERSION ").append_ascii(firmware_version_text(version));
    return t;
}

// The outcome line, in the version's place and style, as wide as the bar allows before
// "POWERED BY".
void draw_outcome(frame& f, std::wstring_view outcome) {
    draw_status_text(f, {10, f.height - 22, f.width - 190, f.height}, colour_white, align_leading,
                     outcome);
}

std::wstring_view walk_text(int32_t walk) {
    switch (walk) {
    case walk_restore_read:
        return L"READING ALL PROGRAMS...";
    case walk_restore_write:
        return L"RESTORING PROGRAMS...";
    default:
        return L"BACKING UP ALL PROGRAMS...";
    }
}

void draw_status_texts(frame& f, std::wstring_view outcome) {
    const int32_t W = f.width, H = f.height;
    const int32_t link_status = f.state.link_status;
    const int32_t page = f.state.ir_slot_choice;
    const uint16_t device_version = f.state.device_firmware_version;
    const int32_t progress = f.state.progress;
    // Programs walked (the backup before an update) show their own percentage and line.
    const bool programs = progress >= progress_programs;
    // A transfer, a store or a walk through the programs under way keeps its progress in view;
    // any other left text gives way to the outcome line.
    const bool under_way = progress == progress_storing || (progress >= 0 && progress < 100) ||
                           (programs && progress < progress_programs + 100);
    const bool outcome_in_place = !outcome.empty() && !under_way;
    if (link_status == link_connected && page < 1) {
        if (outcome_in_place)
            draw_outcome(f, outcome);
        else
            draw_status_text(f, {10, H - 22, 290, H}, colour_white, align_leading,
                             version_text(device_version).view());
        return;
    }
    if (link_status != link_connected && page < 1)
        draw_box(f, {0, 0, W, H - 21}, 0, colour_veil);
    else
        draw_box(f, {250, 0, W - 250, H - 21}, 0, colour_veil);

    const bool percent =
        progress >= 0 && progress != progress_storing && progress != progress_reading;
    if (outcome_in_place) {
        draw_outcome(f, outcome);
    } else if (progress == progress_storing) {
        draw_status_text(f, {10, H - 22, 90, H}, colour_white, align_leading, L"STORING...");
    } else if (progress == progress_reading) {
        draw_status_text(f, {10, H - 22, 90, H}, colour_white, align_leading, L"READING...");
    } else if (percent) {
        text_buffer text;
        text.append_decimal(programs ? progress - progress_programs : progress).append(L"%");
        draw_status_text(f, {10, H - 22, 90, H}, colour_white, align_leading, text.view());
    } else if (link_status != link_no_device) {
        draw_status_text(f, {10, H - 22, 290, H}, colour_white, align_leading,
                         version_text(device_version).view());
    }
    if (percent && programs)
        draw_status_text(f, {10, H - 22, W, H}, colour_white, align_centre,
                         walk_text(f.state.walk));
    else if (percent && f.state.available_firmware_version > device_version)
        draw_status_text(f, {10, H - 22, W, H}, colour_white, align_centre,
                         L"UPDATE IN PROGRESS... DO NOT POWER DOWN");
}

void draw_link_pill(frame& f) {
    const int32_t link_status = f.state.link_status;
    const bool present = link_status != link_no_device;
    draw_box(f, {260, 7, 120, 27}, 13, present ? colour_light : colour_panel);
    const std::wstring_view text = link_status == link_no_device ? L"NO DEVICE"
                                   : link_status == link_error   ? L"ERROR"
                                                                 : L"CONNECTED";
    draw_status_text(f, {260, 3, 360, 37}, present ? colour_panel : colour_light, align_centre,
                     text);
    draw_mask(f, {352, 9, 23, 23}, picture::icon_link, present ? colour_panel : colour_mid);
}

} // namespace

channel_look channel_look_of(const program_record& program) {
    const int32_t channel = read_value(program, amp_value::channel);
    if (channel == 2) return {colour_accent_green, picture::channel_green};
    switch (read_value(program, amp_value::channel_mode, channel)) {
    case 0:
        return {colour_accent_blue, picture::channel_blue};
    case 1:
        return {colour_accent_violet, picture::channel_violet};
    default:
        return {colour_accent_red, picture::channel_red};
    }
}

std::array<picture, 3> pictures_drawn(int32_t tolex_colour, const program_record& program) {
    return {picture::amplifier,
            tolex_overlays[value_in_range(amp_value::tolex_colour, tolex_colour)],
            channel_look_of(program).channel_picture};
}

amplifier_placement place_amplifier(int32_t view_width, int32_t view_height) {
    const int32_t W = std::clamp(view_width, 0, largest_view);
    const int32_t H = std::clamp(view_height, 0, largest_view);
    const float pw = picture_width, ph = picture_height;
    const float s = std::min(1.0f, 1.0f / (pw / static_cast<float>(W + 120)));
    const int32_t left = static_cast<int32_t>((static_cast<float>(W - 250) - pw * s) * 0.5f + 250);
    const int32_t x0 = static_cast<int32_t>(static_cast<float>(left) / s);
    int32_t y0;
    if (static_cast<int32_t>(ph * s) < H - 80)
        y0 = static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(H - ph * s)) / s);
    else
        y0 = static_cast<int32_t>(80 / s);
    return {s, x0, y0};
}

void render_screen(editor_state& state, ui_context& ui, std::wstring_view outcome) {
    const program_record& program = current_program(state);
    const channel_look look = channel_look_of(program);
    ui.accent = look.accent;
    ui.focus_ring = {};
    ui.status = {};
    canvas& target = *ui.target;
    frame f{state,
            target,
            ui,
            std::clamp(target.view_width(), 0, largest_view),
            std::clamp(target.view_height(), 0, largest_view),
            look.accent};

    draw_box(f, {0, 0, f.width, f.height}, 0, colour_background);
    draw_amplifier(f, program);
    draw_top_bar(f);
    draw_switch_row(f, program);
    draw_slot_panel(f, program);
    draw_librarian_rows(f);
    draw_status_bar(f);
    draw_status_texts(f, outcome);
    draw_link_pill(f);
    if (state.ir_slot_choice >= 1) draw_cabinet_page(f);
    draw_restore_question(f);
    draw_focus_ring(f);
}

} // namespace nimba
