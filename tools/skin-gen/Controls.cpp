#include <cmath>

#include "Brand.h"
#include "Pattern.h"
#include "Pictures.h"
#include "Text.h"

namespace skin {

Canvas ProgressMarker135() {
    Canvas c(40, 19);
    cairo_t* cr = c.cr();
    // Speed streaks trailing to the left, orange, fading out behind the figure.
    struct Streak {
        double y, from, to;
    };
    const Streak streaks[] = {{6.5, 5, 19}, {10.5, 1, 18}, {14.5, 7, 20}};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.8);
    for (const Streak& s : streaks) {
        cairo_pattern_t* g = cairo_pattern_create_linear(s.from, 0, s.to, 0);
        cairo_pattern_add_color_stop_rgba(g, 0, kBrandOrange.r, kBrandOrange.g, kBrandOrange.b, 0);
        cairo_pattern_add_color_stop_rgba(g, 1, kBrandOrange.r, kBrandOrange.g, kBrandOrange.b, 1);
        cairo_set_source(cr, g);
        cairo_move_to(cr, s.from, s.y);
        cairo_line_to(cr, s.to, s.y);
        cairo_stroke(cr);
        cairo_pattern_destroy(g);
    }
    // The figure: a small cloud leaning into its flight, right edge on the picture's edge.
    cairo_save(cr);
    cairo_translate(cr, 40 - 25 * 0.94 - 0.3, 1.2 - 0.17 * 25);
    cairo_scale(cr, 25, 25);
    CloudPath(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0.2, 0.15, 0.8, 0.9);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.25, 0.80, 1.0);
    cairo_pattern_add_color_stop_rgb(body, 1, kBrandBlueDeep.r, kBrandBlueDeep.g, kBrandBlueDeep.b);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    cairo_restore(cr);
    // A highlight on the crown, and eyes looking ahead.
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    cairo_set_line_width(cr, 1.1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_arc(cr, 29.2, 7.6, 4.2, M_PI * 1.08, M_PI * 1.42);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    for (double eye : {30.6, 36.0}) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_arc(cr, eye, 10.5, 1.75, 0, 2 * M_PI);
        cairo_fill(cr);
        SetColour(cr, Hex(0x0F3560));
        cairo_arc(cr, eye + 0.6, 10.7, 0.95, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    // An orange smile under the eyes.
    SetColour(cr, kBrandOrange);
    cairo_set_line_width(cr, 1.1);
    cairo_arc(cr, 33.6, 12.6, 1.9, M_PI * 0.15, M_PI * 0.85);
    cairo_stroke(cr);
    return c;
}

Canvas BrowseButton(bool hover) {
    Canvas c(60, 32);
    cairo_t* cr = c.cr();
    const Rgba line = hover ? kBrandOrange : Hex(0xC3C6CC);
    RoundedRect(cr, 0.5, 0.5, 59, 31, 4);
    SetColour(cr, line);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    TextStyle style;
    style.px = 14;
    style.colour = hover ? kBrandOrange : Hex(0x666666);
    DrawText(cr, "浏览", 30, 16, style, Anchor::Centre);
    return c;
}

Canvas Triangle(bool up) {
    Canvas c(8, 6);
    cairo_t* cr = c.cr();
    SetColour(cr, Hex(0x999999));
    if (up) {
        cairo_move_to(cr, 0, 5);
        cairo_line_to(cr, 8, 5);
        cairo_line_to(cr, 4, 0.6);
    } else {
        cairo_move_to(cr, 0, 1);
        cairo_line_to(cr, 8, 1);
        cairo_line_to(cr, 4, 5.4);
    }
    cairo_close_path(cr);
    cairo_fill(cr);
    return c;
}

Canvas NoticeFace146() {
    Canvas c(44, 44);
    cairo_t* cr = c.cr();
    const Rgba gold = Hex(0xD4AE18);
    cairo_arc(cr, 22, 22, 19.6, 0, 2 * M_PI);
    SetColour(cr, Hex(0xD4AE18, 0.12));
    cairo_fill_preserve(cr);
    SetColour(cr, gold);
    cairo_set_line_width(cr, 2.6);
    cairo_stroke(cr);
    cairo_arc(cr, 15.4, 17.6, 2.3, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_arc(cr, 28.6, 17.6, 2.3, 0, 2 * M_PI);
    cairo_fill(cr);
    // The frown: the upper part of a circle below the mouth.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_arc(cr, 22, 36.5, 9.5, M_PI * 1.22, M_PI * 1.78);
    cairo_stroke(cr);
    return c;
}

Canvas MainButton(unsigned rgb) {
    Canvas c(200, 50);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0, 0, 200, 50, 6);
    SetColour(cr, Hex(rgb));
    cairo_fill(cr);
    // A faint sheen along the top edge.
    cairo_save(cr);
    RoundedRect(cr, 0, 0, 200, 50, 6);
    cairo_clip(cr);
    cairo_pattern_t* sheen = cairo_pattern_create_linear(0, 0, 0, 25);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.14);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    cairo_set_source(cr, sheen);
    cairo_rectangle(cr, 0, 0, 200, 25);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    cairo_restore(cr);
    return c;
}

Canvas PathBox151() {
    Canvas c(350, 32);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0.5, 0.5, 349, 31, 4);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    SetColour(cr, Hex(0xE1E2E6));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    return c;
}

Canvas CloseCross(unsigned rgb) {
    Canvas c(13, 13);
    cairo_t* cr = c.cr();
    SetColour(cr, Hex(rgb));
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 1.5, 1.5);
    cairo_line_to(cr, 11.5, 11.5);
    cairo_move_to(cr, 11.5, 1.5);
    cairo_line_to(cr, 1.5, 11.5);
    cairo_stroke(cr);
    return c;
}

Canvas CheckBox(bool ticked) {
    Canvas c(16, 16);
    cairo_t* cr = c.cr();
    RoundedRect(cr, 0.5, 0.5, 15, 15, 2.5);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    SetColour(cr, ticked ? Hex(0xB9C9DA) : Hex(0xC9CDD4));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (ticked) {
        SetColour(cr, Hex(0x0A9BF0));
        cairo_set_line_width(cr, 2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_move_to(cr, 4, 8.2);
        cairo_line_to(cr, 6.9, 11);
        cairo_line_to(cr, 12, 5.3);
        cairo_stroke(cr);
    }
    return c;
}

Canvas AppIcon128() {
    Canvas c(256, 256);
    DrawLogoMark(c.cr(), 4, 4, 248);
    return c;
}

}  // namespace skin
