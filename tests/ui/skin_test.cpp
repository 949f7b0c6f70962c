// The real skin and the licence view: pictures and the animation from the program's own
// resources, the licence page in its view.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/program_path.h"
#include "platform/window.h"
#include "ui/GIFImage.h"
#include "ui/Image.h"
#include "ui/WebBrowser2.h"

namespace {

struct SkinCase {
    int id;
    const char* type;
    int width, height;
};

class SkinImageTest : public ::testing::TestWithParam<SkinCase> {};

TEST_P(SkinImageTest, LoadsAtItsSize) {
    Image* image = nullptr;
    ASSERT_TRUE(LoadResourceImage(GetParam().id, GetParam().type, image));
    std::unique_ptr<Image> owned(image);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->Ok());
    EXPECT_EQ(image->Width(), GetParam().width);
    EXPECT_EQ(image->Height(), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, SkinImageTest,
    ::testing::Values(SkinCase{131, "PNG", 600, 422}, SkinCase{132, "JPG", 648, 155},
                      SkinCase{135, "PNG", 40, 19}, SkinCase{146, "PNG", 44, 44},
                      SkinCase{149, "PNG", 200, 50}, SkinCase{152, "PNG", 13, 13},
                      SkinCase{160, "PNG", 200, 50}));

TEST(SkinTest, TwoLoadsGiveTwoIndependentImages) {
    std::unique_ptr<Image> a;
    std::unique_ptr<Image> b;
    ASSERT_TRUE(LoadResourceImage(149, "PNG", a));
    ASSERT_TRUE(LoadResourceImage(149, "PNG", b));
    EXPECT_NE(a.get(), b.get());
    EXPECT_NE(a->Surface(), b->Surface());
    a.reset();
    EXPECT_TRUE(b->Ok());
    EXPECT_FALSE(LoadResourceImage(149, "JPG", a));  // wrong type: not found
    EXPECT_EQ(a, nullptr);
}

TEST(SkinTest, WaitingAnimationHasFifteenFramesOfDelayZero) {
    GIFImage gif;
    ASSERT_TRUE(gif.IsLoaded());
    EXPECT_EQ(gif.FrameCount(), 15u);
    EXPECT_EQ(gif.FrameDelays(), std::vector<std::uint32_t>(15, 0));
    EXPECT_EQ(gif.Width(), 20);
    EXPECT_EQ(gif.Height(), 20);
}

TEST(LicenceViewTest, ShowsThePageAfreshOnEveryVisit) {
    EXPECT_EQ(CWebBrowser2::ResourceAddress("/opt/安装 程序/orvik", 161),
              "res:///opt/安装 程序/orvik/161");

    ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
    platform::WindowOptions options;
    options.rect = {0, 0, 600, 422};
    options.visible = true;
    auto window = platform::Window::Create(options, {});
    ASSERT_NE(window, nullptr);
    CWebBrowser2 browser;
    EXPECT_FALSE(browser.Create(nullptr, {30, 50, 540, 288}, 2019));
    const std::string address =
        CWebBrowser2::ResourceAddress(platform::ProgramPath().value_or(""), 161);
    for (int visit = 0; visit < 2; ++visit) {
        ASSERT_TRUE(browser.Create(window.get(), {30, 50, 540, 288}, 2019));
        EXPECT_EQ(browser.GetDlgCtrlID(), 2019);
        browser.MoveWindow({30, 50, 540, 278});
        browser.SetVisible(true);
        browser.Navigate(address);
        const auto start = std::chrono::steady_clock::now();
        do {
            platform::PumpEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while ((browser.View().IsLoading() || browser.View().Title().empty()) &&
                 std::chrono::steady_clock::now() - start < std::chrono::seconds(60));
        EXPECT_FALSE(browser.View().LoadFailed());
        EXPECT_EQ(browser.View().Title(), "Orvik云电脑用户许可协议");
        browser.SetVisible(false);
        browser.DestroyWindow();
        EXPECT_FALSE(browser.Exists());
    }
}

}  // namespace
