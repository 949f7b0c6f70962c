// The light blue-grey line-art backdrop shared by the full, header and licence backgrounds.
#pragma once

#include <cairo.h>

#include <functional>

namespace skin {

struct PatternSpec {
    int width = 0;
    int height = 0;
    // An ellipse kept clear of line-art (logo, name and the screen texts sit there).
    double clearX = 0, clearY = 0, clearRx = 0, clearRy = 0;
    unsigned seed = 1;
    bool waves = true;  // contour lines along the bottom
};

void DrawPattern(cairo_t* cr, const PatternSpec& spec);

// Strokes only the outer boundary of the filled shape that `path` draws (overlapping
// sub-paths included), `width` pixels wide, outside the shape.
void OutlinePath(cairo_t* cr, const std::function<void(cairo_t*)>& path, double width);

}  // namespace skin
