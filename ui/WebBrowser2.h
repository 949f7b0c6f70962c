// CWebBrowser2: the licence view, an embedded HTML view shown as a child of the main window.
// A thin wrapper over the platform's web view: create, show or hide, load a page, destroy.
#pragma once

#include <string>

#include "platform/web_view.h"
#include "platform/window.h"

class CWebBrowser2 {
public:
    CWebBrowser2() = default;  // no view yet

    // Creates the view, visible, as a child of `parent` over `rect` (client coordinates: x, y,
    // width, height) with control id `id`. False when no view can be made.
    bool Create(platform::Window* parent, const platform::Rect& rect, int id);
    void MoveWindow(const platform::Rect& rect);
    void SetVisible(bool visible);
    // Loads `address`, for example ResourceAddress(program path, 161).
    void Navigate(const std::string& address);
    // Removes the view; a later Create makes a new one that loads its page afresh.
    void DestroyWindow();

    bool Exists() const { return m_view.Exists(); }
    int GetDlgCtrlID() const { return m_id; }
    const platform::WebView& View() const { return m_view; }

    // "res://%s/%d": a page among the program's own resources, the path left unescaped.
    static std::string ResourceAddress(const std::string& programPath, int id);

private:
    platform::WebView m_view;
    int m_id = 0;
};
