#include "ui/CustomButton.h"

#include "platform/messages.h"
#include "ui/ButtonText.h"

CCustomButton::CCustomButton() {
    LoadResourceImage(140, "PNG", m_image);
}

void CCustomButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(WM_CUSTOMINSTALL_CLICKED);
}

void CCustomButton::Draw(Graphics& graphics) {
    if (!m_visible) {
        return;
    }
    graphics.DrawImage(m_image.get(), m_x + m_width - 8, m_y + m_height / 2 - 3);
    if (m_state != StateDisabled) {
        DrawLinkText(graphics, m_text, m_x, m_y);
    }
}
