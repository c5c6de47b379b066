// Cairo and pango behind the canvas seam (the Linux edition): the pango context with the three
// text layouts, the picture and mask surfaces made once per blob, and the canvas that draws
// with them onto a cairo context. GUI thread only: pango's default font map belongs to it.
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
    int32_t passes = 0;   // passes that reached the draw callback
};

// Picks the font family and makes the pango context and the text layouts. No surface is made
// until a pass draws a picture or a mask.
cairo_drawing_ptr create_cairo_drawing();

// The family the text is set in: the first of Segoe UI Semibold, Segoe UI, Tahoma and DejaVu
// Sans (its condensed cut) that the system has, else the first family it has.
const char* font_family(const cairo_drawing& drawing);

// One drawing pass onto `cr`, whose user space is in drawing units: the cr of a
// GtkDrawingArea's draw function already is at any scale factor (GTK applies the widget's
// scale), and an image surface for scale s carries it as cairo_surface_set_device_scale(s, s)
// (see view_surface). width x height is the view in drawing units. Runs `draw` with the canvas
// and leaves the cr's state as it found it. The target is not cleared.
void paint_pass(cairo_drawing& drawing, cairo_t* cr, int32_t width, int32_t height,
                const std::function<void(canvas&)>& draw);

// An ARGB32 image surface of (width * scale) x (height * scale) pixels whose user space is
// width x height drawing units; the caller destroys it. For off-screen frames (tests,
// benchmarks, screenshots).
cairo_surface_t* view_surface(int32_t width, int32_t height, int32_t scale);

// Drops every cached surface; the next pass makes them again.
void drop_surfaces(cairo_drawing& drawing);

// On (the default) each surface is made once per blob and reused; off makes and destroys it in
// every draw call (kept for the benchmark's comparison).
void set_surface_caching(cairo_drawing& drawing, bool on);

cairo_counters counters(const cairo_drawing& drawing);

} // namespace nimba
