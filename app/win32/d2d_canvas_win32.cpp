// Direct2D and DirectWrite behind the canvas seam. The factories and text formats are made once;
// the render target, the brush and the bitmaps belong to one render target and are dropped
// together when the device goes away.
#include "app/win32/d2d_canvas_win32.h"

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace nimba {

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::array<float, text_style_count> style_sizes = {10.0f, 11.0f, 13.0f};
constexpr DWRITE_FONT_WEIGHT text_weight = DWRITE_FONT_WEIGHT_SEMI_BOLD;
// Families tried in order; a format naming a family the system lacks lays out nothing, and
// under Wine only the fontconfig fonts are there.
constexpr std::array<const wchar_t*, 4> font_preferences = {L"Segoe UI Semibold", L"Segoe UI",
                                                            L"Tahoma", L"DejaVu Sans"};
// DejaVu Sans, the last fallback, runs much wider than Segoe UI; its condensed cut keeps the
// labels laid out for Segoe UI inside their boxes.
DWRITE_FONT_STRETCH font_stretch_for(const std::wstring& family) {
    return family == L"DejaVu Sans" ? DWRITE_FONT_STRETCH_CONDENSED : DWRITE_FONT_STRETCH_NORMAL;
}
// Tinted masks are keyed by colour too; an animated colour must not grow the cache forever.
constexpr size_t tinted_mask_limit = 256;

D2D1_COLOR_F colour_from_argb(uint32_t argb) {
    return D2D1::ColorF(static_cast<float>((argb >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(argb & 0xFF) / 255.0f,
                        static_cast<float>(argb >> 24) / 255.0f);
}

D2D1_RECT_F rect_from_box(float x, float y, float width, float height) {
    return D2D1::RectF(x, y, x + width, y + height);
}

} // namespace

struct d2d_canvas final : canvas {
    d2d_drawing* owner = nullptr;
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

struct d2d_drawing {
    HWND window = nullptr;
    ComPtr<ID2D1Factory> factory;
    ComPtr<IDWriteFactory> dwrite;
    std::array<ComPtr<IDWriteTextFormat>, text_style_count> formats; // one per text_style
    std::array<ComPtr<IDWriteInlineObject>, text_style_count> signs;
    std::wstring font_family;

    ComPtr<ID2D1HwndRenderTarget> target;
    ComPtr<ID2D1SolidColorBrush> brush;
    std::unordered_map<const uint8_t*, ComPtr<ID2D1Bitmap>> pictures;
    std::map<std::pair<const uint8_t*, uint32_t>, ComPtr<ID2D1Bitmap>> tinted_masks;
    std::vector<uint8_t> tint_scratch;
    bool caching = true;

    int32_t view_width = 0;
    int32_t view_height = 0;
    d2d_counters count;
    d2d_canvas canvas;
};

namespace {

// "Segoe UI Semibold" first, then the fallbacks, then whatever family the collection has first.
std::wstring pick_font_family(IDWriteFactory* dwrite) {
    ComPtr<IDWriteFontCollection> fonts;
    if (FAILED(dwrite->GetSystemFontCollection(&fonts, FALSE)) || !fonts) {
        return font_preferences[0];
    }
    for (const wchar_t* name : font_preferences) {
        UINT32 index = 0;
        BOOL exists = FALSE;
        if (SUCCEEDED(fonts->FindFamilyName(name, &index, &exists)) && exists) return name;
    }
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteLocalizedStrings> names;
    if (fonts->GetFontFamilyCount() == 0 || FAILED(fonts->GetFontFamily(0, &family)) ||
        FAILED(family->GetFamilyNames(&names)) || names->GetCount() == 0) {
        return font_preferences[0];
    }
    UINT32 length = 0;
    if (FAILED(names->GetStringLength(0, &length))) return font_preferences[0];
    std::wstring name(length + 1, L'\0');
    if (FAILED(names->GetString(0, name.data(), length + 1))) return font_preferences[0];
    name.resize(length);
    return name;
}

// The DirectWrite factory, the three formats and their signs. They depend on no device, so
// they are made on the first pass and kept.
void make_text_resources(d2d_drawing& d) {
    if (!d.dwrite) {
        ComPtr<IUnknown> unknown;
        if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                       &unknown)) ||
            FAILED(unknown.As(&d.dwrite))) {
            return;
        }
        d.font_family = pick_font_family(d.dwrite.Get());
    }
    for (size_t i = 0; i < d.formats.size(); ++i) {
        if (!d.formats[i]) {
            if (FAILED(d.dwrite->CreateTextFormat(
                    d.font_family.c_str(), nullptr, text_weight, DWRITE_FONT_STYLE_NORMAL,
                    font_stretch_for(d.font_family), style_sizes[i], L"", &d.formats[i]))) {
                continue;
            }
            ++d.count.text_formats;
        }
        if (!d.signs[i] &&
            SUCCEEDED(d.dwrite->CreateEllipsisTrimmingSign(d.formats[i].Get(), &d.signs[i]))) {
            ++d.count.ellipsis_signs;
        }
    }
}

// Windows takes R8G8B8A8 premultiplied; Wine refuses it for a window target and takes the
// display's own format. A machine without a usable GPU may refuse a hardware target.
bool make_render_target(d2d_drawing& d) {
    RECT client{};
    GetClientRect(d.window, &client);
    const D2D1_SIZE_U size = D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                                         static_cast<UINT32>(client.bottom - client.top));
    const D2D1_HWND_RENDER_TARGET_PROPERTIES window_properties =
        D2D1::HwndRenderTargetProperties(d.window, size, D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
    struct attempt {
        D2D1_RENDER_TARGET_TYPE type;
        DXGI_FORMAT format;
        D2D1_ALPHA_MODE alpha;
    };
    constexpr std::array<attempt, 3> attempts = {{
        {D2D1_RENDER_TARGET_TYPE_HARDWARE, DXGI_FORMAT_R8G8B8A8_UNORM,
         D2D1_ALPHA_MODE_PREMULTIPLIED},
        {D2D1_RENDER_TARGET_TYPE_HARDWARE, DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
        {D2D1_RENDER_TARGET_TYPE_DEFAULT, DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
    }};
    for (const attempt& a : attempts) {
        const D2D1_RENDER_TARGET_PROPERTIES properties =
            D2D1::RenderTargetProperties(a.type, D2D1::PixelFormat(a.format, a.alpha), 0.0f, 0.0f,
                                         D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
        if (SUCCEEDED(
                d.factory->CreateHwndRenderTarget(properties, window_properties, &d.target))) {
            ++d.count.render_targets;
            return true;
        }
    }
    return false;
}

void make_device_resources(d2d_drawing& d) {
    if (!make_render_target(d)) return;
    if (SUCCEEDED(
            d.target->CreateSolidColorBrush(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f), &d.brush))) {
        ++d.count.brushes;
    }
    make_text_resources(d);
}

ComPtr<ID2D1Bitmap> bitmap_from_premultiplied(d2d_drawing& d, uint32_t width, uint32_t height,
                                              const void* pixels, uint32_t pitch) {
    ComPtr<ID2D1Bitmap> bitmap;
    const D2D1_BITMAP_PROPERTIES properties = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_R8G8B8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    if (FAILED(d.target->CreateBitmap(D2D1::SizeU(width, height), pixels, pitch, properties,
                                      &bitmap))) {
        return nullptr;
    }
    return bitmap;
}

// The bitmap of an "RI" picture: from the cache, or made (and cached when caching is on).
ComPtr<ID2D1Bitmap> picture_bitmap(d2d_drawing& d, blob b) {
    const auto view = picture_from_blob(b, picture_kind::colour);
    if (!view) return nullptr;
    if (d.caching) {
        if (auto found = d.pictures.find(b.data); found != d.pictures.end()) return found->second;
    }
    ComPtr<ID2D1Bitmap> bitmap =
        bitmap_from_premultiplied(d, view->width, view->height, view->pixels, view->pitch());
    if (!bitmap) return nullptr;
    ++d.count.bitmaps;
    if (d.caching) d.pictures.emplace(b.data, bitmap);
    return bitmap;
}

// An "RM" mask as a premultiplied bitmap of the colour times the coverage. Drawing it gives
// what painting the colour through the mask gives, and it renders where opacity masks do not.
ComPtr<ID2D1Bitmap> tinted_mask_bitmap(d2d_drawing& d, blob b, uint32_t colour) {
    const auto view = picture_from_blob(b, picture_kind::mask);
    if (!view) return nullptr;
    const auto key = std::make_pair(b.data, colour);
    if (d.caching) {
        if (auto found = d.tinted_masks.find(key); found != d.tinted_masks.end()) {
            return found->second;
        }
    }
    const uint32_t alpha = colour >> 24;
    const std::array<uint32_t, 3> rgb = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF,
                                         colour & 0xFF};
    const size_t pixel_count = static_cast<size_t>(view->width) * view->height;
    d.tint_scratch.resize(pixel_count * 4);
    for (size_t i = 0; i < pixel_count; ++i) {
        const uint32_t a = (alpha * view->pixels[i] + 127) / 255;
        uint8_t* out = &d.tint_scratch[i * 4];
        for (size_t c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((rgb[c] * a + 127) / 255);
        out[3] = static_cast<uint8_t>(a);
    }
    ComPtr<ID2D1Bitmap> bitmap = bitmap_from_premultiplied(d, view->width, view->height,
                                                           d.tint_scratch.data(), view->width * 4u);
    if (!bitmap) return nullptr;
    ++d.count.tinted_masks;
    if (d.caching) {
        if (d.tinted_masks.size() >= tinted_mask_limit) d.tinted_masks.clear();
        d.tinted_masks.emplace(key, bitmap);
    }
    return bitmap;
}

// Sets the style's shared format up for one text: alignment, wrapping and, for one line,
// trimming at a character with the style's ellipsis sign. Null when the style has no format.
IDWriteTextFormat* prepare_format(d2d_drawing& d, text_style style, int32_t h_align,
                                  int32_t v_align, text_flow flow) {
    const auto index = static_cast<int32_t>(style);
    if (index < 0 || index >= text_style_count || !d.formats[index]) return nullptr;
    IDWriteTextFormat* f = d.formats[index].Get();
    f->SetTextAlignment(h_align == align_leading  ? DWRITE_TEXT_ALIGNMENT_LEADING
                        : h_align == align_centre ? DWRITE_TEXT_ALIGNMENT_CENTER
                                                  : DWRITE_TEXT_ALIGNMENT_TRAILING);
    f->SetParagraphAlignment(v_align == valign_top      ? DWRITE_PARAGRAPH_ALIGNMENT_NEAR
                             : v_align == valign_centre ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                                                        : DWRITE_PARAGRAPH_ALIGNMENT_FAR);
    if (flow == text_flow::one_line) {
        f->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
        const DWRITE_TRIMMING trimming = {DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
        f->SetTrimming(&trimming, d.signs[index].Get());
    } else {
        f->SetWordWrapping(DWRITE_WORD_WRAPPING_WRAP);
    }
    return f;
}

} // namespace

int32_t d2d_canvas::view_width() {
    return owner->view_width;
}

int32_t d2d_canvas::view_height() {
    return owner->view_height;
}

void d2d_canvas::set_scale(float s) {
    owner->target->SetTransform(D2D1::Matrix3x2F::Scale(s, s));
}

void d2d_canvas::box(float x, float y, float width, float height, float radius, uint32_t colour) {
    d2d_drawing& d = *owner;
    d.brush->SetColor(colour_from_argb(colour));
    const D2D1_RECT_F r = rect_from_box(x, y, width, height);
    if (radius < 1.0f) {
        d.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
        d.target->FillRectangle(r, d.brush.Get());
        d.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    } else {
        d.target->FillRoundedRectangle(D2D1::RoundedRect(r, radius, radius), d.brush.Get());
    }
}

void d2d_canvas::picture(float x, float y, float width, float height, blob picture) {
    if (ComPtr<ID2D1Bitmap> bitmap = picture_bitmap(*owner, picture)) {
        owner->target->DrawBitmap(bitmap.Get(), rect_from_box(x, y, width, height), 1.0f,
                                  D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    }
}

void d2d_canvas::picture_part(float sx, float sy, float sw, float sh, float dx, float dy, float dw,
                              float dh, blob picture) {
    if (ComPtr<ID2D1Bitmap> bitmap = picture_bitmap(*owner, picture)) {
        const D2D1_RECT_F source = rect_from_box(sx, sy, sw, sh);
        owner->target->DrawBitmap(bitmap.Get(), rect_from_box(dx, dy, dw, dh), 1.0f,
                                  D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, &source);
    }
}

void d2d_canvas::mask(float x, float y, float width, float height, blob mask, uint32_t colour) {
    d2d_drawing& d = *owner;
    if (ComPtr<ID2D1Bitmap> bitmap = tinted_mask_bitmap(d, mask, colour)) {
        d.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
        d.target->DrawBitmap(bitmap.Get(), rect_from_box(x, y, width, height), 1.0f,
                             D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
        d.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    }
}

void d2d_canvas::text(float left, float top, float right, float bottom, uint32_t colour,
                      text_style style, int32_t h_align, int32_t v_align, std::wstring_view text,
                      text_flow flow) {
    d2d_drawing& d = *owner;
    IDWriteTextFormat* f = prepare_format(d, style, h_align, v_align, flow);
    if (!f || text.empty()) return;
    d.brush->SetColor(colour_from_argb(colour));
    d.target->DrawText(text.data(), static_cast<UINT32>(text.size()), f,
                       D2D1::RectF(left, top, right, bottom), d.brush.Get(),
                       D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
}

d2d_drawing* create_d2d_drawing() {
    ComPtr<ID2D1Factory> factory;
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                 reinterpret_cast<void**>(factory.GetAddressOf())))) {
        return nullptr;
    }
    auto* d = new d2d_drawing;
    d->factory = std::move(factory);
    d->canvas.owner = d;
    return d;
}

void attach_window(d2d_drawing& d, HWND__* window) {
    d.window = window;
}

canvas& drawing_canvas(d2d_drawing& d) {
    return d.canvas;
}

paint_outcome paint_pass(d2d_drawing& d, const std::function<void(canvas&)>& draw) {
    if (!d.target && d.window) make_device_resources(d);
    if (!d.target || !d.brush) return paint_outcome::no_target;
    d.target->BeginDraw();
    d.target->SetTransform(D2D1::Matrix3x2F::Identity());
    const D2D1_SIZE_F size = d.target->GetSize();
    d.view_width = static_cast<int32_t>(size.width);
    d.view_height = static_cast<int32_t>(size.height);
    ++d.count.passes;
    if (draw) draw(d.canvas);
    const HRESULT result = d.target->EndDraw();
    if (result == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        ++d.count.device_losses;
        drop_device_resources(d);
        return paint_outcome::device_lost;
    }
    return SUCCEEDED(result) ? paint_outcome::drawn : paint_outcome::failed;
}

void drop_device_resources(d2d_drawing& d) {
    d.pictures.clear();
    d.tinted_masks.clear();
    d.brush.Reset();
    d.target.Reset();
}

bool has_render_target(const d2d_drawing& d) {
    return d.target != nullptr;
}

void resize_render_target(d2d_drawing& d, uint32_t width, uint32_t height) {
    if (d.target) d.target->Resize(D2D1::SizeU(width, height));
}

void set_render_target_dpi(d2d_drawing& d, float dpi) {
    if (d.target) d.target->SetDpi(dpi, dpi);
}

float render_target_dpi(const d2d_drawing& d) {
    if (!d.target) return 96.0f;
    float x = 96.0f, y = 96.0f;
    d.target->GetDpi(&x, &y);
    return x;
}

void set_bitmap_caching(d2d_drawing& d, bool on) {
    d.caching = on;
    if (!on) {
        d.pictures.clear();
        d.tinted_masks.clear();
    }
}

d2d_counters counters(const d2d_drawing& d) {
    return d.count;
}

} // namespace nimba
