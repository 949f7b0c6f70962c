// Text through pango with fixed font options, so the lettering does not depend on the
// desktop's font settings.
#pragma once

#include <cairo.h>

#include <string>

#include "Canvas.h"

namespace skin {

inline constexpr const char* kCjkFamily = "WenQuanYi Micro Hei";

struct TextStyle {
    double px = 14;  // em size in pixels
    bool bold = false;
    Rgba colour{};
    double letterSpacing = 0;  // extra pixels between characters
    std::string family = kCjkFamily;
};

struct TextSize {
    double width = 0;
    double height = 0;
};

enum class Anchor { TopLeft, TopCentre, Centre, LeftMiddle };

// `markup` is pango markup (plain text needs no escaping unless it holds <, & or >).
TextSize MeasureText(cairo_t* cr, const std::string& markup, const TextStyle& style);
void DrawText(cairo_t* cr, const std::string& markup, double x, double y, const TextStyle& style,
              Anchor anchor = Anchor::TopLeft);

}  // namespace skin
