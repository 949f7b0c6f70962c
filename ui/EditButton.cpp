#include "ui/EditButton.h"

CEditButton::CEditButton() {
    LoadResourceImage(136, "PNG", m_imgNormal);
    LoadResourceImage(138, "PNG", m_imgHover);
}

void CEditButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(m_notifyMessage);
}

void CEditButton::Draw(Graphics& graphics) {
    if (!m_visible || m_state == StateDisabled) {
        return;
    }
    const Image* image = m_state == StateHover ? m_imgHover.get() : m_imgNormal.get();
    graphics.DrawImage(image, m_x, m_y, m_width, m_height);
}
