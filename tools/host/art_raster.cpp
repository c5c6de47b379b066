// art_raster: turns the SVG artwork under core/assets/art into the editor's pictures
// (premultiplied RGBA colour pictures, 8-bit coverage masks) stored as PNG files, losslessly,
// and on request draws a contact sheet of every picture or a mock of the editor's screen to
// judge the art by eye.
//
//   art_raster <art dir> <out dir>                     write the 29 pictures (<name>.png, the
//                                                      channel pictures as their XOR with the
//                                                      amplifier) and art_digests.inc, the
//                                                      digest of each picture's raw "RI"/"RM"
//                                                      blob for the tests
//   art_raster --contact-sheet <art dir> <out.png>     every picture and mask on one sheet
//   art_raster --preview <art dir> <out.png> [W H tolex channel]
//                                                      the amplifier as the screen shows it
//   art_raster --png <art dir> <name> <out.png>        one picture at full size
//
// Sections: picture table, rendering, blobs, contact sheet, screen preview, main.
#include <cairo.h>
#include <librsvg/rsvg.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/assets/pixel_digest.h"

namespace {

// ---- picture table ----------------------------------------------------------------------

enum class kind { colour, mask };

// How one blob is made from its SVG. A colour picture may be the whole document or one layer
// (an element id) with the parts of the drawing above it cut away. A stylesheet given here
// overrides the SVG's presentation attributes (fill="...", display="none"), which is how the
// SVG marks what a variant changes.
struct art_picture {
    const char* name; // the blob's file name without extension, in the editor's enum order
    const char* svg;
    kind k;
    int width, height;
    const char* layer = nullptr;  // render only this element
    const char* cut_by = nullptr; // then remove whatever this element covers
    std::string stylesheet = {};
    // Stored as the byte-wise XOR of its blob with this earlier picture's: a copy that differs
    // in a few pixels becomes a PNG of nearly nothing but zeros.
    const char* stored_against = nullptr;
};

// The lit parts of the amplifier (class "lit": selector ring, slot dots, channel lamps) are
// hidden in the plain picture and drawn in currentColor, which every element inherits from the
// root (gradient stops included).
std::string lit_in(const char* accent) {
    return std::string("svg{color:") + accent + "} .lit{display:inline}";
}

// Each tolex overlay is the covering layer filled with its own pattern from the amplifier's
// defs, with everything mounted on the covering (panel, grille, corners, handle) cut out.
// The snake skin also shows the covering's scale layer (class "snake").
art_picture tolex(const char* name, const char* paint, const char* more_style = "") {
    return {name,         "amplifier.svg",
            kind::colour, 1400,
            1200,         "#covering",
            "#mounted",   std::string(".tolex{fill:url(#") + paint + ")}" + more_style};
}

std::vector<art_picture> picture_table() {
    return {
        {"amplifier", "amplifier.svg", kind::colour, 1400, 1200},
        tolex("tolex_snake_skin", "tolex-snake", " .snake{display:inline}"),
        tolex("tolex_purple", "tolex-purple"),
        tolex("tolex_red", "tolex-red"),
        tolex("tolex_turquoise", "tolex-turquoise"),
        tolex("tolex_white", "tolex-white"),
        {"channel_blue", "amplifier.svg", kind::colour, 1400, 1200, nullptr, nullptr,
         lit_in("#1e46c8"), "amplifier"},
        {"channel_violet", "amplifier.svg", kind::colour, 1400, 1200, nullptr, nullptr,
         lit_in("#a014b4"), "amplifier"},
        {"channel_red", "amplifier.svg", kind::colour, 1400, 1200, nullptr, nullptr,
         lit_in("#c83228"), "amplifier"},
        {"channel_green", "amplifier.svg", kind::colour, 1400, 1200, nullptr, nullptr,
         lit_in("#28a032"), "amplifier"},
        {"logo", "logo.svg", kind::mask, 258, 40},
        {"icon_store", "icon_store.svg", kind::mask, 46, 46},
        {"icon_midi", "icon_midi.svg", kind::mask, 46, 46},
        {"icon_link", "icon_link.svg", kind::mask, 46, 46},
        {"icon_import", "icon_import.svg", kind::mask, 46, 46},
        {"icon_page", "icon_page.svg", kind::mask, 46, 46},
        {"icon_virtual_cab", "icon_virtual_cab.svg", kind::mask, 46, 46},
        {"icon_custom_shop", "icon_custom_shop.svg", kind::mask, 46, 46},
        {"arrow_left", "arrow_left.svg", kind::mask, 22, 22},
        {"arrow_right", "arrow_right.svg", kind::mask, 22, 22},
        {"diagram_base", "diagram.svg", kind::mask, 250, 100, "#base"},
        {"diagram_accent", "diagram.svg", kind::mask, 250, 100, "#accent"},
        {"diagram_slot_0", "diagram.svg", kind::mask, 250, 100, "#slot-0"},
        {"diagram_slot_1", "diagram.svg", kind::mask, 250, 100, "#slot-1"},
        {"diagram_slot_2", "diagram.svg", kind::mask, 250, 100, "#slot-2"},
        {"diagram_slot_3", "diagram.svg", kind::mask, 250, 100, "#slot-3"},
        {"diagram_slot_4", "diagram.svg", kind::mask, 250, 100, "#slot-4"},
        {"diagram_slot_5", "diagram.svg", kind::mask, 250, 100, "#slot-5"},
        {"maker_mark", "maker_mark.svg", kind::mask, 186, 18},
    };
}

// ---- rendering --------------------------------------------------------------------------

struct surface_deleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using surface_ptr = std::unique_ptr<cairo_surface_t, surface_deleter>;

struct failure {
    std::string what;
};

surface_ptr new_surface(cairo_format_t format, int w, int h) {
    surface_ptr s(cairo_image_surface_create(format, w, h));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        throw failure{"cannot make a " + std::to_string(w) + "x" + std::to_string(h) + " surface"};
    return s;
}

std::string glib_message(GError* e) {
    std::string m = e ? e->message : "unknown error";
    if (e) g_error_free(e);
    return m;
}

// Renders the document (or one of its elements) of an SVG whose own size must be w x h.
surface_ptr render_svg(const std::string& path, const std::string& stylesheet, const char* layer,
                       int w, int h) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(path.c_str(), &error);
    if (!handle) throw failure{path + ": " + glib_message(error)};
    std::unique_ptr<RsvgHandle, void (*)(gpointer)> owner(handle, g_object_unref);

