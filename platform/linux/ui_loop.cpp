// The user-interface thread: toolkit start-up, the loop helpers and the registry of windows.
#include <gdk/gdk.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/linux/window_impl.h"

namespace platform {
namespace {

std::atomic<bool> g_started{false};
std::thread::id g_uiThread;

}  // namespace

bool InitializeUi() {
    if (g_started.load()) {
        return IsUiThread();
    }
    // Placement by code and the shadow's input shape need X11; under Wayland this is XWayland.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        return false;
    }
    g_uiThread = std::this_thread::get_id();
    g_started.store(true);
    AttachMessageQueue();
    ConnectCompositionWatch();
    return true;
}

bool IsUiThread() {
    return g_started.load() && std::this_thread::get_id() == g_uiThread;
}

void PumpEvents() {
    // Bounded: a window whose overlay is redrawn without pause never lets the loop go idle.
    for (int i = 0; i < 10000 && g_main_context_pending(nullptr); ++i) {
        g_main_context_iteration(nullptr, FALSE);
    }
}

void RunOnUiThread(const std::function<void()>& task) {
    if (!g_started.load() || IsUiThread()) {
        task();
        return;
    }
    QueueTask(task, true);
}

std::vector<std::shared_ptr<Window::Impl>>& LiveWindows() {
    static std::vector<std::shared_ptr<Window::Impl>> windows;
    return windows;
}

std::shared_ptr<Window::Impl> SharedImpl(Window::Impl* impl) {
    auto& live = LiveWindows();
    auto it =
        std::find_if(live.begin(), live.end(), [impl](const auto& p) { return p.get() == impl; });
    return it == live.end() ? nullptr : *it;
}

}  // namespace platform
