// An existing installation: an upgrade with the client running, confirmed and refused, and
// the up-to-date start.
#include <signal.h>

#include "tests/e2e/E2eHarness.h"

namespace orvik::e2e {
namespace {

// The offered version's text starts at x 234; "已安装最新版" only at 251.
bool ShowsUpgradeText(const Shot& shot) {
    return HasDarkPixels(shot, 234, 262, 14, 20);
}

class ExistingInstallTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_dir = (m_sandbox->Root() / "opt" / "orvikcloud").string() + "/";
        m_old = MakePackages("1.0.0.1");
        m_new = MakePackages("1.0.0.2");
        SeedInstallation(m_old, m_dir);
    }

    // Clicks "升级" and waits for the question about the running client.
    void UpgradeUntilAsked() {
        StartService(m_new);
        StartInstaller();
        ASSERT_TRUE(WaitForScreen(Seen::MainButton));
        EXPECT_TRUE(ShowsUpgradeText(Capture()));
        Click(300, 333);  // 升级
        ASSERT_TRUE(WaitForDialog(DialogSeen::Confirmation));
    }

    std::string m_dir;
    fs::path m_old;
    fs::path m_new;
};

TEST_F(ExistingInstallTest, UpgradeWithTheClientRunningClosesItWhenConfirmed) {
    auto client = StartClient(m_dir);
    UpgradeUntilAsked();
    Click(122 + 65 + 52, 107 + 123 + 19);  // 继续

    EXPECT_EQ(WaitInstallerExit(60s), 0);
    EXPECT_EQ(client->WaitExit(5s), 128 + SIGKILL) << "the old client still runs";
    ExpectInstalled(m_dir, "1.0.0.2");
    const auto clients = ClientProcesses();
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_NE(clients[0], client->Pid());
}

TEST_F(ExistingInstallTest, UpgradeRefusedShowsTheNoticeAndChangesNothing) {
    auto client = StartClient(m_dir);
    UpgradeUntilAsked();
    Click(122 + 186 + 52, 107 + 123 + 19);           // 取消
    ASSERT_TRUE(WaitForDialog(DialogSeen::Notice));  // "关闭主程序失败！"
    EXPECT_TRUE(fs::exists(m_dir + "cloudpc.7z"));   // downloaded and left, as designed
    EXPECT_TRUE(fs::exists(m_dir + "cloudupdate.7z"));
    Click(122 + 125 + 52, 107 + 123 + 19);  // 确认

    EXPECT_EQ(WaitInstallerExit(10s), 0);
    EXPECT_TRUE(client->Running());
    EXPECT_EQ(RecordValue("Version"), "1.0.0.1");
    EXPECT_NE(
        test::ReadFileBytes(fs::path(m_dir) / "config" / "client.conf").find("version=1.0.0.1"),
        std::string::npos);
    EXPECT_EQ(ClientProcesses().size(), 1u);
}

TEST_F(ExistingInstallTest, UpToDateStartsTheInstalledClient) {
    StartService(m_old);
    StartInstaller();
    ASSERT_TRUE(WaitForScreen(Seen::MainButton));
    EXPECT_FALSE(ShowsUpgradeText(Capture()));
    Click(300, 333);  // 立即启动

    EXPECT_EQ(WaitInstallerExit(10s), 0);
    EXPECT_FALSE(fs::exists(m_dir + "cloudpc.7z")) << "nothing is to be downloaded";
    ExpectInstalled(m_dir, "1.0.0.1");  // record rewritten, both shortcuts made
    EXPECT_EQ(ClientProcesses().size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return ClientWindowShown(); }, 10s));
}

}  // namespace
}  // namespace orvik::e2e
