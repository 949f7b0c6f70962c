// A failed install as the user meets it: the notice over the window, dismissed.
#include "tests/e2e/E2eHarness.h"

namespace orvik::e2e {
namespace {

using FailureTest = E2eTest;

TEST_F(FailureTest, WrongCrcShowsTheNoticeAndCloses) {
    const fs::path dir = DefaultInstallDir();
    if (dir.string().rfind(m_sandbox->Root().string(), 0) != 0) {
        GTEST_SKIP() << "the default install folder of this machine is " << dir
                     << ", outside the test's home";
    }
    StartService(MakePackages("1.0.0.1"), {"--wrong-crc"});
    StartInstaller();
    ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
    Click(28, 394);
    Click(300, 367);

    ASSERT_TRUE(WaitForDialog(DialogSeen::Notice));  // "客户端文件错误！"
    // 356 x 208, centred over the 600 x 422 window: (122, 107) to (478, 315).
    const Shot shot = Capture();
    EXPECT_FALSE(IsWhite(shot.At(124, 312)));
    EXPECT_FALSE(IsWhite(shot.At(476, 109)));
    EXPECT_TRUE(IsWhite(shot.At(300, 318)));  // the lower panel below the dialog
    Click(122 + 125 + 52, 107 + 123 + 19);    // 确认

    EXPECT_EQ(WaitInstallerExit(10s), 0);
    EXPECT_FALSE(fs::exists(RecordFile()));
    EXPECT_TRUE(fs::exists(dir / "cloudpc.7z")) << "the wrong package is left, as designed";
    EXPECT_TRUE(ClientProcesses().empty());
}

}  // namespace
}  // namespace orvik::e2e
