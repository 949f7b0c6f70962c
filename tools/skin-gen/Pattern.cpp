#include "Pattern.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "Brand.h"
#include "Canvas.h"

namespace skin {

namespace {

constexpr Rgba kTop = Hex(0xE3ECF7);
constexpr Rgba kBottom = Hex(0xF3F7FB);
constexpr Rgba kLine = Hex(0xA9C0DA);

// Deterministic uniform numbers: the raw engine output is fixed by the standard, the
// library's distributions are not.
class Random {
public:
    explicit Random(unsigned seed) : m_engine(seed) {}
    double Next() { return static_cast<double>(m_engine()) / 4294967296.0; }
    double Range(double lo, double hi) { return lo + (hi - lo) * Next(); }

private:
    std::mt19937 m_engine;
};

double SmoothStep(double e0, double e1, double v) {
    const double t = std::clamp((v - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// 0 inside the clear ellipse, rising to 1 a little outside it.
double Visibility(const PatternSpec& s, double x, double y) {
    if (s.clearRx <= 0 || s.clearRy <= 0) {
        return 1;
    }
    const double dx = (x - s.clearX) / s.clearRx;
    const double dy = (y - s.clearY) / s.clearRy;
    return SmoothStep(0.85, 1.45, std::sqrt(dx * dx + dy * dy));
}

void Backdrop(cairo_t* cr, const PatternSpec& s) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, s.height);
    cairo_pattern_add_color_stop_rgb(g, 0, kTop.r, kTop.g, kTop.b);
    cairo_pattern_add_color_stop_rgb(g, 1, kBottom.r, kBottom.g, kBottom.b);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    if (s.clearRx > 0) {
        // A soft light behind the logo.
        cairo_save(cr);
        cairo_translate(cr, s.clearX, s.clearY);
        cairo_scale(cr, s.clearRx * 1.5, s.clearRy * 1.5);
        cairo_pattern_t* glow = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
        cairo_pattern_add_color_stop_rgba(glow, 0, 1, 1, 1, 0.9);
        cairo_pattern_add_color_stop_rgba(glow, 0.55, 1, 1, 1, 0.55);
        cairo_pattern_add_color_stop_rgba(glow, 1, 1, 1, 1, 0);
        cairo_set_source(cr, glow);
        cairo_paint(cr);
        cairo_pattern_destroy(glow);
        cairo_restore(cr);
    }
}

struct Node {
    double x, y;
};

// A loose constellation of nodes and links: the network behind the cloud.
void Network(cairo_t* cr, const PatternSpec& s, Random& rnd) {
    const double cell = 54;
    const int cols = static_cast<int>(std::ceil(s.width / cell)) + 2;
    const int rows = static_cast<int>(std::ceil(s.height / cell)) + 2;
    std::vector<Node> nodes;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            nodes.push_back(
                {(c - 0.5) * cell + rnd.Range(-17, 17), (r - 0.5) * cell + rnd.Range(-17, 17)});
        }
    }
    auto at = [&](int r, int c) -> const Node& {
        return nodes[static_cast<std::size_t>(r * cols + c)];
    };
    cairo_set_line_width(cr, 0.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    auto link = [&](const Node& a, const Node& b, double strength) {
        const double v = Visibility(s, (a.x + b.x) / 2, (a.y + b.y) / 2);
        if (v <= 0.01) {
            return;
        }
        SetColour(cr, {kLine.r, kLine.g, kLine.b, 0.42 * v * strength});
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_stroke(cr);
    };
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const double p1 = rnd.Next(), p2 = rnd.Next(), p3 = rnd.Next();
            if (c + 1 < cols && p1 < 0.62) {
                link(at(r, c), at(r, c + 1), 1);
            }
            if (r + 1 < rows && p2 < 0.55) {
                link(at(r, c), at(r + 1, c), 1);
            }
            if (r + 1 < rows && c + 1 < cols && p3 < 0.32) {
                link(at(r, c), at(r + 1, c + 1), 0.8);
            }
        }
    }
    for (const Node& n : nodes) {
        const double v = Visibility(s, n.x, n.y);
        if (v <= 0.01) {
            continue;
        }
        const double kind = rnd.Next();
        if (kind < 0.22) {
            // A brighter hub with a halo.
            SetColour(cr, {kLine.r, kLine.g, kLine.b, 0.28 * v});
            cairo_arc(cr, n.x, n.y, 4.2, 0, 2 * M_PI);
            cairo_set_line_width(cr, 0.8);
            cairo_stroke(cr);
            SetColour(cr, {kLine.r, kLine.g, kLine.b, 0.75 * v});
            cairo_arc(cr, n.x, n.y, 1.9, 0, 2 * M_PI);
            cairo_fill(cr);
        } else {
            SetColour(cr, {kLine.r, kLine.g, kLine.b, 0.55 * v});
            cairo_arc(cr, n.x, n.y, 1.3, 0, 2 * M_PI);
            cairo_fill(cr);
        }
    }
}

