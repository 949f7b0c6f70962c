// The "custom install" link: grey text with a small downward triangle at its right.
#pragma once

#include <memory>
#include <string>

#include "ui/Obj.h"

class CCustomButton : public CObj {
public:
    CCustomButton();  // loads PNG 140

    void SetText(const std::string& text) { m_text = text; }

    void OnLButtonUp(int x, int y) override;  // sends WM_CUSTOMINSTALL_CLICKED
    void Draw(Graphics& graphics) override;

    std::string m_text;
    std::unique_ptr<Image> m_image;  // 140
};
