// An embedded HTML view, shown as a child of a window's client area above what the window
// paints. Pages of the program itself are addressed as res://<any path>/<id>: the last path
// segment names HTML resource <id> (platform/resources.h), so a program path with spaces or
// other characters may stand unescaped before it.
#pragma once

#include <memory>
#include <string>

#include "platform/window.h"

namespace platform {

class WebView {
public:
    WebView();   // no view yet
    ~WebView();  // destroys the view
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    // UI thread, as every call here. Creates the view, visible, as a child of `parent` at
    // `clientRect`; false when no view can be made (an existing one is destroyed first).
    bool Create(Window& parent, Rect clientRect);
    void Move(Rect clientRect);
    void SetVisible(bool visible);
    // Starts loading `uri`; the view shows whatever the engine shows for a failed load.
    void Navigate(const std::string& uri);
    void Destroy();
    // True from Create until Destroy or the destruction of the parent window.
    bool Exists() const;

    // Load state, for tests and diagnostics.
    bool IsLoading() const;
    bool LoadFailed() const;  // the last navigation ended in an error
    std::string Title() const;
    void* NativeHandle() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
