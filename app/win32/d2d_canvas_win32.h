// The main window's drawing resources (Direct2D factory, window render target, brush,
// DirectWrite formats and ellipsis signs, bitmap caches) and the canvas that draws with them.
// GUI thread only: the factory is single-threaded. Windows builds only.
#pragma once

#include <cstdint>
#include <functional>

#include "core/draw/canvas.h"

struct HWND__;

namespace nimba {

struct d2d_drawing;

// How often each resource was made; read by tests and the benchmark.
struct d2d_counters {
    int32_t render_targets = 0;
    int32_t brushes = 0;
    int32_t text_formats = 0;
    int32_t ellipsis_signs = 0;
    int32_t bitmaps = 0;      // colour pictures turned into bitmaps
    int32_t tinted_masks = 0; // masks turned into tinted bitmaps
    int32_t device_losses = 0;
    int32_t passes = 0; // passes that reached the draw callback
};

enum class paint_outcome {
    drawn,       // the callback ran and the pass was presented
    no_target,   // the render target or the brush could not be made; nothing was drawn
    device_lost, // the device went away; every device resource is made again next pass
    failed,      // EndDraw reported another error
};

// Makes the single-threaded Direct2D factory. Null when it cannot be made. Nothing
// device-dependent is made until the first pass after a window is attached. It lives to the
// end of the process, like the window it draws into.
d2d_drawing* create_d2d_drawing();

// The window the render target draws into; set once, before the first pass.
void attach_window(d2d_drawing& drawing, HWND__* window);

// The canvas the passes draw with; valid only inside a pass's callback.
canvas& drawing_canvas(d2d_drawing& drawing);

// One drawing pass: makes whatever is missing, begins drawing with the identity transform,
// reads the view size, runs `draw` with the canvas and ends drawing. The target is not cleared.
paint_outcome paint_pass(d2d_drawing& drawing, const std::function<void(canvas&)>& draw);

// Drops the render target, the brush and every cached bitmap; the next pass makes them again.
void drop_device_resources(d2d_drawing& drawing);

bool has_render_target(const d2d_drawing& drawing);
void resize_render_target(d2d_drawing& drawing, uint32_t width, uint32_t height);
void set_render_target_dpi(d2d_drawing& drawing, float dpi);
// The render target's horizontal DPI; 96 when there is none.
float render_target_dpi(const d2d_drawing& drawing);

// On (the default) each bitmap is made once per render target and reused; off makes and
// releases it in every draw call (kept for the benchmark's comparison).
void set_bitmap_caching(d2d_drawing& drawing, bool on);

d2d_counters counters(const d2d_drawing& drawing);

} // namespace nimba
