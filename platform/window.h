// The window layer: top-level windows that receive the system's numbered messages
// (platform/messages.h) through a replaceable procedure, with synchronous sends and posts
// from any thread, painting into a cairo target, a caption drag, a modal run, an overlay
// that another thread may draw into, and per-pixel-alpha shadow windows.
//
// Threads: one user-interface thread runs the toolkit's main loop (platform::InitializeUi is
// called on it). Every window belongs to that thread and its procedure always runs there.
// Calls marked "any thread" are safe from workers; every other call is for the UI thread.
// Create, DoModal, EndModal, Destroy and the destructor may also be called from a worker:
// they then run on the UI thread while the caller waits (a worker's notice dialog).
//
// WM_ERASEBKGND is never delivered: the toolkit double-buffers every paint, so there is no
// background to erase and WM_PAINT alone draws the client area.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

typedef struct _cairo cairo_t;

namespace platform {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

enum class WindowKind {
    TopLevel,  // borderless, with a taskbar entry
    Dialog,    // borderless, modal over its owner, no taskbar entry of its own
    Shadow,    // per-pixel-alpha popup owned by its owner, click-through, never focused
};

struct WindowOptions {
    WindowKind kind = WindowKind::TopLevel;
    class Window* owner = nullptr;
    std::string title;
    Rect rect;  // screen position and size
    bool visible = false;
};

// UI thread. Starts the toolkit (X11 backend); false when no display can be opened.
bool InitializeUi();
// UI thread. Runs pending events until none is left; tests use it to let the loop settle.
void PumpEvents();
// Any thread. True on the thread that called InitializeUi.
bool IsUiThread();
// Any thread. Runs `task` on the UI thread: at once when called there, otherwise queued
// behind the pending messages while the caller waits until it has run.
void RunOnUiThread(const std::function<void()>& task);

class Window {
public:
    using Procedure =
        std::function<std::intptr_t(Window&, unsigned msg, std::uintptr_t, std::intptr_t)>;

    // Creates the window and delivers WM_CREATE through `procedure` before returning.
    // A WM_CREATE result of -1 fails the creation: the window is destroyed, nullptr returned.
    // Otherwise WM_SIZE (SIZE_RESTORED) and WM_MOVE with the initial rectangle follow, then
    // WM_SHOWWINDOW when `options.visible` is set. An empty procedure means DefaultProc.
    static std::unique_ptr<Window> Create(const WindowOptions& options, Procedure procedure);

    // Destroys the native window if it still exists (WM_DESTROY, then WM_NCDESTROY).
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // ---- any thread ----

    // From the UI thread the procedure runs at once. From another thread the message is
    // queued and the caller blocks until the procedure on the UI thread has returned; a window
    // that is or becomes destroyed answers 0 at once.
    std::intptr_t Send(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Queues the message behind those already queued; false once the window is destroyed.
    // From the start of Destroy on, queued messages are dropped and waiting senders get 0.
    bool Post(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Asks for a WM_PAINT of the whole client area.
    void Invalidate();
    // True until Destroy (or the end of a modal run) has removed the native window.
    bool Exists() const;
    // Draws into the overlay that is composited above whatever WM_PAINT draws. `draw` runs
    // on the calling thread, under the overlay's lock, on a surface of `area`'s size whose
    // origin is `area`'s top left corner (client coordinates); a repaint of the area follows.
    // The surface keeps its pixels between calls of the same size, as the screen would; a
    // new size starts transparent. The cairo context must not be kept beyond `draw`, and
    // `draw` must not wait for the UI thread (its paint takes the same lock). DrawOverlay
    // itself never waits for the UI thread, so a UI thread stopping the drawer cannot hang.
    void DrawOverlay(Rect area, const std::function<void(cairo_t*)>& draw);
    void ClearOverlay();

    // ---- UI thread ----

    // The framework's default handling: WM_NCLBUTTONDOWN with HTCAPTION starts a caption
    // drag; WM_CLOSE becomes WM_COMMAND IDCANCEL; WM_COMMAND IDOK / IDCANCEL end a modal run
    // with that result; everything else answers 0.
    std::intptr_t DefaultProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    // Puts `procedure` in front of the current one and returns the one it replaces, which
    // the new procedure calls for whatever it does not handle itself (the hook chain).
    Procedure ReplaceProcedure(Procedure procedure);
    // Calls the current procedure directly.
    std::intptr_t CallProcedure(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    // Places and sizes the window in screen coordinates. A position change delivers WM_MOVE,
    // then a size change WM_SIZE, before this returns; GetWindowRect already reports the new
    // rectangle. `repaint` also invalidates. The user cannot resize the window.
    void MoveWindow(Rect screenRect, bool repaint = true);
    void SetPosition(int x, int y);  // keeps the size
    Rect GetWindowRect() const;      // screen coordinates
    Rect GetClientRect() const;      // (0, 0, width, height)
    // Delivers WM_SHOWWINDOW; IsVisible already reports the new state while it is handled.
    void Show(bool visible);
    bool IsVisible() const;
    bool IsMinimized() const;
    bool IsMaximized() const;
    void SetTitle(const std::string& title);
    std::string Title() const;
    void SetIcon(std::span<const std::uint8_t> encodedImage);
    void SetEnabled(bool enabled);  // a disabled window takes no mouse or key input
    bool IsEnabled() const;
    // Starts the system's move of the window with the pointer held since the last left-button
    // press (the point is only a hint); WM_MOVE follows the window, WM_EXITSIZEMOVE ends it.
    // Nothing happens when the left button is no longer down.
    void BeginCaptionDrag(int clientX, int clientY);
    // Shows the window and runs the loop until EndModal; the window is then destroyed and
    // the result returned. Enter gives WM_COMMAND IDOK, Esc WM_COMMAND IDCANCEL, a close
    // request from the desktop WM_CLOSE. A Dialog's owner takes no input meanwhile. Modal
    // runs nest (a dialog started from a handler of its owner). A window destroyed during
    // the run, or already destroyed, gives -1 unless EndModal named a result.
    std::intptr_t DoModal();
    // Ends the window's modal run with `result`; called before DoModal, DoModal returns at once.
    void EndModal(std::intptr_t result);
    void Destroy();
    // Device pixels per logical pixel.
    int ScaleFactor() const;
    // The client area's drawing target, valid only while WM_PAINT is being handled.
    cairo_t* PaintContext() const;

    // Shadow windows: shows a premultiplied ARGB32 picture (rows top-down, width * 4 bytes
    // each, pixel a << 24 | r << 16 | g << 8 | b) in `screenRect`, which also becomes the
    // window's rectangle. The window is mapped only while it is shown, has a picture and the
    // screen is composited (without a compositor X shows transparent pixels black).
    void UpdateLayered(Rect screenRect, const std::uint32_t* pixels);
    // The screen offers per-pixel alpha (an RGBA visual).
    static bool LayeredSupported();
    // A compositing manager runs; its changes reach every window as WM_DWMCOMPOSITIONCHANGED.
    static bool CompositionEnabled();

    // The toolkit widget (the GtkWindow), for other parts of the platform layer.
    void* NativeHandle() const;

    struct Impl;

private:
    explicit Window(std::unique_ptr<Impl> impl);
    std::shared_ptr<Impl> m_impl;
};

}  // namespace platform
