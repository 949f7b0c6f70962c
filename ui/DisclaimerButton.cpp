#include "ui/DisclaimerButton.h"

#include "platform/messages.h"
#include "ui/ButtonText.h"

void CDisclaimerButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(WM_LICENCE_CLICKED);
}

void CDisclaimerButton::Draw(Graphics& graphics) {
    if (m_visible && m_state != StateDisabled) {
        DrawLinkText(graphics, m_text, m_x, m_y);
    }
}
