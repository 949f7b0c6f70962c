// One main-window repaint of the progress screen: the four shadow setters of every paint,
// then the header, the lower panel, the progress bar with its marker and texts and the close
// button, drawn with the toolkit into a 600 x 500 back buffer. The baseline draws the same
// layers with bare cairo and pango calls in the same run. Prints the ratio.
// Run under a display (xvfb-run) so the shadow is live; without one it is left out.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/window.h"
#include "ui/BackBuffer.h"
#include "ui/CloseButton.h"
#include "ui/Graphics.h"
#include "ui/WndShadow.h"

namespace {

cairo_surface_t* MakePicture(int width, int height, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, r, g, b, 0.9);
    cairo_paint(cr);
    cairo_destroy(cr);
    return s;
}

struct Scene {
    Image header{MakePicture(600, 312, 0.8, 0.85, 0.9)};
    Image marker{MakePicture(40, 19, 0.2, 0.4, 0.9)};
    std::unique_ptr<platform::Window> window;
    CWndShadow shadow;
    bool live = false;

    Scene() {
        if (!platform::InitializeUi() || !CWndShadow::InitShadowClass()) {
            return;
        }
        platform::WindowOptions options;
        options.rect = {0, 0, 600, 500};
        window = platform::Window::Create(
            options, [](platform::Window& w, unsigned m, std::uintptr_t wp, std::intptr_t lp) {
                return w.DefaultProc(m, wp, lp);
            });
        if (window) {
            shadow.CreateShadow(window.get());
            live = (shadow.m_status & CWndShadow::ShadowVisible) != 0;
        }
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void SkinnedRepaint(benchmark::State& state) {
    Scene& scene = TheScene();
    BackBuffer buffer(600, 500);
    buffer.Rebuild(1);
    Graphics& g = *buffer.GetGraphics();
    CCloseButton close;
    close.m_x = 570;
    close.m_y = 17;
    close.m_width = 13;
    close.m_height = 13;
    close.m_visible = true;
    const int progress = 37;
    const int e = (progress + 10) * 5;
    for (auto _ : state) {
        g.Clear(0x00FFFFFF);
        scene.shadow.SetShadowSize(8);
        scene.shadow.SetShadowOffset(0, 0);
        scene.shadow.SetShadowColor(0x646464);
        scene.shadow.SetShadowDarkness(50);
        g.DrawImage(&scene.header, 0, 0);
        g.DrawRectangle(0xFFFFFFFF, 1, 0, 312, 600, 188);
        g.FillRectangle(0xFFFFFFFF, 0, 312, 600, 188);
        g.DrawLine(0xFFEBECF0, 14, 50, 368, 550, 368, LineCap::Round);
        g.DrawLine(0xFF00AFFF, 14, 50, 368, e, 368, LineCap::Round);
        g.DrawImage(&scene.marker, e - scene.marker.Width(), 335);
        g.DrawString(std::to_string(progress) + " %", Font{"微软雅黑", 8, 0, FontUnit::Point},
                     RectF{static_cast<float>(e), 335, 40, 19},
                     StringFormat{StringAlignment::Center, StringAlignment::Center}, 0xFF4B4B4B);
        g.DrawString("安装文件下载中...", Font{"微软雅黑", 13}, RectF{0, 385, 600, 20},
                     StringFormat{StringAlignment::Center, StringAlignment::Center}, 0xFF4B4B4B);
        close.Draw(g);
        cairo_surface_flush(buffer.Surface());
        benchmark::ClobberMemory();
    }
    state.counters["shadow_live"] = scene.live ? 1 : 0;
    state.counters["shadow_builds"] = static_cast<double>(scene.shadow.m_buildCount);
}

void ShowText(cairo_t* cr, const char* text, const char* font, double x, double y, double width,
              double height) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* desc = pango_font_description_from_string(font);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    pango_layout_set_text(layout, text, -1);
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    cairo_move_to(cr, x, y + (height - h) / 2);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
}

void BareCairoRepaint(benchmark::State& state) {
    Scene& scene = TheScene();
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 500);
    cairo_t* cr = cairo_create(target);
    const int e = (37 + 10) * 5;
    for (auto _ : state) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, scene.header.Surface(), 0, 0);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_rectangle(cr, 0, 312, 600, 188);
        cairo_fill(cr);
        cairo_set_line_width(cr, 14);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_source_rgb(cr, 0.92, 0.93, 0.94);
        cairo_move_to(cr, 50, 368);
        cairo_line_to(cr, 550, 368);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0.69, 1);
        cairo_move_to(cr, 50, 368);
        cairo_line_to(cr, e, 368);
        cairo_stroke(cr);
        cairo_set_source_surface(cr, scene.marker.Surface(), e - 40, 335);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        ShowText(cr, "37 %", "sans-serif 10.6px", e, 335, 40, 19);
        ShowText(cr, "安装文件下载中...", "sans-serif 13px", 0, 385, 600, 20);
        cairo_surface_flush(target);
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(target);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            m_cpu[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_cpu;  // ns per iteration
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BareCairoRepaint", BareCairoRepaint);
    benchmark::RegisterBenchmark("SkinnedRepaint", SkinnedRepaint);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double bare = reporter.m_cpu["BareCairoRepaint"];
    const double skinned = reporter.m_cpu["SkinnedRepaint"];
    if (bare > 0 && skinned > 0) {
        std::printf(
            "skinned repaint %.3f ms CPU, bare cairo/pango %.3f ms: ratio %.2f "
            "(target: under 1 ms per paint)%s\n",
            skinned / 1e6, bare / 1e6, skinned / bare,
            TheScene().live ? "" : " [no display: shadow left out]");
    }
    benchmark::Shutdown();
    return 0;
}
