// Real key and pointer events (XTest, through xdotool) reaching window procedures.
#include <gtest/gtest.h>

#include <optional>

#include "platform/messages.h"
#include "platform/window.h"
#include "tests/platform/ui_test_support.h"

namespace {

using platform::Rect;
using platform::Window;
using test::Message;

class InputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartUi(); }

    // A visible window whose procedure records everything and may answer first.
    std::unique_ptr<Window> Make(Rect rect,
                                 std::function<void(Window&, const Message&)> also = {}) {
        return Window::Create(test::Options(rect, true),
                              [this, also](Window& w, unsigned msg, std::uintptr_t wp,
                                           std::intptr_t lp) -> std::intptr_t {
                                  m_log.push_back({msg, wp, lp});
                                  if (also) {
                                      also(w, m_log.back());
                                  }
                                  return w.DefaultProc(msg, wp, lp);
                              });
    }

    std::optional<Message> Last(unsigned msg) const {
        for (auto it = m_log.rbegin(); it != m_log.rend(); ++it) {
            if (it->msg == msg) {
                return *it;
            }
        }
        return std::nullopt;
    }

    static bool Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        return test::RunTool(args);
    }

    std::vector<Message> m_log;
};

struct KeyCase {
    const char* key;
    std::intptr_t result;
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.key; }
};

class ModalKey : public InputTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ModalKey, EndsTheModalRunWithItsCommand) {
    auto w = Window::Create(test::Options({200, 200, 160, 100}), {});
    GtkWindow* native = GTK_WINDOW(w->NativeHandle());
    bool sent = false;
    auto press = [&] {
        if (!sent && gtk_window_has_toplevel_focus(native)) {
            sent = true;
            Xdotool({"key", GetParam().key});
        }
    };
    const guint source = g_timeout_add(
        20,
        [](gpointer data) {
            (*static_cast<decltype(press)*>(data))();
            return static_cast<gboolean>(G_SOURCE_CONTINUE);
        },
        &press);
    const guint guard = g_timeout_add_once(
        10000, [](gpointer data) { static_cast<Window*>(data)->EndModal(-99); }, w.get());
    const std::intptr_t result = w->DoModal();
    g_source_remove(source);
    if (result != -99) {
        g_source_remove(guard);
    }
    EXPECT_TRUE(sent);
    EXPECT_EQ(result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Keys, ModalKey,
                         ::testing::Values(KeyCase{"Escape", platform::IDCANCEL},
                                           KeyCase{"Return", platform::IDOK},
                                           KeyCase{"KP_Enter", platform::IDOK}),
                         [](const auto& c) { return std::string(c.param.key); });

TEST_F(InputTest, LeftButtonEventsCarryClientCoordinates) {
    auto w = Make({100, 100, 200, 150});
    ASSERT_TRUE(test::PumpUntil([&] { return Last(platform::WM_PAINT).has_value(); }));
    ASSERT_TRUE(Xdotool({"mousemove", "130", "145"}));
    EXPECT_TRUE(test::PumpUntil([&] {
        auto m = Last(platform::WM_MOUSEMOVE);
        return m && m->lParam == platform::MakePoint(30, 45);
    }));
    ASSERT_TRUE(Xdotool({"mousedown", "1"}));
    EXPECT_TRUE(test::PumpUntil([&] { return Last(platform::WM_LBUTTONDOWN).has_value(); }));
    ASSERT_TRUE(Xdotool({"mousemove", "140", "150", "mouseup", "1"}));
    EXPECT_TRUE(test::PumpUntil([&] { return Last(platform::WM_LBUTTONUP).has_value(); }));
    EXPECT_EQ(Last(platform::WM_LBUTTONDOWN)->lParam, platform::MakePoint(30, 45));
    EXPECT_EQ(Last(platform::WM_LBUTTONUP)->lParam, platform::MakePoint(40, 50));
}

TEST_F(InputTest, ACaptionDragMovesTheWindowAndReportsItsEnd) {
    std::optional<Rect> rectAtEnd;
    auto w = Make({100, 100, 200, 150}, [&](Window& self, const Message& m) {
        if (m.msg == platform::WM_LBUTTONDOWN) {
            self.Post(platform::WM_NCLBUTTONDOWN, platform::HTCAPTION, m.lParam);
        } else if (m.msg == platform::WM_EXITSIZEMOVE) {
            rectAtEnd = self.GetWindowRect();
        }
    });
    ASSERT_TRUE(test::PumpUntil([&] { return Last(platform::WM_PAINT).has_value(); }));
    ASSERT_TRUE(Xdotool({"mousemove", "150", "150", "mousedown", "1"}));
    ASSERT_TRUE(test::PumpUntil([&] { return Last(platform::WM_NCLBUTTONDOWN).has_value(); }));
    test::PumpFor(50);
    for (const char* step : {"170 160", "200 180", "230 200", "250 210"}) {
        std::string s(step);
        const auto space = s.find(' ');
        ASSERT_TRUE(Xdotool({"mousemove", s.substr(0, space), s.substr(space + 1)}));
        test::PumpFor(30);
    }
    EXPECT_FALSE(rectAtEnd.has_value());  // the button is still down
    ASSERT_TRUE(Xdotool({"mouseup", "1"}));
    ASSERT_TRUE(test::PumpUntil([&] { return rectAtEnd.has_value(); }));
    EXPECT_EQ(*rectAtEnd, (Rect{200, 160, 200, 150}));
    EXPECT_EQ(Last(platform::WM_MOVE)->lParam, platform::MakePoint(200, 160));
    int x = 0;
    int y = 0;
    gdk_window_get_origin(gtk_widget_get_window(static_cast<GtkWidget*>(w->NativeHandle())), &x,
                          &y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 160);
}

TEST_F(InputTest, APressReleasedBeforeTheDragStartsIsAPlainClick) {
    auto w = Make({100, 100, 200, 150}, [&](Window& self, const Message& m) {
        if (m.msg == platform::WM_LBUTTONDOWN) {
            self.Post(platform::WM_NCLBUTTONDOWN, platform::HTCAPTION, m.lParam);
        }
    });
    ASSERT_TRUE(test::PumpUntil([&] { return Last(platform::WM_PAINT).has_value(); }));
    // Press and release reach the queue together: the posted drag request finds the button up.
    ASSERT_TRUE(Xdotool({"mousemove", "150", "150", "click", "1"}));
    ASSERT_TRUE(test::PumpUntil([&] { return Last(platform::WM_NCLBUTTONDOWN).has_value(); }));
    test::PumpFor(100);
    ASSERT_TRUE(Xdotool({"mousemove", "250", "250"}));
    test::PumpFor(100);
    EXPECT_EQ(w->GetWindowRect(), (Rect{100, 100, 200, 150}));
    EXPECT_FALSE(Last(platform::WM_EXITSIZEMOVE).has_value());
    EXPECT_TRUE(Last(platform::WM_LBUTTONUP).has_value());
}

}  // namespace
