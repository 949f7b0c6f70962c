// The "collapse" link of the custom-install screen: grey text with an upward triangle.
#pragma once

#include <memory>
#include <string>

#include "ui/Obj.h"

class CUndoCustomButton : public CObj {
public:
    CUndoCustomButton();  // loads PNG 139

    void SetText(const std::string& text) { m_text = text; }

    void OnLButtonUp(int x, int y) override;  // sends WM_COLLAPSE_CLICKED
    void Draw(Graphics& graphics) override;

    std::string m_text;
    std::unique_ptr<Image> m_image;  // 139
};
