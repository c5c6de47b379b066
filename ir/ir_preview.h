// Fills the preview's and the plots' records (core/ir_preview.h): the file converted with the
// preview's choices, its response and figures. GUI thread (or nimba-cli's ir-info).
#pragma once

#include <span>

#include "core/ir_preview.h"

namespace nimba {

// The plot of 48 kHz samples: the samples and the response against the factory median.
void plot_ir(ir_plot& plot, std::span<const float> samples);

// Converts preview.file with preview.choices and fills the refusal or the plot and figures;
// clears `stale`.
void shape_preview(ir_preview& preview);

} // namespace nimba
