// The agreement check box. It toggles and notifies on the press, not on the release.
#pragma once

#include <memory>

#include "platform/messages.h"
#include "ui/Obj.h"

class CCheckboxButton : public CObj {
public:
    CCheckboxButton();  // loads PNG 155 and 156

    bool OnLButtonDown(int x, int y) override;  // toggles, then sends m_notifyMessage
    void Draw(Graphics& graphics) override;

    bool m_checked = false;
    std::unique_ptr<Image> m_imgChecked;    // 155
    std::unique_ptr<Image> m_imgUnchecked;  // 156
    unsigned m_notifyMessage = WM_AGREE_TOGGLED;
};
