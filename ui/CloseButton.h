// The close cross at the window's top right.
#pragma once

#include <memory>

#include "ui/Obj.h"

class CCloseButton : public CObj {
public:
    CCloseButton();  // loads PNG 152 and 153

    void OnLButtonUp(int x, int y) override;  // sends WM_CLOSEBUTTON_CLICKED
    void Draw(Graphics& graphics) override;

    std::unique_ptr<Image> m_imgNormal;  // 152, also pressed
    std::unique_ptr<Image> m_imgHover;   // 153
};
