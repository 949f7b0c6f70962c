// Every picture of the skin, one function each, named after its resource id.
#pragma once

#include <vector>

#include "Canvas.h"

namespace skin {

// Backgrounds.
Canvas FullBackground131();     // 600x422: pattern, logo and name in the upper middle
Canvas Panel132();              // 648x155: white panel with a thin grey border (made a JPG)
Canvas Header148();             // 600x312: pattern, logo, name and slogan
Canvas LicenceBackground159();  // 600x422: pattern, small logo at the top left, page frame

// Controls.
Canvas ProgressMarker135();       // 40x19
Canvas BrowseButton(bool hover);  // 60x32: 136 normal, 138 hover
Canvas Triangle(bool up);         // 8x6: 139 up, 140 down
Canvas NoticeFace146();           // 44x44
Canvas MainButton(unsigned rgb);  // 200x50: 149, 150, 160
Canvas PathBox151();              // 350x32
Canvas CloseCross(unsigned rgb);  // 13x13: 152, 153
Canvas CheckBox(bool ticked);     // 16x16: 155, 156
Canvas AppIcon128();              // 256x256

// The 15 frames of the waiting animation, 20x20 each, already matted against the part of
// `background` they are played over (at 292, 260): pixels are either opaque or fully
// transparent, as a GIF holds them.
std::vector<Canvas> SpinnerFrames(const Canvas& background);

}  // namespace skin
