// platform::Window: creation, the procedure chain, messages, placement, the modal run and
// destruction. The GTK event handlers are in window_events.cpp.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/linux/window_impl.h"
#include "platform/messages.h"

namespace platform {
namespace {

GtkWidget* CreateFrameNative(Window::Impl& impl, const WindowOptions& options) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* w = GTK_WINDOW(window);
    gtk_window_set_decorated(w, FALSE);
    gtk_window_set_resizable(w, FALSE);
    gtk_window_set_title(w, options.title.c_str());
    if (auto owner = impl.owner.lock(); owner && owner->window != nullptr) {
        gtk_window_set_transient_for(w, GTK_WINDOW(owner->window));
    }
    if (options.kind == WindowKind::Dialog) {
        gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_window_set_skip_taskbar_hint(w, TRUE);
        // The toolkit's modal grab keeps input from every other window while it is shown.
        gtk_window_set_modal(w, TRUE);
    }
    impl.fixed = gtk_fixed_new();
    impl.area = gtk_drawing_area_new();
    gtk_widget_add_events(
        impl.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    gtk_fixed_put(GTK_FIXED(impl.fixed), impl.area, 0, 0);
    gtk_container_add(GTK_CONTAINER(window), impl.fixed);
    gtk_widget_show_all(impl.fixed);
    return window;
}

void ApplySize(Window::Impl& impl) {
    const int width = std::max(impl.rect.width, 1);
    const int height = std::max(impl.rect.height, 1);
    if (impl.area != nullptr) {
        gtk_widget_set_size_request(impl.area, width, height);
    }
    gtk_window_resize(GTK_WINDOW(impl.window), width, height);
}

void ApplyPosition(Window::Impl& impl) {
    impl.movePending = true;
    impl.pendingX = impl.rect.x;
    impl.pendingY = impl.rect.y;
    impl.pendingSince = g_get_monotonic_time();
    gtk_window_move(GTK_WINDOW(impl.window), impl.rect.x, impl.rect.y);
}

}  // namespace

Window::Impl::~Impl() {
    if (overlay != nullptr) {
        cairo_surface_destroy(overlay);
    }
    if (layered != nullptr) {
        cairo_surface_destroy(layered);
    }
}

std::intptr_t Deliver(Window::Impl& impl, unsigned msg, std::uintptr_t w, std::intptr_t l) {
    Window* self = impl.self;
    if (self == nullptr) {
        return 0;
    }
    std::shared_ptr<Window::Procedure> procedure = impl.procedure;
    if (!procedure || !*procedure) {
        return self->DefaultProc(msg, w, l);
    }
    return (*procedure)(*self, msg, w, l);
}

Window::Window(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {
    m_impl->self = this;
}

std::unique_ptr<Window> Window::Create(const WindowOptions& options, Procedure procedure) {
    if (!IsUiThread()) {
        std::unique_ptr<Window> made;
        RunOnUiThread([&] { made = Create(options, procedure); });
        return made;
    }
    auto impl = std::make_unique<Impl>();
    impl->kind = options.kind;
    impl->procedure = std::make_shared<Procedure>(std::move(procedure));
    impl->rect = options.rect;
    impl->title = options.title;
    if (options.owner != nullptr && options.owner->m_impl->exists.load()) {
        impl->owner = options.owner->m_impl;
    }
    std::unique_ptr<Window> window(new Window(std::move(impl)));
    Impl& i = *window->m_impl;

    i.window =
        options.kind == WindowKind::Shadow ? CreateShadowNative(i) : CreateFrameNative(i, options);
    ConnectWindowEvents(i);
    ApplySize(i);
    ApplyPosition(i);
    i.exists.store(true);
    SetAccepting(i, true);
    LiveWindows().push_back(window->m_impl);

    if (window->CallProcedure(WM_CREATE, 0, 0) == -1) {
        window->Destroy();
        return nullptr;
    }
    if (!window->Exists()) {
        return nullptr;
    }
    window->CallProcedure(WM_SIZE, SIZE_RESTORED, PackSize(i.rect.width, i.rect.height));
    window->CallProcedure(WM_MOVE, 0, MakePoint(i.rect.x, i.rect.y));
    if (options.visible && window->Exists()) {
        window->Show(true);
    }
    return window;
}

Window::~Window() {
    Destroy();
    m_impl->self = nullptr;
}

std::intptr_t Window::Send(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<Impl> impl = m_impl;  // the object may go while this thread waits
    if (!impl->exists.load()) {
        return 0;
    }
    if (IsUiThread()) {
        return Deliver(*impl, msg, wParam, lParam);
    }
    std::intptr_t result = 0;
    QueueMessage(impl, msg, wParam, lParam, true, &result);
    return result;
}

bool Window::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return QueueMessage(m_impl, msg, wParam, lParam, false, nullptr);
}

void Window::Invalidate() {
    if (!m_impl->exists.load()) {
        return;
    }
    if (IsUiThread()) {
        if (m_impl->window != nullptr) {
            gtk_widget_queue_draw(m_impl->window);
        }
        return;
    }
    if (m_impl->invalidateQueued.exchange(true)) {
        return;  // one queued redraw covers every request made before it runs
    }
    std::weak_ptr<Impl> weak = m_impl;
    QueueTask(
        [weak] {
            if (auto impl = weak.lock()) {
                impl->invalidateQueued.store(false);
                if (impl->exists.load() && impl->window != nullptr) {
                    gtk_widget_queue_draw(impl->window);
                }
            }
        },
        false);
}

bool Window::Exists() const {
    return m_impl->exists.load();
}

std::intptr_t Window::DefaultProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case WM_NCLBUTTONDOWN:
            if (wParam == HTCAPTION) {
                BeginCaptionDrag(PointX(lParam), PointY(lParam));
            }
            return 0;
        case WM_CLOSE:
            Send(WM_COMMAND, static_cast<std::uintptr_t>(IDCANCEL), 0);
            return 0;
        case WM_COMMAND: {
            const auto id = static_cast<std::intptr_t>(wParam & 0xFFFF);
            if ((id == IDOK || id == IDCANCEL) && m_impl->modalDepth > 0) {
                EndModal(id);
            }
            return 0;
        }
        default:
            return 0;
    }
}