    gdouble sw = 0, sh = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &sw, &sh) || sw != w || sh != h)
        throw failure{path + ": the drawing must be " + std::to_string(w) + "x" +
                      std::to_string(h) + " pixels"};
    if (!stylesheet.empty() &&
        !rsvg_handle_set_stylesheet(handle, reinterpret_cast<const guint8*>(stylesheet.data()),
                                    stylesheet.size(), &error))
        throw failure{path + ": stylesheet: " + glib_message(error)};

    surface_ptr s = new_surface(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s.get());
    const RsvgRectangle viewport{0, 0, static_cast<double>(w), static_cast<double>(h)};
    const bool ok = layer ? rsvg_handle_render_layer(handle, cr, layer, &viewport, &error)
                          : rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    if (!ok)
        throw failure{path + (layer ? std::string(" ") + layer : "") + ": " + glib_message(error)};
    cairo_surface_flush(s.get());
    return s;
}

surface_ptr render_picture(const art_picture& p, const std::string& art_dir) {
    const std::string path = art_dir + "/" + p.svg;
    surface_ptr s = render_svg(path, p.stylesheet, p.layer, p.width, p.height);
    if (p.cut_by) {
        surface_ptr above = render_svg(path, p.stylesheet, p.cut_by, p.width, p.height);
        cairo_t* cr = cairo_create(s.get());
        cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
        cairo_set_source_surface(cr, above.get(), 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s.get());
    }
    return s;
}

