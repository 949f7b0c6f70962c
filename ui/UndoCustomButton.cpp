#include "ui/UndoCustomButton.h"

#include "platform/messages.h"
#include "ui/ButtonText.h"

CUndoCustomButton::CUndoCustomButton() {
    LoadResourceImage(139, "PNG", m_image);
}

void CUndoCustomButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(WM_COLLAPSE_CLICKED);
}

void CUndoCustomButton::Draw(Graphics& graphics) {
    if (!m_visible) {
        return;
    }
    graphics.DrawImage(m_image.get(), m_x + m_width - 6, m_y + m_height / 2 - 3);
    DrawLinkText(graphics, m_text, m_x, m_y);  // in every state, unlike CCustomButton
}
