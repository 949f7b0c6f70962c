#include "ui/Graphics.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

namespace {

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded;
}

// The families fontconfig offers, read once: the font list does not change while we run.
const std::set<std::string>& KnownFamilies() {
    static std::once_flag once;
    static std::set<std::string> families;
    std::call_once(once, [] {
        PangoFontMap* map = pango_cairo_font_map_new();
        PangoFontFamily** list = nullptr;
        int count = 0;
        pango_font_map_list_families(map, &list, &count);
        for (int i = 0; i < count; ++i) {
            families.insert(FoldCase(pango_font_family_get_name(list[i])));
        }
        g_free(list);
        g_object_unref(map);
    });
    return families;
}

bool HasPixels(const Image* image) {
    return image != nullptr && image->Ok() && image->Width() > 0 && image->Height() > 0;
}

}  // namespace

double Font::PixelSize() const {
    return unit == FontUnit::Point ? static_cast<double>(emSize) * 96.0 / 72.0
                                   : static_cast<double>(emSize);
}

std::string ResolveFontFamily(const std::string& family) {
    // A comma would make pango read a list of families; no real family is named so.
    if (family.empty() || family.find(',') != std::string::npos ||
        KnownFamilies().count(FoldCase(family)) == 0) {
        return "sans-serif";
    }
    return family;
}

Graphics::Graphics(cairo_surface_t* target) : m_cr(cairo_create(target)) {}

Graphics::Graphics(cairo_t* cr) : m_cr(cairo_reference(cr)) {}

Graphics::~Graphics() {
    if (m_pango != nullptr) {
        g_object_unref(m_pango);
    }
    cairo_destroy(m_cr);
}

void Graphics::SetColor(Argb color) {
    cairo_set_source_rgba(m_cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                          (color & 0xFF) / 255.0, ((color >> 24) & 0xFF) / 255.0);
}

