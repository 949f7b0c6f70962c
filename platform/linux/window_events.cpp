// GTK events of a window turned into its messages: paint, left-button mouse input, Enter and
// Esc, the desktop's close request, moves by others and minimise / maximise.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <cmath>

#include "platform/linux/window_impl.h"
#include "platform/messages.h"

namespace platform {
namespace {

// A configure event that does not carry the position asked for by code within this time is
// taken as the desktop's own placement (a window manager may refuse or adjust a move).
constexpr gint64 kPendingMoveTimeout = 500 * 1000;  // microseconds

Window::Impl& Of(gpointer data) {
    return *static_cast<Window::Impl*>(data);
}

std::intptr_t ClientPoint(double x, double y) {
    return MakePoint(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    PaintWindow(Of(data), cr);
    return TRUE;
}

gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    Window::Impl& impl = Of(data);
    // Double and triple clicks come as extra events after the plain presses; ignore them.
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY || !impl.enabled) {
        return FALSE;
    }
    impl.lastPress.valid = true;
    impl.lastPress.button = event->button;
    impl.lastPress.rootX = static_cast<int>(std::lround(event->x_root));
    impl.lastPress.rootY = static_cast<int>(std::lround(event->y_root));
    impl.lastPress.time = event->time;
    Deliver(impl, WM_LBUTTONDOWN, 0, ClientPoint(event->x, event->y));
    return TRUE;
}

gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    Window::Impl& impl = Of(data);
    if (event->button != GDK_BUTTON_PRIMARY || !impl.enabled) {
        return FALSE;
    }
    Deliver(impl, WM_LBUTTONUP, 0, ClientPoint(event->x, event->y));
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    Window::Impl& impl = Of(data);
    if (!impl.enabled) {
        return FALSE;
    }
    Deliver(impl, WM_MOUSEMOVE, 0, ClientPoint(event->x, event->y));
    return TRUE;
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    Window::Impl& impl = Of(data);
    std::intptr_t command = 0;
    switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            command = IDOK;
            break;
        case GDK_KEY_Escape:
            command = IDCANCEL;
            break;
        default:
            return FALSE;  // other keys reach the focused child (the web view)
    }
    if (impl.enabled) {
        Deliver(impl, WM_COMMAND, static_cast<std::uintptr_t>(command), 0);
    }
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    Window::Impl& impl = Of(data);
    if (impl.enabled) {
        Deliver(impl, WM_CLOSE, 0, 0);
    }
    return TRUE;  // the procedure decides; the toolkit never destroys the window itself
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    Window::Impl& impl = Of(data);
    if (impl.movePending) {
        if (event->x == impl.pendingX && event->y == impl.pendingY) {
            impl.movePending = false;
            return FALSE;  // reported when it was asked for
        }
        if (g_get_monotonic_time() - impl.pendingSince < kPendingMoveTimeout) {
            return FALSE;  // an earlier place, overtaken by the request
        }
        impl.movePending = false;
    }
    if (event->x != impl.rect.x || event->y != impl.rect.y) {
        impl.rect.x = event->x;
        impl.rect.y = event->y;
        Deliver(impl, WM_MOVE, 0, MakePoint(event->x, event->y));
    }
    return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    Window::Impl& impl = Of(data);
    constexpr auto kWatched = GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED;
    if ((event->changed_mask & kWatched) == 0) {
        return FALSE;
    }
    impl.minimized = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    impl.maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (impl.minimized) {
        Deliver(impl, WM_SIZE, SIZE_MINIMIZED, 0);
    } else if (impl.maximized) {
        int width = 0;
        int height = 0;
        gtk_window_get_size(GTK_WINDOW(impl.window), &width, &height);
        Deliver(impl, WM_SIZE, SIZE_MAXIMIZED, PackSize(width, height));
    } else {
        Deliver(impl, WM_SIZE, SIZE_RESTORED, PackSize(impl.rect.width, impl.rect.height));
    }
    return FALSE;
}

}  // namespace

void ConnectWindowEvents(Window::Impl& impl) {
    gpointer data = &impl;
    GtkWidget* w = impl.window;
    g_signal_connect(w, "configure-event", G_CALLBACK(OnConfigure), data);
    if (impl.kind == WindowKind::Shadow) {
        return;  // a shadow paints its picture and takes no input (layered.cpp)
    }
    g_signal_connect(impl.area, "draw", G_CALLBACK(OnDraw), data);
    g_signal_connect(impl.area, "button-press-event", G_CALLBACK(OnButtonPress), data);
    g_signal_connect(impl.area, "button-release-event", G_CALLBACK(OnButtonRelease), data);
    g_signal_connect(impl.area, "motion-notify-event", G_CALLBACK(OnMotion), data);
    g_signal_connect(w, "key-press-event", G_CALLBACK(OnKeyPress), data);
    g_signal_connect(w, "delete-event", G_CALLBACK(OnDelete), data);
    g_signal_connect(w, "window-state-event", G_CALLBACK(OnWindowState), data);
}

void PaintWindow(Window::Impl& impl, cairo_t* cr) {
    std::shared_ptr<Window::Impl> keep = SharedImpl(&impl);
    if (!keep || !impl.exists.load()) {
        return;
    }
    cairo_t* outer = impl.paintContext;
    impl.paintContext = cr;
    cairo_save(cr);
    Deliver(impl, WM_PAINT, 0, 0);
    cairo_restore(cr);
    impl.paintContext = outer;
    PaintOverlay(impl, cr);
}

}  // namespace platform
