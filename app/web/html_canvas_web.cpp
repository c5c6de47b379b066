// The canvas seam's calls handed to canvas_web.js: pictures and masks by their blob's address
// (their pixels are read once, on first use), text as UTF-8.
#include "app/web/html_canvas_web.h"

#include <emscripten.h>

#include <string>

#include "core/file_access.h"

namespace nimba {

namespace {

// clang-format off
EM_JS(void, js_begin, (const char* selector, int width, int height, double ratio), {
    Module.nimbaCanvas.begin(document.querySelector(UTF8ToString(selector)), width, height, ratio);
});
EM_JS(void, js_set_scale, (float s), { Module.nimbaCanvas.setScale(s); });
EM_JS(void, js_box, (float x, float y, float w, float h, float radius, uint32_t argb), {
    Module.nimbaCanvas.box(x, y, w, h, radius, argb >>> 0);
});
EM_JS(void, js_picture, (const uint8_t* address, const uint8_t* pixels, int width, int height,
                         float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                         float dh), {
    Module.nimbaCanvas.picture(address, () => HEAPU8.slice(pixels, pixels + width * height * 4),
                               width, height, sx, sy, sw, sh, dx, dy, dw, dh);
});
EM_JS(void, js_mask, (const uint8_t* address, const uint8_t* pixels, int width, int height,
                      float x, float y, float w, float h, uint32_t argb), {
    Module.nimbaCanvas.mask(address, () => HEAPU8.slice(pixels, pixels + width * height),
                            width, height, x, y, w, h, argb >>> 0);
});
EM_JS(void, js_text, (float left, float top, float right, float bottom, uint32_t argb, int style,
                      int h_align, int v_align, const char* text, int one_line), {
    Module.nimbaCanvas.text(left, top, right, bottom, argb >>> 0, style, h_align, v_align,
                            UTF8ToString(text), one_line !== 0);
});
// clang-format on

struct html_canvas final : canvas {
    int32_t width = 0;
    int32_t height = 0;
    std::string utf8; // reused for every text call

    int32_t view_width() override { return width; }
    int32_t view_height() override { return height; }
    void set_scale(float s) override { js_set_scale(s); }
    void box(float x, float y, float w, float h, float radius, uint32_t colour) override {
        js_box(x, y, w, h, radius, colour);
    }
    void picture(float x, float y, float w, float h, blob picture) override {
        picture_part(-1, -1, -1, -1, x, y, w, h, picture);
    }
    void picture_part(float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                      float dh, blob picture) override {
        const auto view = picture_from_blob(picture, picture_kind::colour);
        if (!view || dw <= 0 || dh <= 0) return;
        js_picture(picture.data, view->pixels, view->width, view->height, sx, sy, sw, sh, dx, dy,
                   dw, dh);
    }
    void mask(float x, float y, float w, float h, blob mask, uint32_t colour) override {
        const auto view = picture_from_blob(mask, picture_kind::mask);
        if (!view || w <= 0 || h <= 0) return;
        js_mask(mask.data, view->pixels, view->width, view->height, x, y, w, h, colour);
    }
    void text(float left, float top, float right, float bottom, uint32_t colour, text_style style,
              int32_t h_align, int32_t v_align, std::wstring_view text, text_flow flow) override {
        utf8 = utf8_from_wide(text);
        js_text(left, top, right, bottom, colour, static_cast<int>(style), h_align, v_align,
                utf8.c_str(), flow == text_flow::one_line);
    }
};

} // namespace

void paint_html_canvas(const char* selector, int32_t width, int32_t height, double pixel_ratio,
                       const std::function<void(canvas&)>& draw) {
    static html_canvas target;
    target.width = width;
    target.height = height;
    js_begin(selector, width, height, pixel_ratio);
    draw(target);
}

} // namespace nimba
