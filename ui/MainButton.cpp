#include "ui/MainButton.h"

CMainButton::CMainButton() {
    LoadResourceImage(149, "PNG", m_imgNormal);
    LoadResourceImage(150, "PNG", m_imgHover);
    LoadResourceImage(160, "PNG", m_imgDisabled);
}

void CMainButton::OnLButtonUp(int /*x*/, int /*y*/) {
    ReleaseAndNotify(m_notifyMessage);
}

void CMainButton::Draw(Graphics& graphics) {
    if (!m_visible) {
        return;
    }
    const StringFormat centred{StringAlignment::Center, StringAlignment::Center};
    const auto fx = static_cast<float>(m_x);
    const auto fy = static_cast<float>(m_y);
    const auto fw = static_cast<float>(m_width);
    const auto fh = static_cast<float>(m_height);
    if (m_notifyMessage == WM_DIALOG_CANCEL_CLICKED) {
        graphics.DrawString(m_text, Font{"微软雅黑", 18, FontStyleRegular, FontUnit::Pixel},
                            RectF{fx, fy, fw, fh}, centred,
                            m_state == StateHover ? 0xFFC1C1C1 : 0xFF727272);
        return;
    }
    const Image* image = m_imgNormal.get();
    if (m_state == StateHover) {
        image = m_imgHover.get();
    } else if (m_state == StateDisabled) {
        image = m_imgDisabled.get();
    }
    graphics.DrawImage(image, m_x, m_y, m_width, m_height);
    const float captionHeight = m_subText.empty() ? fh : fh - 15;
    graphics.DrawString(m_text, Font{"微软雅黑", 15, FontStyleBold, FontUnit::Point},
                        RectF{fx, fy, fw, captionHeight}, centred, 0xFFFFFFFF);
    if (!m_subText.empty()) {
        graphics.DrawString(m_subText, Font{"微软雅黑", 10, FontStyleRegular, FontUnit::Point},
                            RectF{fx, fy + fh - 17, fw, 15}, centred, 0xFFDFC86C);
    }
}
