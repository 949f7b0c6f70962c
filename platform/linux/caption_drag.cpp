// The caption drag: the desktop (or GDK's own emulation without a window manager) moves the
// window with the pointer. X reports no end of such a move to the window, so the layer
// watches the pointer's button state from the start of the drag: once the button is up the
// move is over, the window's real position is read back and WM_EXITSIZEMOVE delivered.
#include <gtk/gtk.h>

#include "platform/linux/window_impl.h"
#include "platform/messages.h"

namespace platform {
namespace {

constexpr guint kWatchIntervalMs = 15;

GdkDevice* Pointer(GtkWidget* widget) {
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
    return seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
}

GdkModifierType PointerState(GtkWidget* widget, int* rootX, int* rootY) {
    GdkModifierType mask = static_cast<GdkModifierType>(0);
    GdkDevice* pointer = Pointer(widget);
    GdkWindow* root = gdk_screen_get_root_window(gtk_widget_get_screen(widget));
    int x = 0;
    int y = 0;
    if (pointer != nullptr && root != nullptr) {
        gdk_window_get_device_position(root, pointer, &x, &y, &mask);
    }
    if (rootX != nullptr) {
        *rootX = x;
    }
    if (rootY != nullptr) {
        *rootY = y;
    }
    return mask;
}

guint ButtonMask(guint button) {
    switch (button) {
        case 2:
            return GDK_BUTTON2_MASK;
        case 3:
            return GDK_BUTTON3_MASK;
        default:
            return GDK_BUTTON1_MASK;
    }
}

struct Watch {
    std::weak_ptr<Window::Impl> impl;
    guint mask;
};

void FinishDrag(Window::Impl& impl) {
    std::shared_ptr<Window::Impl> keep = SharedImpl(&impl);
    if (!keep || !impl.exists.load()) {
        return;
    }
    // The last configure event may still be on its way: ask the server where the window is.
    if (GdkWindow* gdkWindow = gtk_widget_get_window(impl.window)) {
        int x = 0;
        int y = 0;
        gdk_window_get_origin(gdkWindow, &x, &y);
        impl.movePending = false;
        if (x != impl.rect.x || y != impl.rect.y) {
            impl.rect.x = x;
            impl.rect.y = y;
            Deliver(impl, WM_MOVE, 0, MakePoint(x, y));
        }
    }
    if (impl.exists.load()) {
        Deliver(impl, WM_EXITSIZEMOVE, 0, 0);
    }
}

gboolean OnWatch(gpointer data) {
    auto* watch = static_cast<Watch*>(data);
    auto impl = watch->impl.lock();
    if (!impl || !impl->exists.load()) {
        return G_SOURCE_REMOVE;
    }
    if ((PointerState(impl->window, nullptr, nullptr) & watch->mask) != 0) {
        return G_SOURCE_CONTINUE;
    }
    impl->dragWatch = 0;
    FinishDrag(*impl);
    return G_SOURCE_REMOVE;
}

void FreeWatch(gpointer data) {
    delete static_cast<Watch*>(data);
}

}  // namespace

void StopDragWatch(Window::Impl& impl) {
    if (impl.dragWatch != 0) {
        g_source_remove(impl.dragWatch);
        impl.dragWatch = 0;
    }
}

void Window::BeginCaptionDrag(int, int) {
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load() || i.kind == WindowKind::Shadow || i.dragWatch != 0 ||
        gtk_widget_get_window(i.window) == nullptr) {
        return;
    }
    int rootX = 0;
    int rootY = 0;
    const guint button = i.lastPress.valid ? i.lastPress.button : 1;
    if ((PointerState(i.window, &rootX, &rootY) & ButtonMask(button)) == 0) {
        return;  // released before the drag could start: a plain click
    }
    guint32 time = gtk_get_current_event_time();
    if (i.lastPress.valid) {
        rootX = i.lastPress.rootX;
        rootY = i.lastPress.rootY;
        time = i.lastPress.time;
    }
    gtk_window_begin_move_drag(GTK_WINDOW(i.window), static_cast<gint>(button), rootX, rootY, time);
    auto* watch = new Watch{keep, ButtonMask(button)};
    i.dragWatch =
        g_timeout_add_full(G_PRIORITY_DEFAULT, kWatchIntervalMs, OnWatch, watch, FreeWatch);
}

}  // namespace platform
