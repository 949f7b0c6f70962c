// Shadow windows follow the screen's composition: unmapped on a bare X server, mapped once a
// compositing manager runs, and never in the way of the pointer.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/messages.h"
#include "platform/window.h"
#include "tests/platform/ui_test_support.h"

namespace {

using platform::Rect;
using platform::Window;
using platform::WindowKind;

TEST(ShadowWindow, IsMappedOnlyWhileTheScreenIsCompositedAndLetsClicksThrough) {
    test::StartUi();  // this process's own X server: the compositor disturbs no other test
    ASSERT_TRUE(Window::LayeredSupported());
    ASSERT_FALSE(Window::CompositionEnabled());

    std::vector<unsigned> parentLog;
    std::vector<unsigned> shadowLog;
    std::vector<std::intptr_t> presses;
    auto recorder = [](std::vector<unsigned>* log, std::vector<std::intptr_t>* clicks) {
        return [log, clicks](Window& w, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
            log->push_back(msg);
            if (clicks != nullptr && msg == platform::WM_LBUTTONDOWN) {
                clicks->push_back(lp);
            }
            return w.DefaultProc(msg, wp, lp);
        };
    };
    auto parent =
        Window::Create(test::Options({100, 100, 200, 150}, true), recorder(&parentLog, &presses));
    auto shadow = Window::Create(test::Options({}, false, WindowKind::Shadow, parent.get()),
                                 recorder(&shadowLog, nullptr));
    ASSERT_TRUE(parent && shadow);

    const Rect place{92, 92, 216, 166};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(place.width * place.height),
                                      0x32131313);
    shadow->UpdateLayered(place, pixels.data());
    shadow->Show(true);
    EXPECT_EQ(shadow->GetWindowRect(), place);
    test::PumpFor(100);
    EXPECT_TRUE(shadow->IsVisible());
    EXPECT_FALSE(test::IsMapped(*shadow));  // transparent pixels would show black

    auto changes = [](const std::vector<unsigned>& log) {
        return std::count(log.begin(), log.end(), platform::WM_DWMCOMPOSITIONCHANGED);
    };
    test::ChildProcess compositor;
    ASSERT_TRUE(compositor.Start({"xcompmgr", "-n"}));
    ASSERT_TRUE(test::PumpUntil([] { return Window::CompositionEnabled(); }));
    EXPECT_TRUE(test::PumpUntil([&] { return test::IsMapped(*shadow); }));
    EXPECT_EQ(changes(parentLog), 1);
    EXPECT_EQ(changes(shadowLog), 1);

    // The shadow covers the parent but the click reaches the parent.
    test::PumpFor(200);
    ASSERT_TRUE(test::RunTool({"xdotool", "mousemove", "150", "150", "click", "1"}));
    EXPECT_TRUE(test::PumpUntil([&] { return !presses.empty(); }));
    EXPECT_EQ(presses, (std::vector<std::intptr_t>{platform::MakePoint(50, 50)}));

    compositor.Stop();
    ASSERT_TRUE(test::PumpUntil([] { return !Window::CompositionEnabled(); }));
    EXPECT_TRUE(test::PumpUntil([&] { return !test::IsMapped(*shadow); }));
    EXPECT_EQ(changes(parentLog), 2);
    EXPECT_EQ(changes(shadowLog), 2);
    EXPECT_TRUE(shadow->IsVisible());

    parent->Destroy();  // takes its shadow along
    EXPECT_FALSE(shadow->Exists());
}

}  // namespace
