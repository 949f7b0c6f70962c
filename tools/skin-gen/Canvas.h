// An ARGB32 cairo surface with its drawing context, and the colour helpers the pictures share.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

namespace skin {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB with an alpha of 0..1.
constexpr Rgba Hex(std::uint32_t rgb, double alpha = 1.0) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}

inline void SetColour(cairo_t* cr, const Rgba& c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

class Canvas {
public:
    Canvas(int width, int height);

    cairo_t* cr() const { return m_cr.get(); }
    cairo_surface_t* surface() const { return m_surface.get(); }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Writes an 8-bit RGBA PNG (straight alpha, even when every pixel is opaque) without
    // time stamps or text chunks, so the same picture always gives the same bytes.
    bool WritePng(const std::string& path) const;

    // Straight-alpha RGBA of one pixel (0..255 each); flush the surface after drawing first.
    void PixelAt(int x, int y, std::uint8_t rgba[4]) const;

private:
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
    };
    struct ContextDeleter {
        void operator()(cairo_t* c) const { cairo_destroy(c); }
    };

    int m_width;
    int m_height;
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> m_surface;
    std::unique_ptr<cairo_t, ContextDeleter> m_cr;
};

// Rounded rectangle path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

}  // namespace skin
