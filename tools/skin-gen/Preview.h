// Mock-ups of the screens and a contact sheet, for judging the skin by eye.
#pragma once

#include <string>
#include <vector>

#include "Canvas.h"

namespace skin {

struct Skin {
    Canvas full131 = Canvas(1, 1), panel132 = Canvas(1, 1), marker135 = Canvas(1, 1),
           browse136 = Canvas(1, 1), browse138 = Canvas(1, 1), up139 = Canvas(1, 1),
           down140 = Canvas(1, 1), face146 = Canvas(1, 1), header148 = Canvas(1, 1),
           main149 = Canvas(1, 1), main150 = Canvas(1, 1), path151 = Canvas(1, 1),
           close152 = Canvas(1, 1), close153 = Canvas(1, 1), ticked155 = Canvas(1, 1),
           empty156 = Canvas(1, 1), licence159 = Canvas(1, 1), main160 = Canvas(1, 1),
           icon128 = Canvas(1, 1);
    std::vector<Canvas> spinner;
};

// Writes screen-*.png, dialog-*.png and contact-sheet.png into `dir`.
bool WritePreview(const Skin& skin, const std::string& dir);

}  // namespace skin
