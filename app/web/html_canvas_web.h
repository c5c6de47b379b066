// The canvas seam on an HTML canvas's 2D context (canvas_web.js does the drawing). The page's
// canvas is sized to the view at the device pixel ratio for each pass. Main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/draw/canvas.h"

namespace nimba {

// One drawing pass onto the page's canvas element (`selector`, a CSS selector), whose view is
// width x height drawing units (CSS pixels) at `pixel_ratio` device pixels each. Runs `draw`
// with the canvas, valid only inside it.
void paint_html_canvas(const char* selector, int32_t width, int32_t height, double pixel_ratio,
                       const std::function<void(canvas&)>& draw);

} // namespace nimba
