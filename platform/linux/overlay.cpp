// The per-window overlay: a drawing thread paints into an ARGB surface under a lock and the
// window's draw handler composites it above what WM_PAINT drew.
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/linux/window_impl.h"

namespace platform {
namespace {

Rect Union(const Rect& a, const Rect& b) {
    if (a.width <= 0 || a.height <= 0) {
        return b;
    }
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return Rect{left, top, right - left, bottom - top};
}

// Called with the overlay lock held: at most one redraw waits in the queue, covering every
// area drawn since it was queued.
void QueueOverlayRedraw(const std::shared_ptr<Window::Impl>& impl, const Rect& area) {
    impl->overlayDirty = Union(impl->overlayDirty, area);
    if (impl->overlayRedrawQueued) {
        return;
    }
    impl->overlayRedrawQueued = true;
    std::weak_ptr<Window::Impl> weak = impl;
    auto redraw = [weak] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        Rect dirty;
        {
            std::lock_guard lock(self->overlayMutex);
            dirty = self->overlayDirty;
            self->overlayDirty = Rect{};
            self->overlayRedrawQueued = false;
        }
        if (self->exists.load() && self->area != nullptr && dirty.width > 0 && dirty.height > 0) {
            gtk_widget_queue_draw_area(self->area, dirty.x, dirty.y, dirty.width, dirty.height);
        }
    };
    QueueTask(redraw, false);
}

}  // namespace

void Window::DrawOverlay(Rect area, const std::function<void(cairo_t*)>& draw) {
    std::shared_ptr<Impl> impl = m_impl;
    if (!impl->exists.load() || area.width <= 0 || area.height <= 0) {
        return;
    }
    std::lock_guard lock(impl->overlayMutex);
    const Rect previous = impl->overlayArea;
    if (impl->overlay == nullptr || previous.width != area.width ||
        previous.height != area.height) {
        if (impl->overlay != nullptr) {
            cairo_surface_destroy(impl->overlay);
        }
        impl->overlay = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, area.width, area.height);
    }
    impl->overlayArea = area;
    cairo_t* cr = cairo_create(impl->overlay);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(impl->overlay);
    if (impl->overlay != nullptr && previous != area && previous.width > 0) {
        QueueOverlayRedraw(impl, previous);  // the old place shows the window again
    }
    QueueOverlayRedraw(impl, area);
}

void Window::ClearOverlay() {
    std::shared_ptr<Impl> impl = m_impl;
    std::lock_guard lock(impl->overlayMutex);
    if (impl->overlay == nullptr) {
        return;
    }
    cairo_surface_destroy(impl->overlay);
    impl->overlay = nullptr;
    if (impl->exists.load()) {
        QueueOverlayRedraw(impl, impl->overlayArea);
    }
    impl->overlayArea = Rect{};
}

void PaintOverlay(Window::Impl& impl, cairo_t* cr) {
    std::lock_guard lock(impl.overlayMutex);
    if (impl.overlay == nullptr) {
        return;
    }
    cairo_save(cr);
    cairo_set_source_surface(cr, impl.overlay, impl.overlayArea.x, impl.overlayArea.y);
    cairo_rectangle(cr, impl.overlayArea.x, impl.overlayArea.y, impl.overlayArea.width,
                    impl.overlayArea.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

}  // namespace platform
