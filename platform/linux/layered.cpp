// Shadow windows: click-through popups with per-pixel alpha, shown only while a compositing
// manager blends them, and the screen's composition changes as WM_DWMCOMPOSITIONCHANGED.
#include <gtk/gtk.h>

#include <cstring>

#include "platform/linux/window_impl.h"
#include "platform/messages.h"

namespace platform {
namespace {

gboolean OnShadowDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto& impl = *static_cast<Window::Impl*>(data);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (impl.layered != nullptr) {
        cairo_set_source_surface(cr, impl.layered, 0, 0);
    } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
    }
    cairo_paint(cr);
    cairo_restore(cr);
    return TRUE;
}

void OnCompositedChanged(GdkScreen*, gpointer) {
    std::vector<std::shared_ptr<Window::Impl>> windows = LiveWindows();
    for (const auto& impl : windows) {
        if (impl->kind == WindowKind::Shadow && impl->exists.load()) {
            UpdateShadowMapping(*impl);
        }
    }
    for (const auto& impl : windows) {
        if (impl->exists.load()) {
            Deliver(*impl, WM_DWMCOMPOSITIONCHANGED, 0, 0);
        }
    }
}

}  // namespace

GtkWidget* CreateShadowNative(Window::Impl& impl) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    GtkWindow* w = GTK_WINDOW(window);
    if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) {
        gtk_widget_set_visual(window, visual);
    }
    gtk_widget_set_app_paintable(window, TRUE);
    gtk_window_set_accept_focus(w, FALSE);
    gtk_window_set_focus_on_map(w, FALSE);
    gtk_window_set_skip_taskbar_hint(w, TRUE);
    gtk_window_set_skip_pager_hint(w, TRUE);
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_UTILITY);
    if (auto owner = impl.owner.lock(); owner && owner->window != nullptr) {
        gtk_window_set_transient_for(w, GTK_WINDOW(owner->window));
    }
    // An empty input shape lets every click through to whatever lies below; the toolkit
    // keeps it and applies it whenever the window is realized.
    cairo_region_t* empty = cairo_region_create();
    gtk_widget_input_shape_combine_region(window, empty);
    cairo_region_destroy(empty);
    g_signal_connect(window, "draw", G_CALLBACK(OnShadowDraw), &impl);
    return window;
}

void UpdateShadowMapping(Window::Impl& impl) {
    if (!impl.exists.load() || impl.window == nullptr) {
        return;
    }
    const bool map = impl.visible && impl.layered != nullptr && impl.rect.width > 0 &&
                     impl.rect.height > 0 && Window::CompositionEnabled();
    if (map && !gtk_widget_get_visible(impl.window)) {
        gtk_widget_show(impl.window);
    } else if (!map && gtk_widget_get_visible(impl.window)) {
        gtk_widget_hide(impl.window);
    }
}

void Window::UpdateLayered(Rect screenRect, const std::uint32_t* pixels) {
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load() || i.kind != WindowKind::Shadow) {
        return;
    }
    if (i.layered != nullptr) {
        cairo_surface_destroy(i.layered);
        i.layered = nullptr;
    }
    if (pixels != nullptr && screenRect.width > 0 && screenRect.height > 0) {
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, screenRect.width, screenRect.height);
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
            // Cairo's ARGB32 is the same premultiplied 32-bit word per pixel; only the row
            // stride may differ.
            cairo_surface_flush(surface);
            unsigned char* data = cairo_image_surface_get_data(surface);
            const int stride = cairo_image_surface_get_stride(surface);
            const std::size_t rowBytes = static_cast<std::size_t>(screenRect.width) * 4;
            for (int y = 0; y < screenRect.height; ++y) {
                std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride,
                            pixels + static_cast<std::ptrdiff_t>(y) * screenRect.width, rowBytes);
            }
            cairo_surface_mark_dirty(surface);
            i.layered = surface;
        } else {
            cairo_surface_destroy(surface);
        }
    }
    MoveWindow(screenRect, false);
    if (i.exists.load()) {
        gtk_widget_queue_draw(i.window);
        UpdateShadowMapping(i);
    }
}

bool Window::LayeredSupported() {
    GdkScreen* screen = gdk_screen_get_default();
    return screen != nullptr && gdk_screen_get_rgba_visual(screen) != nullptr;
}

bool Window::CompositionEnabled() {
    GdkScreen* screen = gdk_screen_get_default();
    return screen != nullptr && gdk_screen_is_composited(screen);
}

void ConnectCompositionWatch() {
    if (GdkScreen* screen = gdk_screen_get_default()) {
        g_signal_connect(screen, "composited-changed", G_CALLBACK(OnCompositedChanged), nullptr);
    }
}

}  // namespace platform
