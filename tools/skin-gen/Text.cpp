#include "Text.h"

#include <pango/pangocairo.h>

#include <memory>

namespace skin {

namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* l) const { g_object_unref(l); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

LayoutPtr MakeLayout(cairo_t* cr, const std::string& markup, const TextStyle& style) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    PangoContext* context = pango_layout_get_context(layout.get());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context, 96);
    pango_layout_context_changed(layout.get());

    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, style.family.c_str());
    pango_font_description_set_absolute_size(font, style.px * PANGO_SCALE);
    pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);

    if (style.letterSpacing != 0) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_letter_spacing_new(
                                          static_cast<int>(style.letterSpacing * PANGO_SCALE)));
        pango_layout_set_attributes(layout.get(), attrs);
        pango_attr_list_unref(attrs);
    }
    pango_layout_set_markup(layout.get(), markup.c_str(), -1);
    return layout;
}

}  // namespace

TextSize MeasureText(cairo_t* cr, const std::string& markup, const TextStyle& style) {
    LayoutPtr layout = MakeLayout(cr, markup, style);
    PangoRectangle ink{}, logical{};
    pango_layout_get_extents(layout.get(), &ink, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE,
            static_cast<double>(logical.height) / PANGO_SCALE};
}

void DrawText(cairo_t* cr, const std::string& markup, double x, double y, const TextStyle& style,
              Anchor anchor) {
    LayoutPtr layout = MakeLayout(cr, markup, style);
    PangoRectangle ink{}, logical{};
    pango_layout_get_extents(layout.get(), &ink, &logical);
    const double w = static_cast<double>(logical.width) / PANGO_SCALE;
    const double h = static_cast<double>(logical.height) / PANGO_SCALE;
    switch (anchor) {
        case Anchor::TopLeft:
            break;
        case Anchor::TopCentre:
            x -= w / 2;
            break;
        case Anchor::Centre:  // on the ink, so CJK lettering sits visually centred
            x -= (static_cast<double>(ink.x) / PANGO_SCALE) +
                 static_cast<double>(ink.width) / PANGO_SCALE / 2;
            y -= (static_cast<double>(ink.y) / PANGO_SCALE) +
                 static_cast<double>(ink.height) / PANGO_SCALE / 2;
            break;
        case Anchor::LeftMiddle:
            y -= h / 2;
            break;
    }
    cairo_save(cr);
    SetColour(cr, style.colour);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

}  // namespace skin
