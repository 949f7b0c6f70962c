// The licence inside the window, opened from both install screens and left with "确定".
#include "tests/e2e/E2eHarness.h"

namespace orvik::e2e {
namespace {

using LicenceTest = E2eTest;

TEST_F(LicenceTest, OpensFromBothInstallScreensAndReturnsThere) {
    StartService(MakePackages("1.0.0.1"));
    StartInstaller();
    ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
    Click(28, 394);  // ticked before: the box keeps its state across the licence

    Click(101, 393);  // 同意用户许可协议
    ASSERT_TRUE(WaitForScreen(Seen::Licence));
    EXPECT_EQ(WindowHeight(), 422);
    // The page itself: text inside the view's rectangle once it has loaded.
    EXPECT_TRUE(WaitUntil([&] { return HasDarkPixels(Capture(), 40, 60, 520, 260); }, 10s))
        << "the licence page shows no text";
    Click(300, 377);  // 确定
    ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
    EXPECT_TRUE(IsOrange(Capture().At(212, 367))) << "the agreement box lost its tick";

    Click(534, 394);  // 自定义安装
    ASSERT_TRUE(WaitForScreen(Seen::CustomInstall));
    Click(101, 471);
    ASSERT_TRUE(WaitForScreen(Seen::Licence));
    EXPECT_EQ(WindowHeight(), 422);
    Click(300, 377);
    ASSERT_TRUE(WaitForScreen(Seen::CustomInstall));
    EXPECT_EQ(WindowHeight(), 500);

    Key("Escape");
    EXPECT_EQ(WaitInstallerExit(5s), 0);
    EXPECT_FALSE(fs::exists(RecordFile()));
}

}  // namespace
}  // namespace orvik::e2e
