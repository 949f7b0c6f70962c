#include "ui/Obj.h"

bool CObj::HitTest(int x, int y) const {
    return x >= m_x && x < m_x + m_width && y >= m_y && y < m_y + m_height;
}

bool CObj::OnMouseMove(int x, int y) {
    if (!m_visible) {
        return false;
    }
    if (HitTest(x, y)) {
        if (m_state == StateNormal) {
            m_state = StateHover;
        }
        return true;  // even without a change: the owner repaints on every move inside
    }
    if (m_state == StateNormal || m_state == StateDisabled) {
        return false;
    }
    m_state = StateNormal;
    return true;
}

bool CObj::OnLButtonDown(int x, int y) {
    if (!m_visible || !HitTest(x, y)) {
        return false;
    }
    if (m_state != StateDisabled) {
        m_state = StatePressed;
    }
    return true;  // a press on a disabled button is swallowed: no window drag
}

void CObj::OnLButtonUp(int /*x*/, int /*y*/) {}

void CObj::Notify(unsigned message) const {
    if (m_owner != nullptr) {
        m_owner->Send(message, 0, 0);
    }
}

void CObj::ReleaseAndNotify(unsigned message) {
    if (!m_visible || m_state == StateDisabled) {
        return;
    }
    if (m_state == StatePressed) {
        m_state = StateNormal;
        Notify(message);  // last use of this object: the handler may change anything
        return;
    }
    m_state = StateHover;
}
