// The preview panel and the IR plots.
#include "ui/ir_preview_panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "ui/control_table.h"
#include "ui/palette.h"
#include "ui/text_buffer.h"

namespace nimba {

namespace {

constexpr float plot_top_db = 18.0f; // the response axis, in dB against the factory median
constexpr float plot_bottom_db = -42.0f;
constexpr size_t plot_samples = 4096; // the waveform's time axis: the longest IR

// A number with one decimal and its sign, as "+1.5" or "-12.0"; "-INF" for minus infinity.
text_buffer signed_decimal(double value) {
    text_buffer t;
    if (!std::isfinite(value)) return t.append(value < 0 ? L"-INF" : L"INF"), t;
    const auto tenths = static_cast<int64_t>(std::lround(std::fabs(value) * 10.0));
    t.append(value < 0 && tenths != 0 ? L"-" : L"+")
        .append_decimal(tenths / 10)
        .append(L".")
        .append_decimal(tenths % 10);
    return t;
}

void draw_frame(frame& f, rect r) {
    draw_box(f, r, 0, colour_background);
    draw_box(f, {r.x, r.y, r.width, 1}, 0, colour_off);
    draw_box(f, {r.x, r.y + r.height - 1, r.width, 1}, 0, colour_off);
    draw_box(f, {r.x, r.y, 1, r.height}, 0, colour_off);
    draw_box(f, {r.x + r.width - 1, r.y, 1, r.height}, 0, colour_off);
}

void label(frame& f, int32_t x, int32_t y, int32_t width, int32_t h_align, std::wstring_view text) {
    draw_text(f, {x, y, x + width, y + 14}, colour_mid, text_style::small, h_align, valign_centre,
              text);
}

int32_t response_y(rect r, float db) {
    const float t = (plot_top_db - std::clamp(db, plot_bottom_db, plot_top_db)) /
                    (plot_top_db - plot_bottom_db);
    return r.y + 1 + static_cast<int32_t>(t * static_cast<float>(r.height - 3));
}

// The response at column c of w, interpolated between the plot's points.
float response_at(const ir_plot& plot, int32_t c, int32_t w) {
    const float p = static_cast<float>(c) * (ir_plot_points - 1) / static_cast<float>(w - 1);
    const auto i = std::min(static_cast<int32_t>(p), ir_plot_points - 2);
    const float t = p - static_cast<float>(i);
    return plot.response_db[i] * (1.0f - t) + plot.response_db[i + 1] * t;
}

// The x of frequency `hz` in r.
int32_t frequency_x(rect r, double hz) {
    const double t = std::log(hz / ir_plot_low_hz) / std::log(ir_plot_high_hz / ir_plot_low_hz);
    return r.x + static_cast<int32_t>(t * (r.width - 1));
}

void draw_switch_row(frame& f, int32_t x, int32_t y, std::wstring_view caption, int32_t first_id,
                     std::initializer_list<std::wstring_view> options, int32_t chosen) {
    draw_text(f, {x, y - 2, x + 90, y + 27}, colour_light, text_style::regular, align_leading,
              valign_centre, caption);
    int32_t k = 0;
    for (std::wstring_view option : options) {
        const rect r{x + 90 + 100 * k, y, 92, 25};
        const bool on = k == chosen;
        const bool hov = control(f, first_id + k, r);
        draw_box(f, r, 12, on ? f.accent : hover_colour(hov, colour_dim, colour_row_odd));
        draw_text(f, {r.x, r.y - 2, r.x + r.width, r.y + r.height},
                  on ? colour_white : colour_light, text_style::regular, align_centre,
                  valign_centre, option);
        ++k;
    }
}

void draw_figures(frame& f, const ir_preview& preview, int32_t x, int32_t y) {
    const size_t length = preview.plot.samples.size();
    text_buffer figures;
    const auto tenths_ms = static_cast<int64_t>(length * 10000 / 48000);
    figures.append(L"LENGTH ")
        .append_decimal(tenths_ms / 10)
        .append(L".")
        .append_decimal(tenths_ms % 10)
        .append(L" MS   (")
        .append_decimal(static_cast<int64_t>(length))
        .append(L" SAMPLES)      PEAK ")
        .append(signed_decimal(preview.peak_dbfs).view())
        .append(L" DBFS      LEVEL ")
        .append(signed_decimal(preview.level_db).view())
        .append(L" DB AGAINST THE FACTORY MEDIAN");
    draw_text(f, {x, y, x + preview_panel_width - 32, y + 20}, colour_heading, text_style::regular,
              align_leading, valign_centre, figures.view());
    if (preview.shortfall_db > 0.0) {
        text_buffer short_of;
        if (std::isfinite(preview.shortfall_db))
            short_of.append(L"MATCHING STOPPED AT A PEAK OF 1.0: ")
                .append(signed_decimal(preview.shortfall_db).view().substr(1))
                .append(L" DB SHORT OF THE FACTORY MEDIAN");
        else
            short_of.append(L"A SILENT IR CANNOT BE MATCHED");
        draw_text(f, {x, y + 20, x + preview_panel_width - 32, y + 40}, colour_white,
                  text_style::regular, align_leading, valign_centre, short_of.view());
    }
}

} // namespace

rect preview_panel_place(int32_t view_width, int32_t view_height) {
    const int32_t x = 250 + std::max(0, (view_width - 250 - preview_panel_width) / 2);
    const int32_t y = 41 + std::max(0, (view_height - 62 - preview_panel_height) / 2);
    return {x, y, preview_panel_width, preview_panel_height};
}

void draw_waveform(frame& f, const ir_plot& plot, rect r) {
    draw_frame(f, r);
    const int32_t mid = r.y + r.height / 2;
    const int32_t half = r.height / 2 - 2;
    for (int32_t ms = 20; ms <= 80; ms += 20) {
        const int32_t gx = r.x + static_cast<int32_t>(ms * 48 * (r.width - 1) / plot_samples);
        draw_box(f, {gx, r.y + 1, 1, r.height - 2}, 0, colour_panel);
    }
    draw_box(f, {r.x + 1, mid, r.width - 2, 1}, 0, colour_off);
    const size_t count = std::min(plot.samples.size(), plot_samples);
    const auto columns = static_cast<size_t>(std::max(r.width - 2, 1));
    for (size_t c = 0; c < columns; ++c) {
        const size_t first = c * plot_samples / columns;
        const size_t last = std::min((c + 1) * plot_samples / columns, count);
        if (first >= count) break;
        float low = plot.samples[first], high = low;
        for (size_t i = first + 1; i < last; ++i) {
            low = std::min(low, plot.samples[i]);
            high = std::max(high, plot.samples[i]);
        }
        const auto top = mid - static_cast<int32_t>(std::clamp(high, -1.0f, 1.0f) * half);
        const auto bottom = mid - static_cast<int32_t>(std::clamp(low, -1.0f, 1.0f) * half);
        draw_box(f, {r.x + 1 + static_cast<int32_t>(c), top, 1, std::max(1, bottom - top + 1)}, 0,
                 f.accent);
    }
    const int32_t below = r.y + r.height + 2;
    label(f, r.x, below, 40, align_leading, L"0 MS");
    for (int32_t ms = 20; ms <= 80; ms += 20) {
        const int32_t gx = r.x + static_cast<int32_t>(ms * 48 * (r.width - 1) / plot_samples);
        text_buffer t;
        t.append_decimal(ms);
        label(f, gx - 20, below, 40, align_centre, t.view());
    }
    label(f, r.x + 4, r.y + 2, 30, align_leading, L"+1");
    label(f, r.x + 4, r.y + r.height - 16, 30, align_leading, L"-1");
}

void draw_response(frame& f, const ir_plot& plot, rect r) {
    draw_frame(f, r);
    for (float db = plot_top_db - 6; db > plot_bottom_db; db -= 12)
        draw_box(f, {r.x + 1, response_y(r, db), r.width - 2, 1}, 0,
                 db == 0.0f ? colour_dim : colour_panel);
    constexpr double decades[] = {100.0, 1000.0, 10000.0};
    for (double hz : decades)
        draw_box(f, {frequency_x(r, hz), r.y + 1, 1, r.height - 2}, 0, colour_panel);
    if (plot.ready) {
        const int32_t w = r.width - 2;
        const uint32_t fill = (f.accent & 0x00FFFFFF) | 0x50000000;
        int32_t previous = response_y(r, response_at(plot, 0, w));
        for (int32_t c = 0; c < w; ++c) {
            const int32_t y = response_y(r, response_at(plot, c, w));
            const int32_t bottom = r.y + r.height - 1;
            if (y + 2 < bottom) draw_box(f, {r.x + 1 + c, y + 2, 1, bottom - y - 2}, 0, fill);
            const int32_t top = std::min(previous, y);
            draw_box(f, {r.x + 1 + c, top, 1, std::max(previous, y) - top + 2}, 0, colour_white);
            previous = y;
        }
    }
    const int32_t below = r.y + r.height + 2;
    constexpr std::wstring_view decade_names[] = {L"100 HZ", L"1 KHZ", L"10 KHZ"};
    for (int i = 0; i < 3; ++i)
        label(f, frequency_x(r, decades[i]) - 30, below, 60, align_centre, decade_names[i]);
    label(f, r.x, below, 40, align_leading, L"20");
    for (float db = plot_top_db - 6; db > plot_bottom_db; db -= 12) {
        text_buffer t;
        t.append(db > 0 ? L"+" : L"").append_decimal(static_cast<int64_t>(db));
        label(f, r.x + 4, response_y(r, db) - 14, 40, align_leading, t.view());
    }
}

void draw_preview_panel(frame& f, const ir_preview& preview, int32_t x, int32_t y) {
    const int32_t W = preview_panel_width, H = preview_panel_height;
    draw_box(f, {x, y, W, H}, 0, colour_panel);
    draw_box(f, {x, y, W, 40}, 0, colour_header);
    text_buffer title;
    title.append(L"IMPORT INTO SLOT ").append_decimal(preview.slot);
    draw_text(f, {x + 16, y, x + 260, y + 40}, colour_heading, text_style::large, align_leading,
              valign_centre, title.view());
    draw_text(f, {x + 260, y, x + W - 16, y + 40}, colour_mid, text_style::regular, align_trailing,
              valign_centre, preview.name);

    const rect waveform{x + 16, y + 72, 340, 220};
    const rect response{x + W - 356, y + 72, 340, 220};
    label(f, waveform.x, y + 52, 200, align_leading, L"WAVEFORM");
    label(f, response.x, y + 52, 340, align_leading,
          L"MAGNITUDE RESPONSE, DB AGAINST THE FACTORY MEDIAN");
    if (preview.refusal.empty()) {
        draw_waveform(f, preview.plot, waveform);
        draw_response(f, preview.plot, response);
        draw_figures(f, preview, x + 16, y + 318);
    } else {
        text_buffer refused;
        refused.append(L"IMPORT REFUSED: ");
        for (char ch : preview.refusal) {
            const auto upper = static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(ch)));
            refused.append({&upper, 1});
        }
        draw_text(f, {x + 16, y + 72, x + W - 16, y + 292}, colour_white, text_style::large,
                  align_leading, valign_top, refused.view(), text_flow::wrapped);
    }

    const int32_t rows = y + 380;
    draw_switch_row(f, x + 16, rows, L"CHANNEL", id_preview_channel0, {L"LEFT", L"RIGHT", L"BOTH"},
                    static_cast<int32_t>(preview.choices.channel));
    draw_switch_row(f, x + 16, rows + 36, L"LEVEL", id_preview_level0, {L"AS FILE", L"MATCHED"},
                    static_cast<int32_t>(preview.choices.level));
    draw_switch_row(f, x + 16, rows + 72, L"TAIL", id_preview_tail0, {L"CUT", L"FADE"},
                    static_cast<int32_t>(preview.choices.tail));

    const int32_t buttons = y + H - 44;
    const bool cancel_hovered = box_button(f, id_preview_cancel, {x + W - 246, buttons, 110, 27},
                                           13, colour_light, colour_row_odd);
    draw_text(f, {x + W - 246, buttons - 4, x + W - 136, buttons + 30},
              hover_colour(cancel_hovered, colour_panel, colour_light), text_style::regular,
              align_centre, valign_centre, L"CANCEL");
    const bool can_send = preview.refusal.empty();
    box_button(f, id_preview_send, {x + W - 127, buttons, 111, 27}, 13,
               can_send ? colour_white : colour_off, can_send ? colour_light : colour_off);
    draw_text(f, {x + W - 127, buttons - 4, x + W - 16, buttons + 30},
              can_send ? colour_panel : colour_dim, text_style::regular, align_centre,
              valign_centre, L"SEND");
}

} // namespace nimba
