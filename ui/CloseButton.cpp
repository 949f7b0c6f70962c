#include "ui/CloseButton.h"

#include "platform/messages.h"

CCloseButton::CCloseButton() {
    LoadResourceImage(152, "PNG", m_imgNormal);
    LoadResourceImage(153, "PNG", m_imgHover);
}

void CCloseButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(WM_CLOSEBUTTON_CLICKED);
}

void CCloseButton::Draw(Graphics& graphics) {
    if (!m_visible || m_state == StateDisabled) {
        return;
    }
    const Image* image = m_state == StateHover ? m_imgHover.get() : m_imgNormal.get();
    graphics.DrawImage(image, m_x, m_y, m_width, m_height);
}