Window::Procedure Window::ReplaceProcedure(Procedure procedure) {
    Procedure previous = m_impl->procedure ? *m_impl->procedure : Procedure();
    if (!previous) {
        previous = [](Window& w, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
            return w.DefaultProc(msg, wp, lp);
        };
    }
    m_impl->procedure = std::make_shared<Procedure>(std::move(procedure));
    return previous;
}

std::intptr_t Window::CallProcedure(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<Impl> keep = m_impl;
    return Deliver(*keep, msg, wParam, lParam);
}

void Window::MoveWindow(Rect screenRect, bool repaint) {
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load()) {
        return;
    }
    const bool moved = screenRect.x != i.rect.x || screenRect.y != i.rect.y;
    const bool sized = screenRect.width != i.rect.width || screenRect.height != i.rect.height;
    i.rect = screenRect;
    if (sized) {
        ApplySize(i);
    }
    if (moved) {
        ApplyPosition(i);
    }
    if (moved) {
        CallProcedure(WM_MOVE, 0, MakePoint(screenRect.x, screenRect.y));
    }
    if (sized && i.exists.load()) {
        CallProcedure(WM_SIZE, SIZE_RESTORED, PackSize(screenRect.width, screenRect.height));
    }
    if (repaint) {
        Invalidate();
    }
}

void Window::SetPosition(int x, int y) {
    Rect r = m_impl->rect;
    r.x = x;
    r.y = y;
    MoveWindow(r, false);
}

Rect Window::GetWindowRect() const {
    return m_impl->rect;
}

Rect Window::GetClientRect() const {
    return Rect{0, 0, m_impl->rect.width, m_impl->rect.height};
}

void Window::Show(bool visible) {
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load() || i.visible == visible) {
        return;
    }
    i.visible = visible;
    CallProcedure(WM_SHOWWINDOW, visible ? 1 : 0, 0);
    if (!i.exists.load()) {
        return;
    }
    if (i.kind == WindowKind::Shadow) {
        UpdateShadowMapping(i);
    } else if (i.visible) {
        gtk_widget_show(i.window);
    } else {
        gtk_widget_hide(i.window);
    }
}

bool Window::IsVisible() const {
    return m_impl->exists.load() && m_impl->visible;
}

bool Window::IsMinimized() const {
    return m_impl->minimized;
}

bool Window::IsMaximized() const {
    return m_impl->maximized;
}

void Window::SetTitle(const std::string& title) {
    m_impl->title = title;
    if (m_impl->exists.load()) {
        gtk_window_set_title(GTK_WINDOW(m_impl->window), title.c_str());
    }
}

std::string Window::Title() const {
    return m_impl->title;
}

