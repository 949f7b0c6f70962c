// The double-buffered painting of the skinned windows: everything is drawn into a fixed-size
// back buffer (600 x 500 for the main window, 356 x 208 for the message dialog) and copied to
// the window in one go at WM_PAINT.
#pragma once

#include <memory>
#include <span>

#include "platform/window.h"
#include "ui/Graphics.h"

typedef struct _cairo_surface cairo_surface_t;

class BackBuffer {
public:
    // Nothing is allocated before the first Rebuild.
    BackBuffer(int width, int height);
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // The WM_SIZE rule: a non-empty size rebuilds the buffer at the window's device scale;
    // whatever the size, the client rectangle is recorded and the window invalidated.
    void OnSize(platform::Window& window, int clientWidth, int clientHeight);
    // Drops the old buffer and makes a new one of the fixed size at `scale` device pixels per
    // logical pixel (coordinates stay logical), with a new Graphics over it.
    void Rebuild(int scale = 1);

    // Null before the first Rebuild.
    Graphics* GetGraphics() const { return m_graphics.get(); }
    cairo_surface_t* Surface() const { return m_surface; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Scale() const { return m_scale; }
    const platform::Rect& ClientRect() const { return m_clientRect; }
    void SetClientRect(const platform::Rect& rect) { m_clientRect = rect; }

    // Copies the buffer onto the window's paint target: destination ClientRect(), source
    // origin (0, 0). Outside WM_PAINT (no paint target) it only invalidates the window.
    void CopyToWindow(platform::Window& window) const;
    // Copies only `strips`, each from the same position in the buffer.
    void CopyToWindow(platform::Window& window, std::span<const platform::Rect> strips) const;
    // The same onto any cairo target (tests, benchmarks).
    void CopyTo(cairo_t* cr) const;
    void CopyTo(cairo_t* cr, std::span<const platform::Rect> strips) const;

private:
    void CopyRect(cairo_t* cr, const platform::Rect& dest, int originX, int originY) const;

    int m_width;
    int m_height;
    int m_scale = 1;
    cairo_surface_t* m_surface = nullptr;
    std::unique_ptr<Graphics> m_graphics;
    platform::Rect m_clientRect;
};
