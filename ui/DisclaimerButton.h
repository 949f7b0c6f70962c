// The licence link: grey text that opens the licence screen.
#pragma once

#include <string>

#include "ui/Obj.h"

class CDisclaimerButton : public CObj {
public:
    CDisclaimerButton() = default;

    void SetText(const std::string& text) { m_text = text; }

    void OnLButtonUp(int x, int y) override;  // sends WM_LICENCE_CLICKED
    void Draw(Graphics& graphics) override;

    std::string m_text;
};