void Window::SetIcon(std::span<const std::uint8_t> encodedImage) {
    if (!m_impl->exists.load() || encodedImage.empty()) {
        return;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    if (gdk_pixbuf_loader_write(loader, encodedImage.data(), encodedImage.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader)) {
            gtk_window_set_icon(GTK_WINDOW(m_impl->window), pixbuf);
        }
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
}

void Window::SetEnabled(bool enabled) {
    m_impl->enabled = enabled;
    if (m_impl->exists.load() && m_impl->fixed != nullptr) {
        gtk_widget_set_sensitive(m_impl->fixed, enabled);
    }
}

bool Window::IsEnabled() const {
    return m_impl->enabled;
}

std::intptr_t Window::DoModal() {
    if (!IsUiThread()) {
        std::intptr_t result = -1;
        RunOnUiThread([&] { result = DoModal(); });
        return result;
    }
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load()) {
        return i.modalEnded ? i.modalResult : -1;
    }
    // As a modal dialog does, the owner is disabled for the run and enabled again before the
    // dialog goes, so that the owner and not some other window becomes active.
    std::shared_ptr<Impl> owner = i.kind == WindowKind::Dialog ? i.owner.lock() : nullptr;
    const bool disableOwner = owner && owner->exists.load() && owner->enabled && owner->self;
    if (disableOwner) {
        owner->self->SetEnabled(false);
    }
    ++i.modalDepth;
    Show(true);
    if (i.exists.load() && i.kind != WindowKind::Shadow) {
        gtk_window_present(GTK_WINDOW(i.window));
    }
    if (!i.modalEnded && i.exists.load()) {
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        GMainLoop* outer = i.modalLoop;
        i.modalLoop = loop;
        g_main_loop_run(loop);
        i.modalLoop = outer;
        g_main_loop_unref(loop);
    }
    --i.modalDepth;
    const std::intptr_t result = i.modalEnded ? i.modalResult : -1;
    i.modalEnded = false;
    i.modalResult = -1;
    if (disableOwner && owner->exists.load() && owner->self) {
        owner->self->SetEnabled(true);
    }
    Destroy();
    return result;
}

void Window::EndModal(std::intptr_t result) {
    if (!IsUiThread()) {
        RunOnUiThread([&] { EndModal(result); });
        return;
    }
    m_impl->modalEnded = true;
    m_impl->modalResult = result;
    if (m_impl->modalLoop != nullptr) {
        g_main_loop_quit(m_impl->modalLoop);
    }
}

void Window::Destroy() {
    if (!IsUiThread() && m_impl->exists.load()) {
        RunOnUiThread([this] { Destroy(); });
        return;
    }
    std::shared_ptr<Impl> keep = m_impl;
    Impl& i = *keep;
    if (!i.exists.load() || i.destroying) {
        return;
    }
    i.destroying = true;
    // Workers blocked in Send get 0 now rather than after the procedure's last messages.
    SetAccepting(i, false);
    if (i.modalLoop != nullptr) {
        g_main_loop_quit(i.modalLoop);
    }
    StopDragWatch(i);
    if (i.kind != WindowKind::Shadow && i.visible) {
        gtk_widget_hide(i.window);
    }
    CallProcedure(WM_DESTROY, 0, 0);
    CallProcedure(WM_NCDESTROY, 0, 0);

    // Owned windows (a shadow, a dialog) do not outlive their owner.
    std::vector<std::shared_ptr<Impl>> owned;
    for (const auto& other : LiveWindows()) {
        if (other->owner.lock() == keep) {
            owned.push_back(other);
        }
    }
    for (const auto& other : owned) {
        if (other->self != nullptr) {
            other->self->Destroy();
        }
    }

    i.exists.store(false);
    {
        std::lock_guard lock(i.overlayMutex);
        i.overlayDirty = Rect{};
        i.overlayRedrawQueued = false;
    }
    GtkWidget* native = i.window;
    i.window = nullptr;
    i.fixed = nullptr;
    i.area = nullptr;
    gtk_widget_destroy(native);
    auto& live = LiveWindows();
    live.erase(std::remove(live.begin(), live.end(), keep), live.end());
}

int Window::ScaleFactor() const {
    if (!m_impl->exists.load()) {
        return 1;
    }
    return gtk_widget_get_scale_factor(m_impl->window);
}

cairo_t* Window::PaintContext() const {
    return m_impl->paintContext;
}

void* Window::NativeHandle() const {
    return m_impl->window;
}

}  // namespace platform
