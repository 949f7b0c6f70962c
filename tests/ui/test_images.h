// Pictures made by the tests themselves, encoded as PNG the way skin resources are.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/BackBuffer.h"
#include "ui/Image.h"

namespace uitest {

inline std::vector<std::uint8_t> EncodePng(int width, int height,
                                           const std::function<void(cairo_t*)>& paint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    paint(cr);
    cairo_destroy(cr);
    std::vector<std::uint8_t> bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

inline std::unique_ptr<Image> SolidImage(int width, int height, std::uint32_t argb) {
    return std::make_unique<Image>(EncodePng(width, height, [argb](cairo_t* cr) {
        cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                              (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
        cairo_paint(cr);
    }));
}

// RGB of a logical pixel of the buffer (device pixel at its top left).
inline std::uint32_t PixelAt(const BackBuffer& buffer, int x, int y) {
    cairo_surface_t* surface = buffer.Surface();
    cairo_surface_flush(surface);
    const int scale = buffer.Scale();
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + (y * scale) * stride);
    return row[x * scale] & 0x00FFFFFF;
}

// Bounding box of the pixels that differ from `background`.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool Empty() const { return right < left; }
};
inline Box InkBox(const BackBuffer& buffer, std::uint32_t background) {
    Box box;
    for (int y = 0; y < buffer.Height(); ++y) {
        for (int x = 0; x < buffer.Width(); ++x) {
            if (PixelAt(buffer, x, y) != background) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box;
}

}  // namespace uitest
