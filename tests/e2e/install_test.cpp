// Fresh installs as a user makes them: the quick install into the default folder and the
// custom install into a chosen one.
#include "tests/e2e/E2eHarness.h"

namespace orvik::e2e {
namespace {

class QuickInstallTest : public E2eTest {
protected:
    QuickInstallTest() { m_composited = true; }  // the drop shadow is part of what is seen
};

TEST_F(QuickInstallTest, AgreeThenQuickInstallStartsTheClient) {
    const std::string dir = DefaultInstallDir().string();
    if (dir.rfind(m_sandbox->Root().string(), 0) != 0) {
        GTEST_SKIP() << "the default install folder of this machine is " << dir
                     << ", outside the test's home";
    }
    StartService(MakePackages("1.0.0.1"));
    StartInstaller();
    EXPECT_EQ(WhatIsShown(), Seen::Checking);
    // The shadow: grey beside the window's right edge on the white screen.
    const Rgb beside = Capture().At(602, 200);
    EXPECT_LT(beside.r, 245) << "no drop shadow right of the window";

    ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
    EXPECT_EQ(WindowHeight(), 422);
    EXPECT_TRUE(IsGreyButton(Capture().At(212, 367))) << "the main button is enabled unticked";
    Click(300, 367);  // disabled: nothing happens
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(WhatIsShown(), Seen::QuickInstall);

    Click(28, 394);  // the agreement box
    EXPECT_TRUE(WaitUntil([&] { return IsOrange(Capture().At(212, 367)); }, 3s));
    Click(300, 367);  // 快速安装

    EXPECT_EQ(WaitInstallerExit(60s), 0);
    ExpectInstalled(dir, "1.0.0.1");
    EXPECT_EQ(ClientProcesses().size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return ClientWindowShown(); }, 10s)) << "no client window";
}

using CustomInstallTest = E2eTest;

TEST_F(CustomInstallTest, ChosenFolderKeepsTheTallWindowAndGetsTheInstall) {
    const fs::path config = MakePackages("1.0.0.1");
    // Slow enough to see the download screen in the custom layout.
    const auto size = fs::file_size(config.parent_path() / "cloudpc.7z");
    StartService(config, {"--slow-download", std::to_string(size / 2 + 1)});
    const fs::path chosen = m_sandbox->Root() / "软件 目录";
    fs::create_directories(chosen);
    StartInstaller();

    ASSERT_TRUE(WaitForScreen(Seen::QuickInstall));
    Click(534, 394);  // 自定义安装
    ASSERT_TRUE(WaitForScreen(Seen::CustomInstall));
    EXPECT_EQ(WindowHeight(), 500);
    EXPECT_TRUE(IsWhite(Capture().At(10, 495))) << "the lower panel does not reach the bottom";
    Click(28, 472);  // the agreement box, moved down
    EXPECT_TRUE(WaitUntil([&] { return IsOrange(Capture().At(212, 367)); }, 3s));
    Click(480, 428);  // the change button opens the folder chooser
    ASSERT_TRUE(ChooseFolder(chosen));
    std::this_thread::sleep_for(200ms);
    Click(300, 367);  // 快速安装

    EXPECT_TRUE(WaitForScreen(Seen::Progress));
    EXPECT_EQ(WindowHeight(), 500);
    EXPECT_EQ(WaitInstallerExit(60s), 0);
    ExpectInstalled(chosen.string() + "/orvikcloud/", "1.0.0.1");
    EXPECT_FALSE(fs::exists(DefaultInstallDir()));
    EXPECT_EQ(ClientProcesses().size(), 1u);
}

}  // namespace
}  // namespace orvik::e2e