void Graphics::Clear(Argb color) {
    cairo_save(m_cr);
    cairo_reset_clip(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
    if (cairo_surface_get_content(cairo_get_target(m_cr)) == CAIRO_CONTENT_COLOR) {
        color |= 0xFF000000u;
    }
    SetColor(color);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void Graphics::DrawImage(const Image* image, int x, int y) {
    if (!HasPixels(image)) {
        return;
    }
    DrawImage(image, x, y, 0, 0, image->Width(), image->Height());
}

void Graphics::DrawImage(const Image* image, int x, int y, int width, int height) {
    if (!HasPixels(image) || width <= 0 || height <= 0) {
        return;
    }
    cairo_save(m_cr);
    cairo_rectangle(m_cr, x, y, width, height);
    cairo_clip(m_cr);
    cairo_translate(m_cr, x, y);
    cairo_scale(m_cr, static_cast<double>(width) / image->Width(),
                static_cast<double>(height) / image->Height());
    cairo_set_source_surface(m_cr, image->Surface(), 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(m_cr);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_BEST);
    // Clamp at the edges so a scaled picture does not fade out into its surroundings.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void Graphics::DrawImage(const Image* image, int x, int y, int srcX, int srcY, int srcWidth,
                         int srcHeight) {
    if (!HasPixels(image)) {
        return;
    }
    // Only the part of the source rectangle that lies inside the picture is drawn.
    const int left = std::max(srcX, 0);
    const int top = std::max(srcY, 0);
    const int right = std::min(srcX + std::max(srcWidth, 0), image->Width());
    const int bottom = std::min(srcY + std::max(srcHeight, 0), image->Height());
    if (left >= right || top >= bottom) {
        return;
    }
    cairo_save(m_cr);
    cairo_rectangle(m_cr, x + (left - srcX), y + (top - srcY), right - left, bottom - top);
    cairo_clip(m_cr);
    cairo_set_source_surface(m_cr, image->Surface(), x - srcX, y - srcY);
    cairo_pattern_set_filter(cairo_get_source(m_cr), CAIRO_FILTER_BEST);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void Graphics::DrawString(std::string_view text, const Font& font, const RectF& layout,
                          const StringFormat& format, Argb color) {
    if (text.empty()) {
        return;
    }
    if (m_pango == nullptr) {
        m_pango = pango_cairo_create_context(m_cr);
    } else {
        pango_cairo_update_context(m_cr, m_pango);
    }
    PangoLayout* pl = pango_layout_new(m_pango);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, ResolveFontFamily(font.family).c_str());
    pango_font_description_set_weight(
        desc, font.style == FontStyleBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(desc, font.PixelSize() * PANGO_SCALE);
    pango_layout_set_font_description(pl, desc);
    pango_font_description_free(desc);
    pango_layout_set_text(pl, text.data(), static_cast<int>(text.size()));

    const bool wrap = layout.width > 0;
    const bool clip = layout.width > 0 && layout.height > 0;
    const bool centreX = format.align == StringAlignment::Center;
    const bool centreY = format.lineAlign == StringAlignment::Center;
    if (wrap) {
        pango_layout_set_width(pl, static_cast<int>(layout.width * PANGO_SCALE));
        pango_layout_set_wrap(pl, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(pl, centreX ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    }
    PangoRectangle ink;
    PangoRectangle logical;
    pango_layout_get_extents(pl, &ink, &logical);
    const double textWidth = static_cast<double>(logical.width) / PANGO_SCALE;
    const double textHeight = static_cast<double>(logical.height) / PANGO_SCALE;

    double x = layout.x;
    if (!wrap && centreX) {
        x += (static_cast<double>(layout.width) - textWidth) / 2;  // width 0: centred on x
    }
    double y = layout.y;
    if (centreY) {
        y += (static_cast<double>(std::max(layout.height, 0.0f)) - textHeight) / 2;
    }

    cairo_save(m_cr);
    if (clip) {
        cairo_rectangle(m_cr, layout.x, layout.y, layout.width, layout.height);
        cairo_clip(m_cr);
    }
    SetColor(color);
    cairo_move_to(m_cr, x, y);
    pango_cairo_show_layout(m_cr, pl);
    cairo_new_path(m_cr);
    cairo_restore(m_cr);
    g_object_unref(pl);
}

void Graphics::FillRectangle(Argb color, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    cairo_save(m_cr);
    SetColor(color);
    cairo_rectangle(m_cr, x, y, width, height);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void Graphics::DrawRectangle(Argb color, float penWidth, int x, int y, int width, int height) {
    if (width < 0 || height < 0 || penWidth <= 0) {
        return;
    }
    // An odd pen centred on pixel edges would smear over two pixels; shift it onto centres.
    const double shift = static_cast<int>(penWidth) % 2 == 1 ? 0.5 : 0.0;
    cairo_save(m_cr);
    SetColor(color);
    cairo_set_line_width(m_cr, penWidth);
    cairo_rectangle(m_cr, x + shift, y + shift, width, height);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

void Graphics::DrawLine(Argb color, float width, int x1, int y1, int x2, int y2, LineCap cap) {
    if (width <= 0) {
        return;
    }
    cairo_save(m_cr);
    SetColor(color);
    cairo_set_line_width(m_cr, width);
    cairo_set_line_cap(m_cr, cap == LineCap::Round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_move_to(m_cr, x1, y1);
    cairo_line_to(m_cr, x2, y2);
    cairo_stroke(m_cr);
    cairo_restore(m_cr);
}

void Graphics::FillEllipse(Argb color, float x, float y, float width, float height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const double rx = static_cast<double>(width) / 2;
    const double ry = static_cast<double>(height) / 2;
    cairo_save(m_cr);
    SetColor(color);
    cairo_save(m_cr);
    cairo_translate(m_cr, static_cast<double>(x) + rx, static_cast<double>(y) + ry);
    cairo_scale(m_cr, rx, ry);
    cairo_arc(m_cr, 0, 0, 1, 0, 2 * G_PI);
    cairo_restore(m_cr);  // the path keeps its shape; fill it in the unscaled space
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}
