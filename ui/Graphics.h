// A drawing surface over a cairo context with the conventions of the skinned windows:
// ARGB colours (0xAARRGGBB), integer rectangles for images, float layout rectangles for
// text, near/centre alignments, pixel and point font units (96 dpi), anti-aliasing on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/Image.h"

typedef struct _cairo cairo_t;
typedef struct _PangoContext PangoContext;

using Argb = std::uint32_t;

enum FontStyle { FontStyleRegular = 0, FontStyleBold = 1 };
enum class FontUnit { Pixel, Point };

// A font request. A family the system does not know falls back to "sans-serif".
struct Font {
    std::string family;
    float emSize = 12.0f;
    int style = FontStyleRegular;
    FontUnit unit = FontUnit::Pixel;

    // Em size in pixels: points are converted at 96 dpi (15 pt = 20 px).
    double PixelSize() const;
};

// The family actually used for `family`: itself when fontconfig knows it (exact name, ASCII
// case ignored), otherwise "sans-serif".
std::string ResolveFontFamily(const std::string& family);

enum class StringAlignment { Near = 0, Center = 1 };

struct StringFormat {
    StringAlignment align = StringAlignment::Near;      // horizontal
    StringAlignment lineAlign = StringAlignment::Near;  // vertical
};

struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

enum class LineCap { Flat, Round };

class Graphics {
public:
    // Draws onto `target` (its device scale is honoured).
    explicit Graphics(cairo_surface_t* target);
    // Draws through `cr` (a reference is taken); its state is saved and restored per call.
    explicit Graphics(cairo_t* cr);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    cairo_t* Context() const { return m_cr; }

    // Fills the whole surface with `color`. On a surface without alpha (a window back buffer)
    // the colour's RGB is stored opaque, as a device bitmap stores it.
    void Clear(Argb color);

    // Null or failed images draw nothing.
    void DrawImage(const Image* image, int x, int y);                         // own size
    void DrawImage(const Image* image, int x, int y, int width, int height);  // scaled, bicubic
    // The source rectangle (srcX, srcY, srcWidth, srcHeight) of `image` at (x, y), unscaled.
    void DrawImage(const Image* image, int x, int y, int srcX, int srcY, int srcWidth,
                   int srcHeight);

    // Text in `layout`. A rectangle of zero width and height anchors the text at its point,
    // unwrapped and unclipped (centre alignments centre it on the point); otherwise lines wrap
    // at the width and the text is clipped to the rectangle.
    void DrawString(std::string_view text, const Font& font, const RectF& layout,
                    const StringFormat& format, Argb color);

    void FillRectangle(Argb color, int x, int y, int width, int height);
    // Outline with a pen of `penWidth`, covering x..x+width and y..y+height as pixel edges.
    void DrawRectangle(Argb color, float penWidth, int x, int y, int width, int height);
    // A zero-length line with round caps draws a dot.
    void DrawLine(Argb color, float width, int x1, int y1, int x2, int y2,
                  LineCap cap = LineCap::Flat);
    void FillEllipse(Argb color, float x, float y, float width, float height);

private:
    void SetColor(Argb color);

    cairo_t* m_cr = nullptr;
    PangoContext* m_pango = nullptr;  // created on first text, reused for this surface
};
