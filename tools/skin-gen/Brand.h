// The product's colours, logo mark and name lettering.
#pragma once

#include <cairo.h>

#include "Canvas.h"

namespace skin {

inline constexpr Rgba kBrandBlue = Hex(0x00AFFF);
inline constexpr Rgba kBrandBlueDeep = Hex(0x0A74E0);
inline constexpr Rgba kBrandOrange = Hex(0xFCA71C);
inline constexpr Rgba kInk = Hex(0x1D2B3A);  // dark lettering

// The cloud of the mark in the unit square (about x 0.06..0.94, y 0.17..0.84), as
// overlapping sub-paths of one winding: fill it, never stroke it (see OutlinePath).
void CloudPath(cairo_t* cr);

// The mark: a cloud holding a screen, a sun-orange disc behind it. Fills the square
// (x, y, size, size); the cloud spans its full width and about 0.17..0.84 of its height.
void DrawLogoMark(cairo_t* cr, double x, double y, double size);

// "Orvik云电脑" at `px` pixels; (x, y) is the top left corner, or the top centre when
// `centred`. Returns the lettering's width.
double DrawProductName(cairo_t* cr, double x, double y, double px, bool centred);

// Width of the lettering of DrawProductName at `px`.
double ProductNameWidth(cairo_t* cr, double px);

}  // namespace skin
