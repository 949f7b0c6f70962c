#include "ui/Image.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/resources.h"

namespace {

// Copies a decoded pixbuf into a premultiplied ARGB32 surface.
cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pixbuf) {
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (width <= 0 || height <= 0 || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
        gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || channels < (alpha ? 4 : 3)) {
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
    const int srcStride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned char* dst = cairo_image_surface_get_data(surface);
    const int dstStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const guchar* s = src + static_cast<std::ptrdiff_t>(y) * srcStride;
        auto* d =
            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dstStride);
        for (int x = 0; x < width; ++x, s += channels) {
            const std::uint32_t a = alpha ? s[3] : 255u;
            const std::uint32_t r = (s[0] * a + 127) / 255;
            const std::uint32_t g = (s[1] * a + 127) / 255;
            const std::uint32_t b = (s[2] * a + 127) / 255;
            d[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

}  // namespace

cairo_surface_t* DecodeImageSurface(std::span<const std::uint8_t> encoded) {
    if (encoded.empty()) {
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool ok = gdk_pixbuf_loader_write(loader, encoded.data(), encoded.size(), nullptr);
    ok = gdk_pixbuf_loader_close(loader, nullptr) && ok;
    cairo_surface_t* surface = nullptr;
    if (ok) {
        if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader)) {
            surface = SurfaceFromPixbuf(pixbuf);
        }
    }
    g_object_unref(loader);
    return surface;
}

Image::Image(std::span<const std::uint8_t> encoded) {
    Adopt(DecodeImageSurface(encoded));
}

Image::Image(cairo_surface_t* adopted) {
    Adopt(adopted);
}

Image::~Image() {
    Adopt(nullptr);
}

void Image::Adopt(cairo_surface_t* surface) {
    if (m_surface != nullptr) {
        cairo_surface_destroy(m_surface);
    }
    m_surface = surface;
    m_width = 0;
    m_height = 0;
    if (surface != nullptr && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
        cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        m_width = cairo_image_surface_get_width(surface);
        m_height = cairo_image_surface_get_height(surface);
    } else if (surface != nullptr) {
        cairo_surface_destroy(surface);
        m_surface = nullptr;
    }
}

bool LoadResourceImage(int id, const char* type, Image*& image) {
    if (type == nullptr) {
        return false;
    }
    const auto bytes = platform::FindResource(type, id);
    if (!bytes) {
        return false;
    }
    image = new Image(*bytes);
    return true;
}

bool LoadResourceImage(int id, const char* type, std::unique_ptr<Image>& image) {
    Image* loaded = nullptr;
    if (!LoadResourceImage(id, type, loaded)) {
        return false;
    }
    image.reset(loaded);
    return true;
}
