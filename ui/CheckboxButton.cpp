#include "ui/CheckboxButton.h"

CCheckboxButton::CCheckboxButton() {
    LoadResourceImage(155, "PNG", m_imgChecked);
    LoadResourceImage(156, "PNG", m_imgUnchecked);
}

bool CCheckboxButton::OnLButtonDown(int x, int y) {
    if (!m_visible || !HitTest(x, y)) {
        return false;
    }
    m_checked = !m_checked;
    // The owner's handler runs to its end here and may repaint with the new tick.
    Notify(m_notifyMessage);
    return true;
}

void CCheckboxButton::Draw(Graphics& graphics) {
    if (!m_visible) {
        return;
    }
    graphics.DrawImage(m_checked ? m_imgChecked.get() : m_imgUnchecked.get(), m_x, m_y, m_width,
                       m_height);
}
