#include "Brand.h"

#include <cmath>
#include <string>

#include "Text.h"

namespace skin {

void CloudPath(cairo_t* cr) {
    RoundedRect(cr, 0.06, 0.50, 0.88, 0.34, 0.17);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.29, 0.53, 0.18, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.53, 0.43, 0.26, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0.755, 0.565, 0.165, 0, 2 * M_PI);
}

namespace {

std::string NameMarkup() {
    return "<span foreground=\"#0A74E0\" weight=\"bold\">Orvik</span>"
           "<span foreground=\"#1D2B3A\">云电脑</span>";
}

}  // namespace

void DrawLogoMark(cairo_t* cr, double x, double y, double size) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, size, size);

    // The sun behind the cloud's right shoulder, cut back by a thin gap around the cloud so
    // the two shapes stay apart at small sizes.
    cairo_push_group(cr);
    cairo_pattern_t* sun = cairo_pattern_create_linear(0.7, 0.12, 0.9, 0.4);
    cairo_pattern_add_color_stop_rgb(sun, 0, 1.0, 0.78, 0.30);
    cairo_pattern_add_color_stop_rgb(sun, 1, kBrandOrange.r, kBrandOrange.g, kBrandOrange.b);
    cairo_arc(cr, 0.80, 0.30, 0.13, 0, 2 * M_PI);
    cairo_set_source(cr, sun);
    cairo_fill(cr);
    cairo_pattern_destroy(sun);
    cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
    CloudPath(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 0.07);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);

    CloudPath(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0.1, 0.2, 0.85, 0.86);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.26, 0.80, 1.0);
    cairo_pattern_add_color_stop_rgb(body, 0.55, kBrandBlue.r * 0.55 + kBrandBlueDeep.r * 0.45,
                                     kBrandBlue.g * 0.55 + kBrandBlueDeep.g * 0.45,
                                     kBrandBlue.b * 0.55 + kBrandBlueDeep.b * 0.45);
    cairo_pattern_add_color_stop_rgb(body, 1, kBrandBlueDeep.r, kBrandBlueDeep.g, kBrandBlueDeep.b);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);

    // The screen: white outline with a stand, the "PC" inside the cloud.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 0.055);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    RoundedRect(cr, 0.335, 0.405, 0.37, 0.245, 0.045);
    cairo_stroke(cr);
    cairo_move_to(cr, 0.52, 0.65);
    cairo_line_to(cr, 0.52, 0.725);
    cairo_move_to(cr, 0.435, 0.735);
    cairo_line_to(cr, 0.605, 0.735);
    cairo_stroke(cr);
    // A play mark on the screen: the desktop streams.
    cairo_move_to(cr, 0.49, 0.475);
    cairo_line_to(cr, 0.585, 0.528);
    cairo_line_to(cr, 0.49, 0.581);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_restore(cr);
}

double ProductNameWidth(cairo_t* cr, double px) {
    TextStyle style;
    style.px = px;
    return MeasureText(cr, NameMarkup(), style).width;
}

double DrawProductName(cairo_t* cr, double x, double y, double px, bool centred) {
    TextStyle style;
    style.px = px;
    DrawText(cr, NameMarkup(), x, y, style, centred ? Anchor::TopCentre : Anchor::TopLeft);
    return ProductNameWidth(cr, px);
}

}  // namespace skin
