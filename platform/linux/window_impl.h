// The GTK side of platform::Window, shared by the files of the window layer.
#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window.h"

namespace platform {

struct Window::Impl {
    Window* self = nullptr;  // the public object; null once it is gone
    WindowKind kind = WindowKind::TopLevel;
    std::weak_ptr<Impl> owner;

    GtkWidget* window = nullptr;  // the GtkWindow
    GtkWidget* fixed = nullptr;   // client container: the drawing area, then child views
    GtkWidget* area = nullptr;    // drawing area covering the client rectangle

    std::shared_ptr<Procedure> procedure;  // copied per call so a hook may replace it
    Rect rect;                             // requested geometry, reported at once
    std::string title;
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    std::atomic<bool> exists{false};
    bool destroying = false;
    bool accepting = false;  // the queue takes messages for it; guarded by the queue's lock

    // Modal run.
    int modalDepth = 0;
    GMainLoop* modalLoop = nullptr;
    bool modalEnded = false;
    std::intptr_t modalResult = -1;

    cairo_t* paintContext = nullptr;  // set while WM_PAINT runs

    // The last left-button press, for the caption drag.
    struct Press {
        bool valid = false;
        guint button = 1;
        int rootX = 0;
        int rootY = 0;
        guint32 time = GDK_CURRENT_TIME;
    } lastPress;
    guint dragWatch = 0;

    // A position asked for by code whose configure event has not arrived yet: earlier
    // configure events still carry the old place and must not be reported as moves.
    bool movePending = false;
    int pendingX = 0;
    int pendingY = 0;
    gint64 pendingSince = 0;

    std::atomic<bool> invalidateQueued{false};

    // Overlay, shared with drawing threads.
    std::mutex overlayMutex;
    cairo_surface_t* overlay = nullptr;
    Rect overlayArea;
    Rect overlayDirty;  // empty when no redraw is queued
    bool overlayRedrawQueued = false;

    // Shadow kind: the picture shown, and whether the window was asked to show.
    cairo_surface_t* layered = nullptr;

    ~Impl();
};

// ---- ui_loop.cpp ----
// Every window whose native window exists, in creation order (UI thread).
std::vector<std::shared_ptr<Window::Impl>>& LiveWindows();
std::shared_ptr<Window::Impl> SharedImpl(Window::Impl* impl);

// ---- message_queue.cpp ----
void AttachMessageQueue();
// Queues a message; with `reply`, waits for the procedure's result (0 when dropped).
bool QueueMessage(const std::shared_ptr<Window::Impl>& target, unsigned msg, std::uintptr_t w,
                  std::intptr_t l, bool wait, std::intptr_t* result);
// Queues a task for the UI thread; waits until it has run when `wait` is set.
void QueueTask(std::function<void()> task, bool wait);
void SetAccepting(Window::Impl& impl, bool accepting);  // false drops its queued messages

// ---- window.cpp ----
std::intptr_t Deliver(Window::Impl& impl, unsigned msg, std::uintptr_t w, std::intptr_t l);
void ConnectWindowEvents(Window::Impl& impl);  // window_events.cpp
void PaintWindow(Window::Impl& impl, cairo_t* cr);

// ---- overlay.cpp ----
void PaintOverlay(Window::Impl& impl, cairo_t* cr);

// ---- layered.cpp ----
GtkWidget* CreateShadowNative(Window::Impl& impl);
void UpdateShadowMapping(Window::Impl& impl);
void ConnectCompositionWatch();

// ---- caption_drag.cpp ----
void StopDragWatch(Window::Impl& impl);

inline std::intptr_t PackSize(int width, int height) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(height & 0xFFFF) << 16) |
                                      static_cast<std::uint32_t>(width & 0xFFFF));
}

}  // namespace platform
