// Cairo and pango behind the canvas seam (the Linux edition): the pango context with the three
// text layouts, the picture and mask surfaces made once per blob and kept stretched to where the
// last pass drew them, and the canvas that draws with them onto a cairo context.
// GUI thread only: pango's default font map belongs to it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "core/draw/canvas.h"

namespace nimba {

struct cairo_drawing;
struct cairo_drawing_deleter {
    void operator()(cairo_drawing* drawing) const;
};
using cairo_drawing_ptr = std::unique_ptr<cairo_drawing, cairo_drawing_deleter>;

// How often each resource was made; read by tests and the benchmark.
struct cairo_counters {
    int32_t pictures = 0; // "RI" pictures turned into ARGB32 surfaces
    int32_t masks = 0;    // "RM" masks turned into A8 surfaces
    int32_t placed = 0;   // pictures and masks stretched to a new place, size or scale
    int32_t passes = 0;   // passes that reached the draw callback
};

// Picks the font family (the first of Segoe UI Semibold, Segoe UI, Tahoma and DejaVu Sans, in
// its condensed cut, that the system has; else the first family it has) and makes the pango
// context and the text layouts. No surface is made until a pass draws a picture or a mask.
cairo_drawing_ptr create_cairo_drawing();

// One drawing pass onto `cr`, whose user space is in drawing units, and whose target has
// `scale` pixels to a drawing unit (GTK's integer scale factor; 1 when below 1). A
// GtkDrawingArea's draw function gives such a cr (GTK applies the widget's scale factor
// itself); an off-screen frame uses view_surface. width x height is the view in drawing units.
// Runs `draw` with the canvas (valid only inside it) and leaves the cr's state as it found it;
// the target is not cleared. Pictures and masks drawn at the same place, size and scale as in
// the pass before are copied from their stretched pixels, pixel for pixel when the cr's origin
// is on a pixel.
void paint_pass(cairo_drawing& drawing, cairo_t* cr, int32_t width, int32_t height, int32_t scale,
                const std::function<void(canvas&)>& draw);

// An ARGB32 image surface of (width * scale) x (height * scale) pixels whose user space is
// width x height drawing units; the caller destroys it. For off-screen frames (tests,
// benchmarks, screenshots).
cairo_surface_t* view_surface(int32_t width, int32_t height, int32_t scale);

// Drops every cached surface; the next pass makes them again.
void drop_surfaces(cairo_drawing& drawing);

// On (the default) each surface is made once per blob and reused, and pictures and masks are
// kept stretched; off makes and destroys the surface in every draw call and stretches the picture
// as it draws (kept for the benchmark's comparison).
void set_surface_caching(cairo_drawing& drawing, bool on);

cairo_counters counters(const cairo_drawing& drawing);

} // namespace nimba
