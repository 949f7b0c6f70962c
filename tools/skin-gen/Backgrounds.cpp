#include <cmath>

#include "Brand.h"
#include "Pattern.h"
#include "Pictures.h"
#include "Text.h"

namespace skin {

Canvas FullBackground131() {
    Canvas c(600, 422);
    cairo_t* cr = c.cr();
    PatternSpec spec;
    spec.width = 600;
    spec.height = 422;
    spec.clearX = 300;
    spec.clearY = 205;
    spec.clearRx = 235;
    spec.clearRy = 165;
    spec.seed = 131;
    DrawPattern(cr, spec);
    // Logo and name in the upper middle; the screen texts (y 264..300), the waiting
    // animation (292, 260) and the main button (y 308..358) sit below on the clear light.
    DrawLogoMark(cr, 300 - 48, 54, 96);
    DrawProductName(cr, 300, 160, 32, true);
    return c;
}

Canvas Panel132() {
    Canvas c(648, 155);
    cairo_t* cr = c.cr();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    SetColour(cr, Hex(0xE1E2E6));
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, 647, 154);
    cairo_stroke(cr);
    return c;
}

namespace {

void Slogan(cairo_t* cr, double cx, double y) {
    TextStyle style;
    style.px = 15;
    style.colour = Hex(0x5B6B80);
    style.letterSpacing = 3;
    const std::string text = "随时随地  畅享云端高性能电脑";
    const double w = MeasureText(cr, text, style).width;
    DrawText(cr, text, cx + style.letterSpacing / 2, y, style, Anchor::TopCentre);
    // Short rules either side, fading outwards.
    for (int side = -1; side <= 1; side += 2) {
        const double inner = cx + side * (w / 2 + 14);
        const double outer = inner + side * 46;
        cairo_pattern_t* g = cairo_pattern_create_linear(inner, 0, outer, 0);
        cairo_pattern_add_color_stop_rgba(g, 0, 0.66, 0.75, 0.86, 0.9);
        cairo_pattern_add_color_stop_rgba(g, 1, 0.66, 0.75, 0.86, 0);
        cairo_set_source(cr, g);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, inner, y + 11.5);
        cairo_line_to(cr, outer, y + 11.5);
        cairo_stroke(cr);
        cairo_pattern_destroy(g);
        SetColour(cr, kBrandOrange);
        cairo_arc(cr, inner, y + 11.5, 1.8, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

}  // namespace

Canvas Header148() {
    Canvas c(600, 312);
    cairo_t* cr = c.cr();
    PatternSpec spec;
    spec.width = 600;
    spec.height = 312;
    spec.clearX = 300;
    spec.clearY = 140;
    spec.clearRx = 240;
    spec.clearRy = 125;
    spec.seed = 148;
    spec.waves = false;
    DrawPattern(cr, spec);

    // The lower edge swings down into the white panel that continues it below y 312.
    auto edge = [](cairo_t* c2, double lift) {
        cairo_move_to(c2, 0, 292 - lift);
        cairo_curve_to(c2, 160, 268 - lift, 330, 314 - lift, 600, 282 - lift);
    };
    cairo_pattern_t* fade = cairo_pattern_create_linear(0, 236, 0, 312);
    cairo_pattern_add_color_stop_rgba(fade, 0, 1, 1, 1, 0);
    cairo_pattern_add_color_stop_rgba(fade, 1, 1, 1, 1, 0.85);
    cairo_set_source(cr, fade);
    cairo_paint(cr);
    cairo_pattern_destroy(fade);
    edge(cr, 10);
    SetColour(cr, Hex(0xA9C0DA, 0.35));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    edge(cr, 0);
    cairo_line_to(cr, 600, 312);
    cairo_line_to(cr, 0, 312);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_new_path(cr);
    edge(cr, 0);
    SetColour(cr, Hex(0xA9C0DA, 0.55));
    cairo_stroke(cr);

    DrawLogoMark(cr, 300 - 42, 34, 84);
    DrawProductName(cr, 300, 128, 30, true);
    Slogan(cr, 300, 182);
    return c;
}

Canvas LicenceBackground159() {
    Canvas c(600, 422);
    cairo_t* cr = c.cr();
    PatternSpec spec;
    spec.width = 600;
    spec.height = 422;
    spec.clearX = 300;
    spec.clearY = 200;
    spec.clearRx = 250;
    spec.clearRy = 160;
    spec.seed = 159;
    DrawPattern(cr, spec);

    // Small logo and name in the top bar, above the page (which starts at y 50).
    DrawLogoMark(cr, 16, 9, 32);
    TextStyle style;
    style.px = 15;
    DrawText(cr,
             "<span foreground=\"#0A74E0\" weight=\"bold\">Orvik</span>"
             "<span foreground=\"#1D2B3A\">云电脑</span>"
             "<span foreground=\"#8A97A8\">  |  用户许可协议</span>",
             54, 25, style, Anchor::LeftMiddle);

    // A white card a few pixels wider than the page view (30,50)-(570,328), so the page
    // sits in a frame; the strips around the view are all the window repaints.
    for (int i = 6; i >= 1; --i) {
        RoundedRect(cr, 22 - i, 43 - i + 2, 556 + 2 * i, 292 + 2 * i, 6 + i);
        SetColour(cr, Hex(0x4A6A90, 0.012 * (7 - i)));
        cairo_fill(cr);
    }
    RoundedRect(cr, 22.5, 43.5, 555, 291, 6);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    SetColour(cr, Hex(0xE1E2E6));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return c;
}

}  // namespace skin
