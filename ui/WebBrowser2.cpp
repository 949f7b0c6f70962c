#include "ui/WebBrowser2.h"

bool CWebBrowser2::Create(platform::Window* parent, const platform::Rect& rect, int id) {
    if (parent == nullptr || !parent->Exists()) {
        return false;
    }
    if (!m_view.Create(*parent, rect)) {
        return false;
    }
    m_id = id;
    return true;
}

void CWebBrowser2::MoveWindow(const platform::Rect& rect) {
    if (m_view.Exists()) {
        m_view.Move(rect);
    }
}

void CWebBrowser2::SetVisible(bool visible) {
    if (m_view.Exists()) {
        m_view.SetVisible(visible);
    }
}

void CWebBrowser2::Navigate(const std::string& address) {
    if (m_view.Exists()) {
        m_view.Navigate(address);
    }
}

void CWebBrowser2::DestroyWindow() {
    m_view.Destroy();
    m_id = 0;
}

std::string CWebBrowser2::ResourceAddress(const std::string& programPath, int id) {
    return "res://" + programPath + "/" + std::to_string(id);
}
