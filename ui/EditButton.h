// The "browse" button beside the install folder field.
#pragma once

#include <memory>

#include "ui/Obj.h"

class CEditButton : public CObj {
public:
    CEditButton();  // loads PNG 136 and 138

    void OnLButtonUp(int x, int y) override;  // sends m_notifyMessage
    void Draw(Graphics& graphics) override;

    unsigned m_notifyMessage = 0;        // no default: the owner sets it (WM_CHANGEFOLDER_CLICKED)
    std::unique_ptr<Image> m_imgNormal;  // 136, also pressed
    std::unique_ptr<Image> m_imgHover;   // 138
};
