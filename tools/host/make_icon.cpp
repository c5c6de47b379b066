// make_icon <icon.svg> <out.ico>: renders the program icon's artwork at 16, 24, 32, 48, 64, 96,
// 128 and 256 pixels into a Windows icon file of 32-bit images. The 256-pixel size is stored
// twice, once as an uncompressed bitmap and once PNG-compressed, so systems that read only one
// of the two forms still find the large image.
// make_icon <icon.svg> <out.png>: the 256-pixel image alone, for the Linux icon theme.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

struct icon_image {
    int size = 0;
    std::vector<uint8_t> bytes; // a BITMAPINFOHEADER bitmap or a PNG stream
};

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

cairo_surface_t* render(RsvgHandle* svg, int size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport = {0, 0, static_cast<double>(size), static_cast<double>(size)};
    GError* error = nullptr;
    const bool ok = rsvg_handle_render_document(svg, cr, &viewport, &error);
    cairo_destroy(cr);
    if (!ok) {
        std::fprintf(stderr, "make_icon: %s\n", error ? error->message : "cannot render");
        if (error) g_error_free(error);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    return surface;
}

// A 32-bit bottom-up bitmap with straight alpha, then the one-bit mask (set where transparent).
icon_image bitmap_entry(cairo_surface_t* surface, int size) {
    icon_image image{size, {}};
    std::vector<uint8_t>& out = image.bytes;
    const uint32_t mask_pitch = ((static_cast<uint32_t>(size) + 31) / 32) * 4;
    const uint32_t pixel_bytes = static_cast<uint32_t>(size) * size * 4;
    put_u32(out, 40);
    put_u32(out, static_cast<uint32_t>(size));
    put_u32(out, static_cast<uint32_t>(size) * 2); // colour rows and mask rows
    put_u16(out, 1);
    put_u16(out, 32);
    put_u32(out, 0);
    put_u32(out, pixel_bytes + mask_pitch * size);
    for (int i = 0; i < 4; ++i) put_u32(out, 0);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<uint8_t> mask(static_cast<size_t>(mask_pitch) * size, 0);
    for (int row = size - 1; row >= 0; --row) {
        const auto* line =
            reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride);
        for (int x = 0; x < size; ++x) {
            const uint32_t argb = line[x]; // premultiplied
            const uint32_t a = argb >> 24;
            for (int shift : {0, 8, 16}) {
                const uint32_t c = (argb >> shift) & 0xFF;
                out.push_back(static_cast<uint8_t>(a == 0 ? 0 : (c * 255 + a / 2) / a));
            }
            out.push_back(static_cast<uint8_t>(a));
            if (a == 0) {
                mask[static_cast<size_t>(size - 1 - row) * mask_pitch + x / 8] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    out.insert(out.end(), mask.begin(), mask.end());
    return image;
}

icon_image png_entry(cairo_surface_t* surface, int size) {
    icon_image image{size, {}};
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &image.bytes);
    return image;
}

std::vector<uint8_t> icon_file(const std::vector<icon_image>& images) {
    std::vector<uint8_t> out;
    put_u16(out, 0);
    put_u16(out, 1); // icon
    put_u16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const icon_image& image : images) {
        out.push_back(static_cast<uint8_t>(image.size >= 256 ? 0 : image.size));
        out.push_back(static_cast<uint8_t>(image.size >= 256 ? 0 : image.size));
        out.push_back(0); // no palette
        out.push_back(0);
        put_u16(out, 1);  // planes
        put_u16(out, 32); // bits per pixel
        put_u32(out, static_cast<uint32_t>(image.bytes.size()));
        put_u32(out, offset);
        offset += static_cast<uint32_t>(image.bytes.size());
    }
    for (const icon_image& image : images) {
        out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon <icon.svg> <out.ico | out.png>\n");
        return 2;
    }
    GError* error = nullptr;
    RsvgHandle* svg = rsvg_handle_new_from_file(argv[1], &error);
    if (!svg) {
        std::fprintf(stderr, "make_icon: %s: %s\n", argv[1], error ? error->message : "unreadable");
        return 1;
    }
    const std::string_view out_name = argv[2];
    const bool png_only = out_name.size() > 4 && out_name.substr(out_name.size() - 4) == ".png";
    constexpr std::array<int, 8> sizes = {16, 24, 32, 48, 64, 96, 128, 256};
    std::vector<icon_image> images;
    for (int size : sizes) {
        if (png_only && size != 256) continue;
        cairo_surface_t* surface = render(svg, size);
        if (!surface) return 1;
        if (!png_only) images.push_back(bitmap_entry(surface, size));
        if (size == 256) images.push_back(png_entry(surface, size));
        cairo_surface_destroy(surface);
    }
    g_object_unref(svg);
    const std::vector<uint8_t> bytes = png_only ? images.front().bytes : icon_file(images);
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