// ---- blobs ------------------------------------------------------------------------------

// cairo's ARGB32 is premultiplied, one native-endian 32-bit word a pixel (A in the top byte);
// the blobs want the bytes R, G, B, A, or only A for a mask.
std::vector<uint8_t> blob_from_surface(cairo_surface_t* s, kind k) {
    const int w = cairo_image_surface_get_width(s);
    const int h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const uint8_t* data = cairo_image_surface_get_data(s);
    std::vector<uint8_t> out = {'R',
                                static_cast<uint8_t>(k == kind::colour ? 'I' : 'M'),
                                static_cast<uint8_t>(w & 0xFF),
                                static_cast<uint8_t>(w >> 8),
                                static_cast<uint8_t>(h & 0xFF),
                                static_cast<uint8_t>(h >> 8)};
    out.reserve(6 + static_cast<size_t>(w) * h * (k == kind::colour ? 4 : 1));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t px;
            std::memcpy(&px, data + static_cast<size_t>(y) * stride + 4 * x, 4);
            const auto a = static_cast<uint8_t>(px >> 24);
            if (k == kind::colour) {
                out.push_back(static_cast<uint8_t>(px >> 16));
                out.push_back(static_cast<uint8_t>(px >> 8));
                out.push_back(static_cast<uint8_t>(px));
            }
            out.push_back(a);
        }
    }
    return out;
}

// The reverse, for the sheets: what the editor will draw, read back from the blob bytes.
// A colour picture becomes an ARGB32 surface, a mask an A8 surface.
surface_ptr surface_from_blob(const std::vector<uint8_t>& b) {
    const int w = b[2] | (b[3] << 8);
    const int h = b[4] | (b[5] << 8);
    const bool colour = b[1] == 'I';
    surface_ptr s = new_surface(colour ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_A8, w, h);
    cairo_surface_flush(s.get());
    uint8_t* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    const uint8_t* px = b.data() + 6;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (colour) {
                const uint32_t word = (uint32_t{px[3]} << 24) | (uint32_t{px[0]} << 16) |
                                      (uint32_t{px[1]} << 8) | px[2];
                std::memcpy(data + static_cast<size_t>(y) * stride + 4 * x, &word, 4);
                px += 4;
            } else {
                data[static_cast<size_t>(y) * stride + x] = *px++;
            }
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

std::vector<uint8_t> make_blob(const art_picture& p, const std::string& art_dir) {
    surface_ptr s = render_picture(p, art_dir);
    return blob_from_surface(s.get(), p.k);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw failure{path + ": cannot create"};
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw failure{path + ": cannot write"};
}

void write_png(cairo_surface_t* s, const std::string& path) {
    if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw failure{path + ": cannot write the PNG"};
}

// The blob's pixels as a PNG, byte for byte: a colour picture's premultiplied R, G, B, A bytes
// become an 8-bit RGBA image and a mask's coverage an 8-bit grey one, at the strongest
// compression (the editor decodes them, so any PNG decoder returns the blob's bytes unchanged).
std::vector<uint8_t> png_from_blob(const std::vector<uint8_t>& b) {
    const uint32_t w = b[2] | (b[3] << 8);
    const uint32_t h = b[4] | (b[5] << 8);
    const bool colour = b[1] == 'I';
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw failure{"cannot write a PNG"};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + n);
        },
        [](png_structp) {});
    png_set_compression_level(png, 9);
    // The image data in one chunk, which the editor inflates in place without joining chunks.
    png_set_compression_buffer_size(png, 1u << 24);
    // For this artwork None, Sub and Up alone make smaller files than all five filters
    // (3.10 MB against 3.15 MB for the 29 pictures), and they are the cheapest to undo.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP);
    png_set_IHDR(png, info, w, h, 8, colour ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t pitch = static_cast<size_t>(w) * (colour ? 4 : 1);
    for (uint32_t y = 0; y < h; ++y)
        png_write_row(png, const_cast<png_bytep>(b.data() + 6 + y * pitch));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The blob with the base's bytes XORed into its pixels (the header stays): decoding the stored
// PNG and XORing the base's pixels in again gives the blob back.
std::vector<uint8_t> xor_with(std::vector<uint8_t> b, const std::vector<uint8_t>& base) {
    if (base.size() != b.size() || !std::equal(b.begin(), b.begin() + 6, base.begin()))
        throw failure{"a picture stored against another must have its kind and size"};
    for (size_t i = 6; i < b.size(); ++i) b[i] ^= base[i];
    return b;
}

void write_pictures(const std::string& art_dir, const std::string& out_dir) {
    std::string digests =
        "// Made by art_raster: each picture's raw blob, in the picture enum's order.\n";
    std::map<std::string, std::vector<uint8_t>> bases; // the raw blobs others are stored against
    const std::vector<art_picture> table = picture_table();
    for (const art_picture& p : table)
        if (p.stored_against) bases[p.stored_against];
    for (const art_picture& p : table) {
        const std::vector<uint8_t> raw = make_blob(p, art_dir);
        if (bases.count(p.name)) bases[p.name] = raw;
        const std::vector<uint8_t>* base = p.stored_against ? &bases[p.stored_against] : nullptr;
        if (base && base->empty())
            throw failure{std::string(p.name) + ": " + p.stored_against + " must come first"};
        write_file(out_dir + "/" + p.name + ".png",
                   png_from_blob(base ? xor_with(raw, *base) : raw));
        char line[96];
        std::snprintf(line, sizeof line, "{%zuu, 0x%016llxull},\n", raw.size(),
                      static_cast<unsigned long long>(nimba::pixel_digest(raw.data(), raw.size())));
        digests += line;
    }
    write_file(out_dir + "/art_digests.inc", std::vector<uint8_t>(digests.begin(), digests.end()));
}

// ---- contact sheet ----------------------------------------------------------------------

void set_rgb(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 255) / 255.0, ((argb >> 8) & 255) / 255.0,
                          (argb & 255) / 255.0, (argb >> 24) / 255.0);
}

