#include <algorithm>
#include <cmath>
#include <cstring>

#include "Brand.h"
#include "Pictures.h"

namespace skin {

namespace {

constexpr int kFrames = 15;
constexpr int kSize = 20;
constexpr int kPlayX = 292;  // where the main window plays the animation
constexpr int kPlayY = 260;

// One frame as drawn with full alpha: a pale track ring and a blue comet running round it
// clockwise, its tail fading out behind the round head. `phase` runs 0..1 over one cycle.
Canvas RingFrame(double phase) {
    Canvas c(kSize, kSize);
    cairo_t* cr = c.cr();
    const double cx = 10, cy = 10, radius = 7.4, width = 2.6;
    cairo_set_line_width(cr, width);
    SetColour(cr, Hex(0xDCE6F1));
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_stroke(cr);

    const double head = -M_PI / 2 + phase * 2 * M_PI;
    const double tail = 1.45 * M_PI;  // length of the comet
    const int steps = 48;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int i = 0; i < steps; ++i) {
        const double t0 = static_cast<double>(i) / steps;
        const double t1 = static_cast<double>(i + 1) / steps;
        const double strength = std::pow(t1, 1.5);  // 0 at the tail's end, 1 at the head
        SetColour(cr, {kBrandBlue.r, kBrandBlue.g, kBrandBlue.b, strength});
        cairo_arc(cr, cx, cy, radius, head - tail * (1 - t0), head - tail * (1 - t1) + 0.01);
        cairo_stroke(cr);
    }
    SetColour(cr, kBrandBlue);
    cairo_arc(cr, cx + radius * std::cos(head), cy + radius * std::sin(head), width / 2, 0,
              2 * M_PI);
    cairo_fill(cr);
    return c;
}

}  // namespace

std::vector<Canvas> SpinnerFrames(const Canvas& background) {
    std::vector<Canvas> frames;
    for (int f = 0; f < kFrames; ++f) {
        Canvas drawn = RingFrame(static_cast<double>(f) / kFrames);
        Canvas out(kSize, kSize);
        cairo_t* cr = out.cr();
        // A GIF has one-bit transparency: edge pixels are blended with the background they
        // land on here, the rest stays clear.
        cairo_set_source_surface(cr, background.surface(), -kPlayX, -kPlayY);
        cairo_paint(cr);
        cairo_set_source_surface(cr, drawn.surface(), 0, 0);
        cairo_paint(cr);
        cairo_surface_flush(out.surface());
        cairo_surface_flush(drawn.surface());
        unsigned char* data = cairo_image_surface_get_data(out.surface());
        const int stride = cairo_image_surface_get_stride(out.surface());
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                std::uint8_t px[4];
                drawn.PixelAt(x, y, px);
                if (px[3] < 40) {
                    std::memset(data + y * stride + x * 4, 0, 4);
                }
            }
        }
        cairo_surface_mark_dirty(out.surface());
        frames.push_back(std::move(out));
    }
    return frames;
}

}  // namespace skin
