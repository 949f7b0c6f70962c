// Text conventions shared by the link-style buttons.
#pragma once

#include "ui/Graphics.h"

// The grey 14 px caption of the link buttons, drawn from its top-left point.
inline void DrawLinkText(Graphics& graphics, const std::string& text, int x, int y) {
    graphics.DrawString(text, Font{"MicrosoftYaHei", 14, FontStyleRegular, FontUnit::Pixel},
                        RectF{static_cast<float>(x), static_cast<float>(y), 0, 0}, StringFormat{},
                        0xFF666666);
}
