// Cairo and pango behind the canvas seam. The pango context, the font and the three layouts
// are made once; picture and mask surfaces are made on first use and kept per blob until
// dropped, and their stretched copies while consecutive passes draw them at the same place.
// Geometry follows the Direct2D canvas: aliased square boxes, antialiased rounded ones,
// pictures stretched with linear interpolation and clamped at their edges, masks with aliased
// edges.
#include "core/draw/cairo_canvas_gtk.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/file_access.h"
#include "core/memory_pages.h"

namespace nimba {

namespace {

constexpr std::array<double, text_style_count> style_sizes = {10.0, 11.0, 13.0};
constexpr PangoWeight text_weight = PANGO_WEIGHT_SEMIBOLD;
// Families tried in order, as on Windows; DejaVu Sans runs much wider than Segoe UI, so its
// condensed cut keeps the labels laid out for Segoe UI inside their boxes.
constexpr std::array<const char*, 4> font_preferences = {"Segoe UI Semibold", "Segoe UI", "Tahoma",
                                                         "DejaVu Sans"};
PangoStretch font_stretch_for(std::string_view family) {
    return family == "DejaVu Sans" ? PANGO_STRETCH_CONDENSED : PANGO_STRETCH_NORMAL;
}

struct surface_release {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using surface_ptr = std::unique_ptr<cairo_surface_t, surface_release>;

template <typename T> struct g_release {
    void operator()(T* p) const { g_object_unref(p); }
};
template <typename T> using g_ptr = std::unique_ptr<T, g_release<T>>;

void set_source_argb(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
}

// A cleared image surface whose pixels come from allocate_large_pages and go with it: a
// picture's surface (6.7 MB) is then filled with a handful of page faults, not 1,600.
surface_ptr large_image_surface(cairo_format_t format, int width, int height) {
    struct pixels {
        void* block;
        size_t bytes;
    };
    static const cairo_user_data_key_t key{};
    const int stride = cairo_format_stride_for_width(format, width);
    if (stride <= 0 || height <= 0) return nullptr;
    pixels* owned = nullptr;
    try {
        const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
        owned = new pixels{allocate_large_pages(bytes), bytes};
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const auto release = [](void* data) {
        auto* p = static_cast<pixels*>(data);
        free_large_pages(p->block, p->bytes);
        delete p;
    };
    std::memset(owned->block, 0, owned->bytes);
    surface_ptr s(cairo_image_surface_create_for_data(static_cast<unsigned char*>(owned->block),
                                                      format, width, height, stride));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(s.get(), &key, owned, release) != CAIRO_STATUS_SUCCESS) {
        release(owned);
        return nullptr;
    }
    return s;
}

// An image surface holding the view's pixels: a colour picture's premultiplied RGBA bytes
// become cairo's native-endian premultiplied 0xAARRGGBB words (ARGB32), a mask's coverage
// bytes are copied (A8).
surface_ptr surface_from_view(const picture_view& view) {
    const bool colour = view.kind == picture_kind::colour;
    surface_ptr s =
        large_image_surface(colour ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_A8,
                            static_cast<int>(view.width), static_cast<int>(view.height));
    if (!s) return nullptr;
    cairo_surface_flush(s.get());
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (uint32_t y = 0; y < view.height; ++y) {
        const uint8_t* in = view.pixels + static_cast<size_t>(y) * view.pitch();
        unsigned char* row = data + static_cast<size_t>(y) * stride;
        if (!colour) {
            std::memcpy(row, in, view.width);
            continue;
        }
        auto* out = reinterpret_cast<uint32_t*>(row);
        for (uint32_t x = 0; x < view.width; ++x, in += 4) {
            out[x] = static_cast<uint32_t>(in[3]) << 24 | static_cast<uint32_t>(in[0]) << 16 |
                     static_cast<uint32_t>(in[1]) << 8 | in[2];
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}

} // namespace

struct cairo_canvas final : canvas {
    cairo_drawing* owner = nullptr;
    int32_t view_width() override;
    int32_t view_height() override;
    void set_scale(float s) override;
    void box(float x, float y, float width, float height, float radius, uint32_t colour) override;
    void picture(float x, float y, float width, float height, blob picture) override;
    void picture_part(float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                      float dh, blob picture) override;
    void mask(float x, float y, float width, float height, blob mask, uint32_t colour) override;
    void text(float left, float top, float right, float bottom, uint32_t colour, text_style style,
              int32_t h_align, int32_t v_align, std::wstring_view text, text_flow flow) override;
};

// A picture or mask already stretched to where a pass drew it, in the frame's pixels: a pass
// that draws it at the same place again copies these pixels instead of resampling the blob.
struct placement {
    const uint8_t* blob = nullptr;
    std::array<double, 6> box{}; // destination box in frame pixels, then the frame's size
    auto operator<=>(const placement&) const = default;
};
struct placed_surface {
    int32_t x = 0, y = 0; // frame pixel of the surface's top-left pixel
    surface_ptr surface;  // null when nothing of the box is in the frame
    int32_t pass = 0;     // the last pass that drew it
};

struct cairo_drawing {
    std::string family;
    g_ptr<PangoContext> context;
    std::array<g_ptr<PangoLayout>, text_style_count> layouts; // one per text_style
    // Wrapped text keeps the trimming its style last had; a single line switches it on.
    std::array<bool, text_style_count> trimming{};

    std::unordered_map<const uint8_t*, surface_ptr> pictures;
    std::unordered_map<const uint8_t*, surface_ptr> masks;
    // Dropped at the end of every pass that did not draw them.
    std::map<placement, placed_surface> placed;
    bool caching = true;

    cairo_t* cr = nullptr;   // the pass's context, only inside paint_pass
    cairo_matrix_t base{};   // the pass's drawing-unit matrix, before set_scale
    int32_t frame_scale = 1; // frame pixels per drawing unit
    float scale = 1;         // the canvas scale in force
    int32_t view_width = 0;
    int32_t view_height = 0;
    cairo_counters count;
    cairo_canvas canvas;
};

void cairo_drawing_deleter::operator()(cairo_drawing* drawing) const {
    delete drawing;
}

namespace {

std::string pick_font_family(PangoFontMap* map) {
    PangoFontFamily** families = nullptr;
    int n = 0;
    pango_font_map_list_families(map, &families, &n);
    auto has = [&](const char* name) {
        for (int i = 0; i < n; ++i) {
            if (g_ascii_strcasecmp(pango_font_family_get_name(families[i]), name) == 0) return true;
        }
        return false;
    };
    const auto preferred = std::find_if(font_preferences.begin(), font_preferences.end(), has);
    std::string chosen = preferred != font_preferences.end() ? *preferred
                         : n > 0 ? pango_font_family_get_name(families[0])
                                 : font_preferences[0];
    g_free(families);
    return chosen;
}

// A surface for the blob of the given kind: from the cache, or made (and cached when caching
// is on). The borrowed pointer stays valid until `keep` is released or the cache is dropped.
cairo_surface_t* surface_for(cairo_drawing& d, blob b, picture_kind kind, surface_ptr& keep) {
    const auto view = picture_from_blob(b, kind);
    if (!view) return nullptr;
    auto& cache = kind == picture_kind::colour ? d.pictures : d.masks;
    if (d.caching) {
        if (auto found = cache.find(b.data); found != cache.end()) return found->second.get();
    }
    keep = surface_from_view(*view);
    if (!keep) return nullptr;
    ++(kind == picture_kind::colour ? d.count.pictures : d.count.masks);
    if (!d.caching) return keep.get();
    cairo_surface_t* s = keep.get();
    cache.emplace(b.data, std::move(keep));
    return s;
}

// A pattern that maps the surface's (0, 0)-(sw, sh) onto the destination box with linear
// interpolation; padded, so the surface's own edge pixels continue past its edges.
cairo_pattern_t* stretched_pattern(cairo_surface_t* surface, double sw, double sh, double dx,
                                   double dy, double dw, double dh) {
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sw / dw, sh / dh);
    cairo_matrix_translate(&m, -dx, -dy);
    cairo_pattern_set_matrix(pattern, &m);
    return pattern;
}

void fill_stretched(cairo_t* cr, cairo_surface_t* surface, double sw, double sh, double dx,
                    double dy, double dw, double dh) {
    cairo_pattern_t* pattern = stretched_pattern(surface, sw, sh, dx, dy, dw, dh);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, dx, dy, dw, dh);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

// The blob's surface stretched onto the destination box, clipped to the frame, in the frame's
// pixels: kept from an earlier pass when the box, the scale and the frame are the same, else
// made. Colour pictures get antialiased edges, masks aliased ones.
const placed_surface& place(cairo_drawing& d, const uint8_t* blob, cairo_surface_t* source,
                            double x, double y, double width, double height) {
    const double unit = static_cast<double>(d.scale) * d.frame_scale; // frame pixels a unit
    const placement key = {blob,
                           {x * unit, y * unit, (x + width) * unit, (y + height) * unit,
                            static_cast<double>(d.view_width) * d.frame_scale,
                            static_cast<double>(d.view_height) * d.frame_scale}};
    placed_surface& p = d.placed[key];
    p.pass = d.count.passes;
    if (p.surface) return p;
    const double left = std::max(0.0, std::floor(key.box[0]));
    const double top = std::max(0.0, std::floor(key.box[1]));
    const double right = std::min(key.box[4], std::ceil(key.box[2]));
    const double bottom = std::min(key.box[5], std::ceil(key.box[3]));
    if (right <= left || bottom <= top) return p;
    const cairo_format_t format = cairo_image_surface_get_format(source);
    surface_ptr s =
        large_image_surface(format, static_cast<int>(right - left), static_cast<int>(bottom - top));
    if (!s) return p;
    cairo_t* cr = cairo_create(s.get());
    if (format == CAIRO_FORMAT_A8) cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -left, -top);
    cairo_scale(cr, unit, unit);
    fill_stretched(cr, source, cairo_image_surface_get_width(source),
                   cairo_image_surface_get_height(source), x, y, width, height);
    cairo_destroy(cr);
    cairo_surface_set_device_scale(s.get(), d.frame_scale, d.frame_scale);
    ++d.count.placed;
    p.x = static_cast<int32_t>(left);
    p.y = static_cast<int32_t>(top);
    p.surface = std::move(s);
    return p;
}

void make_text_resources(cairo_drawing& d) {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    d.family = pick_font_family(map);
    d.context.reset(pango_font_map_create_context(map));
    cairo_font_options_t* options = cairo_font_options_create();
    // Unhinted metrics: a label's layout does not move with the scale factor.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(d.context.get(), options);
    cairo_font_options_destroy(options);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, d.family.c_str());
    pango_font_description_set_weight(font, text_weight);
    pango_font_description_set_stretch(font, font_stretch_for(d.family));
    for (size_t i = 0; i < d.layouts.size(); ++i) {
        pango_font_description_set_absolute_size(font, style_sizes[i] * PANGO_SCALE);
        d.layouts[i].reset(pango_layout_new(d.context.get()));
        pango_layout_set_font_description(d.layouts[i].get(), font);
    }
    pango_font_description_free(font);
}

// Lays the text out in the box with the style's settings for this call and draws it: one line
// trimmed at a character with an ellipsis, or word-wrapped (trimmed to the box's height once
// the style has had a single line), aligned in the box on both axes.
void draw_text_in(cairo_drawing& d, double left, double top, double right, double bottom,
                  uint32_t colour, text_style style, int32_t h_align, int32_t v_align,
                  std::wstring_view text, bool one_line) {
    const auto index = static_cast<int32_t>(style);
    if (index < 0 || index >= text_style_count || text.empty()) return;
    PangoLayout* layout = d.layouts[static_cast<size_t>(index)].get();
    bool& trimmed = d.trimming[static_cast<size_t>(index)];
    if (one_line) trimmed = true;
    std::string utf8 = utf8_from_wide(text);
    if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr)) {
        gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
        utf8 = valid;
        g_free(valid);
    }
    pango_cairo_update_context(d.cr, d.context.get());
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    pango_layout_set_width(layout, static_cast<int>(std::max(0.0, right - left) * PANGO_SCALE));
    pango_layout_set_alignment(layout, h_align == align_leading  ? PANGO_ALIGN_LEFT
                                       : h_align == align_centre ? PANGO_ALIGN_CENTER
                                                                 : PANGO_ALIGN_RIGHT);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(layout, trimmed ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
    pango_layout_set_height(
        layout, one_line ? -1 : static_cast<int>(std::max(0.0, bottom - top) * PANGO_SCALE));
    int width = 0, height = 0;
    pango_layout_get_size(layout, &width, &height);
    const double text_height = static_cast<double>(height) / PANGO_SCALE;
    const double y = v_align == valign_top      ? top
                     : v_align == valign_centre ? top + (bottom - top - text_height) / 2
                                                : bottom - text_height;
    set_source_argb(d.cr, colour);
    cairo_move_to(d.cr, left, y);
    pango_cairo_show_layout(d.cr, layout);
}

} // namespace

