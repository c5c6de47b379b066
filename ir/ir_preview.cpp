// The preview's conversion and the plots' response.
#include "ir/ir_preview.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ir/ir_import.h"
#include "ir/ir_level.h"

namespace nimba {

void plot_ir(ir_plot& plot, std::span<const float> samples) {
    const double median = factory_median_level_db();
    const double low = std::log(ir_plot_low_hz), span = std::log(ir_plot_high_hz) - low;
    plot.samples.assign(samples.begin(), samples.end());
    const std::vector<double> spectrum = ir_power_spectrum(samples);
    for (int i = 0; i < ir_plot_points; ++i) {
        // Linear between the two bins around the point's frequency.
        const double bin = std::exp(low + span * i / (ir_plot_points - 1)) / spectrum_bin_hz;
        const auto k = static_cast<size_t>(bin);
        const double t = bin - static_cast<double>(k);
        const double power =
            spectrum[k] * (1.0 - t) + spectrum[std::min(k + 1, spectrum.size() - 1)] * t;
        // 1e-12: a response 120 dB down is drawn at the floor rather than at minus infinity.
        plot.response_db[i] = static_cast<float>(10.0 * std::log10(power + 1e-12) - median);
    }
    plot.ready = true;
}

void shape_preview(ir_preview& preview) {
    preview.stale = false;
    ir_conversion ir;
    if (!preview.read_error.empty()) {
        ir.rejection = ir_rejection::unreadable;
        ir.read_error = preview.read_error;
    } else {
        ir = convert_wav_to_ir(preview.file, preview.choices);
    }
    if (ir.rejection != ir_rejection::none) {
        preview.refusal = refusal_text(ir);
        preview.plot = {};
        return;
    }
    preview.refusal.clear();
    plot_ir(preview.plot, ir.samples);
    const float peak = ir_peak(ir.samples);
    preview.peak_dbfs =
        peak > 0.0f ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
    preview.level_db = ir_level_db(ir.samples) - factory_median_level_db();
    preview.shortfall_db = ir.level.shortfall_db;
}

} // namespace nimba
