// The overlay: drawn by another thread, composited by the window above its WM_PAINT output,
// read back from the screen.
#include <gtest/gtest.h>

#include <thread>

#include "platform/messages.h"
#include "platform/window.h"
#include "tests/platform/ui_test_support.h"

namespace {

using platform::Rect;
using platform::Window;

constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kRed = 0xFF0000;

// The colour of one client pixel as the X server holds it.
std::uint32_t ScreenPixel(Window& w, int x, int y) {
    GdkWindow* gdkWindow = gtk_widget_get_window(static_cast<GtkWidget*>(w.NativeHandle()));
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(gdkWindow, x, y, 1, 1);
    if (pixbuf == nullptr) {
        return 0xFFFFFFFF;
    }
    const guchar* p = gdk_pixbuf_read_pixels(pixbuf);
    const std::uint32_t rgb = static_cast<std::uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    g_object_unref(pixbuf);
    return rgb;
}

bool ShowsColour(Window& w, int x, int y, std::uint32_t rgb) {
    return test::PumpUntil([&] { return ScreenPixel(w, x, y) == rgb; }, 5000);
}

void Fill(cairo_t* cr, double r, double g, double b) {
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
}

TEST(Overlay, AWorkersDrawingShowsAboveThePaintAndGoesWhenCleared) {
    test::StartUi();
    int paints = 0;
    auto w = Window::Create(test::Options({40, 40, 120, 100}, true),
                            [&](Window& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
                                if (msg == platform::WM_PAINT) {
                                    ++paints;
                                    Fill(self.PaintContext(), 0, 0, 1);
                                }
                                return self.DefaultProc(msg, wp, lp);
                            });
    ASSERT_TRUE(ShowsColour(*w, 15, 15, kBlue));
    const int paintsBefore = paints;

    std::thread([&] {
        w->DrawOverlay(Rect{10, 10, 20, 20}, [](cairo_t* cr) { Fill(cr, 1, 0, 0); });
    }).join();
    EXPECT_TRUE(ShowsColour(*w, 15, 15, kRed));
    EXPECT_TRUE(ShowsColour(*w, 29, 29, kRed));
    EXPECT_GT(paints, paintsBefore);  // the window repainted under it
    EXPECT_EQ(ScreenPixel(*w, 9, 9), kBlue);
    EXPECT_EQ(ScreenPixel(*w, 30, 30), kBlue);

    // A repaint of the whole window keeps the overlay on top.
    w->Invalidate();
    test::PumpFor(100);
    EXPECT_EQ(ScreenPixel(*w, 15, 15), kRed);

    // Moved: the old place shows the window again.
    std::thread([&] {
        w->DrawOverlay(Rect{60, 50, 20, 20}, [](cairo_t* cr) { Fill(cr, 1, 0, 0); });
    }).join();
    EXPECT_TRUE(ShowsColour(*w, 65, 55, kRed));
    EXPECT_TRUE(ShowsColour(*w, 15, 15, kBlue));

    std::thread([&] { w->ClearOverlay(); }).join();
    EXPECT_TRUE(ShowsColour(*w, 65, 55, kBlue));
}

}  // namespace