void fill_box(cairo_t* cr, double x, double y, double w, double h, uint32_t argb) {
    set_rgb(cr, argb);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void label(cairo_t* cr, double x, double y, const std::string& text) {
    set_rgb(cr, 0xFFBEBEBE);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

// Draws a picture scaled into (x, y, w, h) with bilinear filtering, as the editor does.
void draw_colour(cairo_t* cr, cairo_surface_t* s, double x, double y, double scale) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
}

void draw_part(cairo_t* cr, cairo_surface_t* s, double sx, double sy, double w, double h) {
    cairo_save(cr);
    cairo_rectangle(cr, sx, sy, w, h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
}

void draw_mask(cairo_t* cr, cairo_surface_t* m, double x, double y, double w, double h,
               uint32_t argb) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, w / cairo_image_surface_get_width(m), h / cairo_image_surface_get_height(m));
    set_rgb(cr, argb);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(m);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
    cairo_mask(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

void checker(cairo_t* cr, double x, double y, double w, double h) {
    for (int j = 0; j * 10 < h; ++j)
        for (int i = 0; i * 10 < w; ++i)
            fill_box(cr, x + i * 10, y + j * 10, std::min(10.0, w - i * 10),
                     std::min(10.0, h - j * 10), ((i + j) % 2) ? 0xFF26262A : 0xFF1A1A1D);
}

// The program icon at some of the sizes Windows picks from: it must still read at 16 px.
void draw_program_icon(cairo_t* cr, const std::string& art_dir, double x, double y) {
    const std::string path = art_dir + "/icon.svg";
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(path.c_str(), &error);
    if (!handle) throw failure{path + ": " + glib_message(error)};
    std::unique_ptr<RsvgHandle, void (*)(gpointer)> owner(handle, g_object_unref);
    for (const int size : {256, 48, 32, 24, 16}) {
        const RsvgRectangle viewport{x, y + 256 - size, static_cast<double>(size),
                                     static_cast<double>(size)};
        if (!rsvg_handle_render_document(handle, cr, &viewport, &error))
            throw failure{path + ": " + glib_message(error)};
        x += size + 12;
    }
}

struct rendered {
    art_picture picture;
    surface_ptr surface;
};

std::vector<rendered> render_all(const std::string& art_dir) {
    std::vector<rendered> all;
    for (const art_picture& p : picture_table())
        all.push_back({p, surface_from_blob(make_blob(p, art_dir))});
    return all;
}

// Colour pictures at a quarter of their size over a checkerboard (transparency shows), zooms of
// the selector and lamps of the amplifier and each channel picture, every mask at full size and
// at the size the screen draws it, the program icon, and the cabinet diagram put together.
void contact_sheet(const std::string& art_dir, const std::string& out) {
    std::vector<rendered> all = render_all(art_dir);
    const int sheet_w = 1800, sheet_h = 1540;
    surface_ptr sheet = new_surface(CAIRO_FORMAT_ARGB32, sheet_w, sheet_h);
    cairo_t* cr = cairo_create(sheet.get());
    fill_box(cr, 0, 0, sheet_w, sheet_h, 0xFF0B0B0C);

    int i = 0;
    for (const rendered& r : all) {
        if (r.picture.k != kind::colour) continue;
        const double x = 10 + (i % 5) * 358, y = 10 + (i / 5) * 322;
        checker(cr, x, y, 350, 300);
        draw_colour(cr, r.surface.get(), x, y, 0.25);
        label(cr, x, y + 314, r.picture.name);
        ++i;
    }

    // Selector and lamps: the selector at two and a half times its size, the lamps at full size;
    // the plain picture, then each channel picture.
    double y = 670;
    int row = 0;
    for (const rendered& r : all) {
        if (r.picture.name != std::string("amplifier") &&
            std::strncmp(r.picture.name, "channel_", 8) != 0)
            continue;
        const double x = 10 + row * 358;
        cairo_save(cr);
        cairo_rectangle(cr, x, y, 350, 220);
        cairo_clip(cr);
        fill_box(cr, x, y, 350, 220, 0xFF030303);
        draw_colour(cr, r.surface.get(), x - 972 * 2.5, y - 310 * 2.5, 2.5);
        cairo_restore(cr);
        for (const double from : {380.0, 770.0}) {
            const double at = from == 380.0 ? x : x + 176;
            cairo_save(cr);
            cairo_rectangle(cr, at, y + 226, 174, 60);
            cairo_clip(cr);
            draw_colour(cr, r.surface.get(), at - from, y + 226 - 365, 1.0);
            cairo_restore(cr);
        }
        label(cr, x, y + 302, r.picture.name);
        ++row;
    }

    // Masks: full size above, drawn size below, light on dark like the screen.
    double mx = 10;
    y = 990;
    double row_h = 0;
    for (const rendered& r : all) {
        if (r.picture.k != kind::mask) continue;
        const int w = r.picture.width, h = r.picture.height;
        const bool diagram = std::strncmp(r.picture.name, "diagram_", 8) == 0;
        const double half = diagram ? 1.0 : 0.5;
        const double cell_w = std::max<double>(w + 10, 112);
        if (mx + cell_w > sheet_w) {
            mx = 10;
            y += row_h + 24;
            row_h = 0;
        }
        fill_box(cr, mx, y, w, h, 0xFF141416);
        draw_mask(cr, r.surface.get(), mx, y, w, h, 0xFFF0F0F0);
        if (!diagram) {
            fill_box(cr, mx, y + h + 4, w * half, h * half, 0xFF141416);
            draw_mask(cr, r.surface.get(), mx, y + h + 4, w * half, h * half, 0xFFBEBEBE);
        }
        label(cr, mx, y + h + (diagram ? 0 : h * half + 4) + 14, r.picture.name);
        row_h = std::max(row_h, h + (diagram ? 0 : h * half + 4) + 18);
        mx += cell_w;
    }

    draw_program_icon(cr, art_dir, 10, sheet_h - 266);
    label(cr, 10, sheet_h - 2, "icon.svg (program icon)");

    // The whole cabinet diagram as the left panel draws it, slot 2 chosen.
    const double dx = sheet_w - 270, dy = sheet_h - 120;
    fill_box(cr, dx, dy, 250, 100, 0xFF141416);
    for (const rendered& r : all) {
        const std::string name = r.picture.name;
        if (name.rfind("diagram_", 0) != 0) continue;
        const bool accent = name == "diagram_accent" || name == "diagram_slot_2";
        draw_mask(cr, r.surface.get(), dx, dy, 250, 100, accent ? 0xFF1E46C8 : 0xFFBEBEBE);
    }
    cairo_destroy(cr);
    write_png(sheet.get(), out);
}

// ---- screen preview ---------------------------------------------------------------------

const rendered* find(const std::vector<rendered>& all, const std::string& name) {
    for (const rendered& r : all)
        if (name == r.picture.name) return &r;
    throw failure{"no picture named " + name};
}

// Draws what the editor's screen shows around the amplifier: the placement and scale of the
// picture, the chosen overlay and channel copies, and the panels that cover its edges.
void preview(const std::string& art_dir, const std::string& out, int W, int H,
             const std::string& tolex_name, const std::string& channel_name) {
    std::vector<rendered> all = render_all(art_dir);
    surface_ptr screen = new_surface(CAIRO_FORMAT_ARGB32, W, H);
    cairo_t* cr = cairo_create(screen.get());
    fill_box(cr, 0, 0, W, H, 0xFF030303);

    const float pw = 1400, ph = 1200;
    const float s = std::min(1.0f, 1.0f / (pw / static_cast<float>(W + 120)));
    const int x0 = static_cast<int>(static_cast<int>(((W - 250) - pw * s) * 0.5f + 250) / s);
    const int y0 = static_cast<int>(ph * s) < H - 80
                       ? static_cast<int>(static_cast<int>(H - ph * s) / s)
                       : static_cast<int>(80 / s);
    cairo_save(cr);
    cairo_scale(cr, s, s);
    draw_colour(cr, find(all, "amplifier")->surface.get(), x0, y0, 1.0);
    if (!tolex_name.empty() && tolex_name != "none")
        draw_colour(cr, find(all, tolex_name)->surface.get(), x0, y0, 1.0);
    cairo_surface_t* lit = find(all, channel_name)->surface.get();
    cairo_translate(cr, x0, y0);
    draw_part(cr, lit, 1030, 342, 24, 24);
    draw_part(cr, lit, 1045, 364, 10, 10);
    draw_part(cr, lit, channel_name == "channel_green" ? 408 : 793, 383, 10, 10);
    cairo_restore(cr);

    const uint32_t accent = channel_name == "channel_green"    ? 0xFF28A032
                            : channel_name == "channel_violet" ? 0xFFA014B4
                            : channel_name == "channel_red"    ? 0xFFC83228
                                                               : 0xFF1E46C8;
    fill_box(cr, 0, 0, 250, 41, 0xFF08080A);
    draw_mask(cr, find(all, "logo")->surface.get(), 8, 9, 129, 20, 0xFFF0F0F0);
    draw_mask(cr, find(all, "icon_store")->surface.get(), 217, 9, 23, 23, 0xFFBEBEBE);
    const int e = (W - 650) / 2;
    fill_box(cr, e + 250, 51, 125, 21, 0xFF141416);
    fill_box(cr, e + 400, 51, 125, 20, 0xFF141416);
    fill_box(cr, e + 550, 51, 105, 20, 0xFF141416);
    fill_box(cr, 0, 41, 250, H - 41, 0xFF141416);
    fill_box(cr, 0, 161, 250, 33, 0xFF08080A);
    draw_mask(cr, find(all, "icon_virtual_cab")->surface.get(), 4, 166, 23, 23, 0xFFDCDCDC);
    for (int k = 0; k < 6; ++k) {
        const int r = 194 + 31 * k;
        fill_box(cr, 0, r, 250, 31, k % 2 ? 0xFF202022 : 0xFF141416);
        draw_mask(cr, find(all, "icon_import")->surface.get(), 204, r + 4, 23, 23, 0xFF505050);
        draw_mask(cr, find(all, "icon_page")->surface.get(), 226, r + 4, 23, 23, 0xFF505050);
    }
    for (const rendered& r : all) {
        const std::string name = r.picture.name;
        if (name.rfind("diagram_", 0) != 0) continue;
        const bool on = name == "diagram_accent" || name == "diagram_slot_2";
        draw_mask(cr, r.surface.get(), 0, 51, 250, 100, on ? accent : 0xFFBEBEBE);
    }
    fill_box(cr, 0, H - 85, 250, 33, 0xFF08080A);
    draw_mask(cr, find(all, "icon_custom_shop")->surface.get(), 4, H - 80, 23, 23, 0xFFDCDCDC);
    draw_mask(cr, find(all, "arrow_left")->surface.get(), 9, H - 44, 11, 11, 0xFF505050);
    draw_mask(cr, find(all, "arrow_right")->surface.get(), 234, H - 44, 11, 11, 0xFF505050);
    fill_box(cr, 0, H - 21, W, 21, accent);
    draw_mask(cr, find(all, "maker_mark")->surface.get(), W - 105, H - 15, 93, 9, 0xFFF0F0F0);
    fill_box(cr, 260, 7, 120, 27, 0xFFBEBEBE);
    draw_mask(cr, find(all, "icon_link")->surface.get(), 352, 9, 23, 23, 0xFF141416);
    draw_mask(cr, find(all, "icon_midi")->surface.get(), W - 34, 9, 23, 23, 0xFF8C8C8E);
    cairo_destroy(cr);
    write_png(screen.get(), out);
}

// ---- main -------------------------------------------------------------------------------

int usage() {
    std::fputs("usage: art_raster <art dir> <out dir>\n"
               "       art_raster --contact-sheet <art dir> <out.png>\n"
               "       art_raster --preview <art dir> <out.png> [W H tolex channel]\n"
               "       art_raster --png <art dir> <name> <out.png>\n",
               stderr);
    return 2;
}

int run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--contact-sheet" && argc == 4) {
        contact_sheet(argv[2], argv[3]);
    } else if (mode == "--preview" && (argc == 4 || argc == 8)) {
        preview(argv[2], argv[3], argc == 8 ? std::atoi(argv[4]) : 1024,
                argc == 8 ? std::atoi(argv[5]) : 720, argc == 8 ? argv[6] : "none",
                argc == 8 ? argv[7] : "channel_blue");
    } else if (mode == "--png" && argc == 5) {
        for (const art_picture& p : picture_table()) {
            if (p.name != std::string(argv[3])) continue;
            surface_ptr s = surface_from_blob(make_blob(p, argv[2]));
            if (p.k == kind::mask) {
                surface_ptr shown = new_surface(CAIRO_FORMAT_ARGB32, p.width, p.height);
                cairo_t* cr = cairo_create(shown.get());
                fill_box(cr, 0, 0, p.width, p.height, 0xFF141416);
                draw_mask(cr, s.get(), 0, 0, p.width, p.height, 0xFFF0F0F0);
                cairo_destroy(cr);
                s = std::move(shown);
            }
            write_png(s.get(), argv[4]);
            return 0;
        }
        throw failure{std::string("no picture named ") + argv[3]};
    } else if (argc == 3 && mode.rfind("--", 0) != 0) {
        write_pictures(argv[1], argv[2]);
    } else {
        return usage();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const failure& f) {
        std::fprintf(stderr, "art_raster: %s\n", f.what.c_str());
        return 1;
    }
}
