#include "ui/BackBuffer.h"

#include <cairo.h>

#include <algorithm>

BackBuffer::BackBuffer(int width, int height)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)) {}

BackBuffer::~BackBuffer() {
    m_graphics.reset();
    if (m_surface != nullptr) {
        cairo_surface_destroy(m_surface);
    }
}

void BackBuffer::Rebuild(int scale) {
    scale = std::clamp(scale, 1, 8);
    m_graphics.reset();
    if (m_surface != nullptr) {
        cairo_surface_destroy(m_surface);
    }
    // xRGB like the device bitmap it stands for: alpha is not stored, so a clear to
    // 0x00FFFFFF shows white on the window.
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, m_width * scale, m_height * scale);
    cairo_surface_set_device_scale(m_surface, scale, scale);
    m_scale = scale;
    m_graphics = std::make_unique<Graphics>(m_surface);
}

void BackBuffer::OnSize(platform::Window& window, int clientWidth, int clientHeight) {
    if (clientWidth != 0 && clientHeight != 0) {
        Rebuild(window.ScaleFactor());
    }
    m_clientRect = platform::Rect{0, 0, clientWidth, clientHeight};
    window.Invalidate();
}

void BackBuffer::CopyToWindow(platform::Window& window) const {
    if (cairo_t* cr = window.PaintContext()) {
        CopyTo(cr);
    } else {
        window.Invalidate();
    }
}

void BackBuffer::CopyToWindow(platform::Window& window,
                              std::span<const platform::Rect> strips) const {
    if (cairo_t* cr = window.PaintContext()) {
        CopyTo(cr, strips);
    } else {
        window.Invalidate();
    }
}

void BackBuffer::CopyTo(cairo_t* cr) const {
    // Destination the client rectangle, source origin (0, 0).
    CopyRect(cr, m_clientRect, m_clientRect.x, m_clientRect.y);
}

void BackBuffer::CopyTo(cairo_t* cr, std::span<const platform::Rect> strips) const {
    for (const platform::Rect& strip : strips) {
        CopyRect(cr, strip, 0, 0);  // each strip from the same position in the buffer
    }
}

void BackBuffer::CopyRect(cairo_t* cr, const platform::Rect& dest, int originX, int originY) const {
    if (m_surface == nullptr || cr == nullptr || dest.width <= 0 || dest.height <= 0) {
        return;
    }
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, m_surface, originX, originY);
    cairo_rectangle(cr, dest.x, dest.y, dest.width, dest.height);
    cairo_fill(cr);
    cairo_restore(cr);
}