int32_t cairo_canvas::view_width() {
    return owner->view_width;
}

int32_t cairo_canvas::view_height() {
    return owner->view_height;
}

void cairo_canvas::set_scale(float s) {
    owner->scale = s;
    cairo_set_matrix(owner->cr, &owner->base);
    cairo_scale(owner->cr, s, s);
}

void cairo_canvas::box(float x, float y, float width, float height, float radius, uint32_t colour) {
    cairo_t* cr = owner->cr;
    set_source_argb(cr, colour);
    if (radius < 1.0f) {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_rectangle(cr, x, y, width, height);
        cairo_fill(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
        return;
    }
    const double r = std::min({static_cast<double>(radius), width / 2.0, height / 2.0});
    if (r <= 0) return;
    constexpr double quarter = G_PI / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + width - r, y + r, r, -quarter, 0);
    cairo_arc(cr, x + width - r, y + height - r, r, 0, quarter);
    cairo_arc(cr, x + r, y + height - r, r, quarter, 2 * quarter);
    cairo_arc(cr, x + r, y + r, r, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void cairo_canvas::picture(float x, float y, float width, float height, blob picture) {
    cairo_drawing& d = *owner;
    surface_ptr keep;
    cairo_surface_t* s = surface_for(d, picture, picture_kind::colour, keep);
    if (!s || width <= 0 || height <= 0) return;
    if (!d.caching) {
        fill_stretched(d.cr, s, cairo_image_surface_get_width(s), cairo_image_surface_get_height(s),
                       x, y, width, height);
        return;
    }
    const placed_surface& placed = place(d, picture.data, s, x, y, width, height);
    if (!placed.surface) return;
    cairo_save(d.cr);
    cairo_set_matrix(d.cr, &d.base);
    const double k = d.frame_scale;
    cairo_set_source_surface(d.cr, placed.surface.get(), placed.x / k, placed.y / k);
    cairo_rectangle(d.cr, placed.x / k, placed.y / k,
                    cairo_image_surface_get_width(placed.surface.get()) / k,
                    cairo_image_surface_get_height(placed.surface.get()) / k);
    cairo_fill(d.cr);
    cairo_restore(d.cr);
}

// The source box is cut out as a sub-surface, so sampling clamps to it and the picture's
// neighbouring pixels never bleed in at the edges.
void cairo_canvas::picture_part(float sx, float sy, float sw, float sh, float dx, float dy,
                                float dw, float dh, blob picture) {
    surface_ptr keep;
    cairo_surface_t* s = surface_for(*owner, picture, picture_kind::colour, keep);
    if (!s || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    const surface_ptr part(cairo_surface_create_for_rectangle(s, sx, sy, sw, sh));
    fill_stretched(owner->cr, part.get(), sw, sh, dx, dy, dw, dh);
}

// The colour painted through the mask, inside the destination box with aliased edges.
void cairo_canvas::mask(float x, float y, float width, float height, blob mask, uint32_t colour) {
    cairo_drawing& d = *owner;
    surface_ptr keep;
    cairo_surface_t* s = surface_for(d, mask, picture_kind::mask, keep);
    if (!s || width <= 0 || height <= 0) return;
    cairo_t* cr = d.cr;
    cairo_save(cr);
    set_source_argb(cr, colour);
    if (d.caching) {
        const placed_surface& placed = place(d, mask.data, s, x, y, width, height);
        cairo_set_matrix(cr, &d.base);
        const double k = d.frame_scale;
        if (placed.surface)
            cairo_mask_surface(cr, placed.surface.get(), placed.x / k, placed.y / k);
    } else {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_rectangle(cr, x, y, width, height);
        cairo_clip(cr);
        cairo_pattern_t* pattern =
            stretched_pattern(s, cairo_image_surface_get_width(s),
                              cairo_image_surface_get_height(s), x, y, width, height);
        cairo_mask(cr, pattern);
        cairo_pattern_destroy(pattern);
    }
    cairo_restore(cr);
}

void cairo_canvas::text(float left, float top, float right, float bottom, uint32_t colour,
                        text_style style, int32_t h_align, int32_t v_align, std::wstring_view text,
                        text_flow flow) {
    draw_text_in(*owner, left, top, right, bottom, colour, style, h_align, v_align, text,
                 flow == text_flow::one_line);
}

cairo_drawing_ptr create_cairo_drawing() {
    cairo_drawing_ptr d(new cairo_drawing);
    d->canvas.owner = d.get();
    make_text_resources(*d);
    return d;
}

void paint_pass(cairo_drawing& d, cairo_t* cr, int32_t width, int32_t height, int32_t scale,
                const std::function<void(canvas&)>& draw) {
    cairo_save(cr);
    cairo_get_matrix(cr, &d.base);
    d.cr = cr;
    d.frame_scale = std::max(1, scale);
    d.scale = 1;
    d.view_width = width;
    d.view_height = height;
    ++d.count.passes;
    if (draw) draw(d.canvas);
    std::erase_if(d.placed, [&](const auto& entry) { return entry.second.pass != d.count.passes; });
    d.cr = nullptr;
    cairo_restore(cr);
}

cairo_surface_t* view_surface(int32_t width, int32_t height, int32_t scale) {
    cairo_surface_t* s =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale);
    cairo_surface_set_device_scale(s, scale, scale);
    return s;
}

void drop_surfaces(cairo_drawing& d) {
    d.pictures.clear();
    d.masks.clear();
    d.placed.clear();
}

void set_surface_caching(cairo_drawing& d, bool on) {
    d.caching = on;
    if (!on) drop_surfaces(d);
}

cairo_counters counters(const cairo_drawing& d) {
    return d.count;
}

} // namespace nimba
