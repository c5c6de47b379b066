// ir-info's --plot on the cairo canvas.
#include "tools/cli_plot.h"

#include <cairo.h>

#include <memory>
#include <vector>

#include "core/draw/cairo_canvas_gtk.h"
#include "core/file_access.h"
#include "ui/ir_preview_panel.h"
#include "ui/palette.h"

namespace nimba {

namespace {

cairo_status_t append_png(void* closure, const unsigned char* data, unsigned int length) {
    auto& png = *static_cast<std::vector<uint8_t>*>(closure);
    png.insert(png.end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::string write_preview_png(const ir_preview& preview, const std::wstring& path) {
    const auto state = std::make_unique<editor_state>();
    ui_context ui;
    const cairo_drawing_ptr drawing = create_cairo_drawing();
    cairo_surface_t* surface = view_surface(preview_panel_width, preview_panel_height, 1);
    cairo_t* cr = cairo_create(surface);
    paint_pass(*drawing, cr, preview_panel_width, preview_panel_height, 1, [&](canvas& target) {
        frame f{*state, target, ui, preview_panel_width, preview_panel_height, colour_accent_blue};
        draw_preview_panel(f, preview, 0, 0);
    });
    cairo_destroy(cr);
    std::vector<uint8_t> png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, append_png, &png);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) return cairo_status_to_string(status);
    return write_file_safely(path, png);
}

} // namespace nimba
