// The main action button: an orange skin image with a white caption. Given the message
// WM_DIALOG_CANCEL_CLICKED it draws as grey text only (the message dialog's "取消").
#pragma once

#include <memory>
#include <string>

#include "platform/messages.h"
#include "ui/Obj.h"

class CMainButton : public CObj {
public:
    CMainButton();  // loads PNG 149, 150 and 160

    void SetText(const std::string& text) { m_text = text; }
    void SetSubText(const std::string& text) { m_subText = text; }

    void OnLButtonUp(int x, int y) override;
    void Draw(Graphics& graphics) override;

    std::string m_text;
    std::string m_subText;  // second line under the caption, empty by default
    unsigned m_notifyMessage = WM_MAINBUTTON_CLICKED;
    std::unique_ptr<Image> m_imgNormal;    // 149, also pressed
    std::unique_ptr<Image> m_imgHover;     // 150
    std::unique_ptr<Image> m_imgDisabled;  // 160
};
