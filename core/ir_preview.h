// What the import's preview and the cabinet page's plots show of an IR, as plain records: the
// samples, the magnitude response at fixed points from 20 Hz to 20 kHz, and the figures; for
// the preview also the file, the choices and why it was refused. Filled by ir/ir_preview, drawn
// by ui/ir_preview_panel. GUI thread only (nimba-cli's ir-info fills and draws one of its own).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ir_choices.h"

namespace nimba {

inline constexpr int ir_plot_points = 240; // evenly spaced in log frequency
inline constexpr double ir_plot_low_hz = 20.0;
inline constexpr double ir_plot_high_hz = 20000.0;

struct ir_plot {
    bool ready = false;
    std::vector<float> samples;                      // 48 kHz
    std::array<float, ir_plot_points> response_db{}; // |H(f)|^2 in dB against the factory median
};

struct ir_preview {
    bool open = false;
    bool stale = true; // the choices changed since the plot and figures were worked out
    int32_t slot = 0;  // 0..5
    std::wstring name; // the file's name as the slot will show it
    std::vector<uint8_t> file;
    std::string read_error; // why the file could not be read; empty when it was
    ir_choices choices;
    std::string refusal; // why the converted file cannot be sent; empty when it can
    ir_plot plot;
    double peak_dbfs = 0.0;
    double level_db = 0.0;     // against the factory median; minus infinity when silent
    double shortfall_db = 0.0; // matched level stopped at a peak of 1.0 this far short
};

} // namespace nimba
