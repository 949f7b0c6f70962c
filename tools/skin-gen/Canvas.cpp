#include "Canvas.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace skin {

Canvas::Canvas(int width, int height)
    : m_width(width),
      m_height(height),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      m_cr(cairo_create(m_surface.get())) {
    cairo_set_antialias(m_cr.get(), CAIRO_ANTIALIAS_BEST);
}

void Canvas::PixelAt(int x, int y, std::uint8_t rgba[4]) const {
    const unsigned char* data = cairo_image_surface_get_data(m_surface.get());
    const int stride = cairo_image_surface_get_stride(m_surface.get());
    std::uint32_t px = 0;
    std::memcpy(&px, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, 4);
    const std::uint32_t a = px >> 24;
    auto unpremultiply = [a](std::uint32_t c) -> std::uint8_t {
        return a == 0 ? 0 : static_cast<std::uint8_t>((c * 255 + a / 2) / a);
    };
    rgba[0] = unpremultiply((px >> 16) & 0xFF);
    rgba[1] = unpremultiply((px >> 8) & 0xFF);
    rgba[2] = unpremultiply(px & 0xFF);
    rgba[3] = static_cast<std::uint8_t>(a);
}

bool Canvas::WritePng(const std::string& path) const {
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(m_width) * m_height * 4);
    cairo_surface_flush(m_surface.get());
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            PixelAt(x, y, &rows[(static_cast<std::size_t>(y) * m_width + x) * 4]);
        }
    }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    // volatile: it is assigned after setjmp and read after a possible longjmp.
    volatile bool ok = png != nullptr && info != nullptr;
    // libpng reports errors by longjmp; nothing with a destructor lives between here and the end.
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_compression_level(png, 9);
        png_set_IHDR(png, info, static_cast<png_uint_32>(m_width),
                     static_cast<png_uint_32>(m_height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < m_height; ++y) {
            png_write_row(png, &rows[static_cast<std::size_t>(y) * m_width * 4]);
        }
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    const double k = M_PI / 180.0;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -90 * k, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, 90 * k);
    cairo_arc(cr, x + r, y + h - r, r, 90 * k, 180 * k);
    cairo_arc(cr, x + r, y + r, r, 180 * k, 270 * k);
    cairo_close_path(cr);
}

}  // namespace skin