// Outline drawings of the things the service connects: clouds, a monitor, a laptop.
void CloudOutline(cairo_t* cr, const PatternSpec& s, double x, double y, double size,
                  double alpha) {
    const double v = Visibility(s, x + size / 2, y + size / 2);
    if (v <= 0.01) {
        return;
    }
    cairo_save(cr);
    SetColour(cr, {kLine.r, kLine.g, kLine.b, alpha * v});
    OutlinePath(
        cr,
        [x, y, size](cairo_t* c) {
            cairo_save(c);
            cairo_translate(c, x, y);
            cairo_scale(c, size, size);
            CloudPath(c);
            cairo_restore(c);
        },
        1.1);
    cairo_restore(cr);
}

void MonitorOutline(cairo_t* cr, const PatternSpec& s, double x, double y, double w, double alpha) {
    const double v = Visibility(s, x + w / 2, y + w * 0.35);
    if (v <= 0.01) {
        return;
    }
    const double h = w * 0.62;
    SetColour(cr, {kLine.r, kLine.g, kLine.b, alpha * v});
    cairo_set_line_width(cr, 1.1);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    RoundedRect(cr, x, y, w, h, 3);
    cairo_stroke(cr);
    RoundedRect(cr, x + 4, y + 4, w - 8, h - 11, 1.5);
    cairo_stroke(cr);
    cairo_move_to(cr, x + w / 2 - 4, y + h);
    cairo_line_to(cr, x + w / 2 - 6, y + h + 8);
    cairo_move_to(cr, x + w / 2 + 4, y + h);
    cairo_line_to(cr, x + w / 2 + 6, y + h + 8);
    cairo_move_to(cr, x + w / 2 - 14, y + h + 8.5);
    cairo_line_to(cr, x + w / 2 + 14, y + h + 8.5);
    cairo_stroke(cr);
}

void LaptopOutline(cairo_t* cr, const PatternSpec& s, double x, double y, double w, double alpha) {
    const double v = Visibility(s, x + w / 2, y + w * 0.3);
    if (v <= 0.01) {
        return;
    }
    const double h = w * 0.58;
    SetColour(cr, {kLine.r, kLine.g, kLine.b, alpha * v});
    cairo_set_line_width(cr, 1.1);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    RoundedRect(cr, x + w * 0.1, y, w * 0.8, h, 2.5);
    cairo_stroke(cr);
    RoundedRect(cr, x + w * 0.1 + 3.5, y + 3.5, w * 0.8 - 7, h - 7, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, x + w * 0.06, y + h + 1.5);
    cairo_line_to(cr, x + w * 0.94, y + h + 1.5);
    cairo_line_to(cr, x + w, y + h + 6);
    cairo_line_to(cr, x, y + h + 6);
    cairo_close_path(cr);
    cairo_stroke(cr);
}

void Waves(cairo_t* cr, const PatternSpec& s) {
    const int count = 5;
    for (int i = 0; i < count; ++i) {
        const double base = s.height - 12 - i * 11.0;
        const double amp = 9 + i * 2.5;
        const double phase = i * 0.9;
        cairo_new_path(cr);
        for (int x = -4; x <= s.width + 4; x += 4) {
            const double t = x / static_cast<double>(s.width);
            const double y = base - amp * std::sin(t * 2 * M_PI * 1.15 + phase) -
                             4 * std::sin(t * 2 * M_PI * 2.7 + phase * 1.7);
            if (x == -4) {
                cairo_move_to(cr, x, y);
            } else {
                cairo_line_to(cr, x, y);
            }
        }
        SetColour(cr, {kLine.r, kLine.g, kLine.b, 0.30 - i * 0.045});
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
}

}  // namespace

void OutlinePath(cairo_t* cr, const std::function<void(cairo_t*)>& path, double width) {
    cairo_push_group(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    path(cr);
    cairo_set_line_width(cr, width * 2);
    cairo_stroke(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    path(cr);
    cairo_fill(cr);
    cairo_pattern_t* mask = cairo_pop_group(cr);
    cairo_mask(cr, mask);
    cairo_pattern_destroy(mask);
}

void DrawPattern(cairo_t* cr, const PatternSpec& spec) {
    Random rnd(spec.seed);
    cairo_save(cr);
    Backdrop(cr, spec);
    Network(cr, spec, rnd);
    const double w = spec.width, h = spec.height;
    CloudOutline(cr, spec, w * 0.05, h * 0.10, 78, 0.55);
    CloudOutline(cr, spec, w * 0.80, h * 0.04, 64, 0.45);
    CloudOutline(cr, spec, w * 0.86, h * 0.48, 52, 0.45);
    CloudOutline(cr, spec, w * 0.14, h * 0.56, 46, 0.40);
    MonitorOutline(cr, spec, w * 0.07, h * 0.74, 56, 0.55);
    LaptopOutline(cr, spec, w * 0.82, h * 0.72, 62, 0.55);
    if (spec.waves) {
        Waves(cr, spec);
    }
    cairo_restore(cr);
}

}  // namespace skin
