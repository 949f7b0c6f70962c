// The licence view: a WebKit view inside a window loading pages of the program by res: address.
#include "platform/web_view.h"

#include <gtest/gtest.h>

#include "platform/messages.h"
#include "platform/program_path.h"
#include "tests/platform/ui_test_support.h"

// The program's resource bundle, here the test's own (web_view_test.gresource.xml).
extern "C" GResource* orvik_res_get_resource(void) {
    static GResource* bundle = g_resource_load(ORVIK_TEST_BUNDLE, nullptr);
    return bundle;
}

namespace {

using platform::Rect;
using platform::Window;

struct PageCase {
    const char* name;
    std::string uri;
    bool loads;
    friend void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }
};

class WebViewTest : public ::testing::TestWithParam<PageCase> {
protected:
    static void SetUpTestSuite() { test::StartUi(); }
};

TEST_P(WebViewTest, ServesTheResourceNamedByTheLastSegment) {
    auto window = Window::Create(test::Options({0, 0, 600, 422}, true), {});
    ASSERT_TRUE(window);
    platform::WebView view;
    ASSERT_TRUE(view.Create(*window, Rect{30, 50, 540, 278}));
    view.Navigate(GetParam().uri);
    ASSERT_TRUE(test::PumpUntil([&] { return !view.IsLoading(); }, 60000));
    if (GetParam().loads) {
        EXPECT_FALSE(view.LoadFailed());
        EXPECT_EQ(view.Title(), "Orvik 用户许可协议");  // decoded as UTF-8 without a BOM
    } else {
        EXPECT_TRUE(view.LoadFailed());
    }
    // The view sits in the window's client area at the asked place.
    GtkAllocation a;
    gtk_widget_get_allocation(static_cast<GtkWidget*>(view.NativeHandle()), &a);
    EXPECT_EQ((Rect{a.x, a.y, a.width, a.height}), (Rect{30, 50, 540, 278}));
    view.Destroy();
    EXPECT_FALSE(view.Exists());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, WebViewTest,
    ::testing::Values(
        PageCase{"ProgramPath", "res://" + platform::ProgramPath().value_or("") + "/161", true},
        PageCase{"PathWithSpacesAndChinese",
                 "res:///home/user/Program Files/安装 程序/orvik installer/161", true},
        PageCase{"UnknownId", "res:///usr/bin/orvik/999", false},
        PageCase{"NotANumber", "res:///usr/bin/orvik/161x", false}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(WebViewLifetime, TheViewGoesWithItsWindow) {
    test::StartUi();
    auto window = Window::Create(test::Options({0, 0, 200, 200}, true), {});
    platform::WebView view;
    ASSERT_TRUE(view.Create(*window, Rect{10, 10, 100, 100}));
    window->Destroy();
    EXPECT_FALSE(view.Exists());
    EXPECT_FALSE(view.Create(*window, Rect{10, 10, 100, 100}));
}

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

TEST(WebViewInWindow, ThePageIsNeverPaintedOverAndTakesItsOwnClicks) {
    test::StartUi();
    std::vector<std::intptr_t> presses;
    int paints = 0;
    auto window = Window::Create(
        test::Options({0, 0, 600, 422}, true),
        [&](Window& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
            if (msg == platform::WM_PAINT) {
                ++paints;
                cairo_set_source_rgb(self.PaintContext(), 0, 0, 1);  // the whole client area
                cairo_paint(self.PaintContext());
            } else if (msg == platform::WM_LBUTTONDOWN) {
                presses.push_back(lp);
            }
            return self.DefaultProc(msg, wp, lp);
        });
    platform::WebView view;
    ASSERT_TRUE(view.Create(*window, Rect{30, 50, 540, 278}));
    view.Navigate("res:///opt/orvik/161");
    ASSERT_TRUE(test::PumpUntil([&] { return !view.IsLoading(); }, 60000));
    ASSERT_FALSE(view.LoadFailed());
    ASSERT_TRUE(test::PumpUntil([&] { return ScreenPixel(*window, 300, 300) == 0xFFFFFF; }));

    const int before = paints;
    window->Invalidate();
    ASSERT_TRUE(test::PumpUntil([&] { return paints > before; }));
    test::PumpFor(100);
    EXPECT_EQ(ScreenPixel(*window, 300, 300), 0xFFFFFFu);  // the page's white
    EXPECT_EQ(ScreenPixel(*window, 10, 10), 0x0000FFu);    // the window's own painting

    ASSERT_TRUE(test::RunTool({"xdotool", "mousemove", "300", "300", "click", "1"}));
    ASSERT_TRUE(test::RunTool({"xdotool", "mousemove", "10", "400", "click", "1"}));
    EXPECT_TRUE(test::PumpUntil([&] { return !presses.empty(); }));
    test::PumpFor(100);
    EXPECT_EQ(presses, (std::vector<std::intptr_t>{platform::MakePoint(10, 400)}));
}

}  // namespace
