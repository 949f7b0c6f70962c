#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/ClientRecord.h"
#include "app/InstallerDlg.h"
#include "platform/window.h"
#include "tests/support/Sandbox.h"
#include "tests/support/service_process.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

// The development update service offering `version` for the client package.
class OfferedVersion {
public:
    OfferedVersion(const Sandbox& sandbox, const std::string& version) {
        const fs::path folder = sandbox.Root() / "service";
        fs::create_directories(folder);
        WriteFileBytes(folder / "cloudpc.7z", "client package");
        WriteFileBytes(folder / "cloudupdate.7z", "updater package");
        WriteFileBytes(folder / "config.json",
                       R"({"packages": {"PERSON": {"version": ")" + version +
                           R"(", "file": "cloudpc.7z"}, "UPDATE": {"version": "u-1", "file": )"
                           R"("cloudupdate.7z"}}})");
        m_service = std::make_unique<test_support::UpdateServiceProcess>(
            std::vector<std::string>{"--config", (folder / "config.json").string()});
    }
    std::string Endpoint() const { return m_service->Url("/UpdateRequest"); }

private:
    std::unique_ptr<test_support::UpdateServiceProcess> m_service;
};

// An installed client: the executable and its record.
void Install(const Sandbox& sandbox, const std::string& version, bool withExecutable) {
    const std::string dir = sandbox.Root().string() + "/installed/";
    fs::create_directories(dir);
    if (withExecutable) {
        WriteFileBytes(dir + "ovClient.exe", "#!/bin/sh\n");
    }
    ASSERT_TRUE(WriteClientRecord({dir, "ovClient.exe", version}));
}

struct Outcome {
    int screen = -1;
    milliseconds elapsed{0};
};

// Opens the real window, which surveys the drives and starts the check, and waits for the
// screen the check's WM_CHECK_DONE switches to.
Outcome RunCheck(CInstallerDlg& dlg) {
    Outcome outcome;
    const auto start = steady_clock::now();
    if (!dlg.Create()) {
        ADD_FAILURE() << "window not created";
        return outcome;
    }
    while (dlg.m_screen.load() == ScreenChecking && steady_clock::now() - start < seconds(20)) {
        platform::PumpEvents();
        std::this_thread::sleep_for(milliseconds(5));
    }
    outcome.elapsed = duration_cast<milliseconds>(steady_clock::now() - start);
    outcome.screen = dlg.m_screen.load();
    return outcome;
}

class CheckEnvironment : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(platform::InitializeUi()); }
    Sandbox sandbox;
};

TEST_F(CheckEnvironment, NoRecordOffersTheQuickInstall) {
    OfferedVersion service(sandbox, "2.0.0");
    CInstallerDlg dlg(nullptr, service.Endpoint());
    const Outcome outcome = RunCheck(dlg);
    EXPECT_EQ(outcome.screen, ScreenQuickInstall);
    // The survey's root here is the fallback: the sandbox's data folder.
    EXPECT_EQ(dlg.m_installDir, sandbox.DataHome().string() + "/orvikcloud/");
    EXPECT_EQ(dlg.m_startName, "ovClient.exe");
    EXPECT_EQ(dlg.m_clientPackage.version, "2.0.0");
    EXPECT_EQ(dlg.m_updaterPackage.version, "u-1");
    // A fast service still leaves the check on screen for a second.
    EXPECT_GE(outcome.elapsed, milliseconds(1000));
    dlg.OnCancel();
}

TEST_F(CheckEnvironment, MissingExecutableKeepsTheRecordedFolder) {
    OfferedVersion service(sandbox, "2.0.0");
    Install(sandbox, "2.0.0", /*withExecutable=*/false);
    CInstallerDlg dlg(nullptr, service.Endpoint());
    EXPECT_EQ(RunCheck(dlg).screen, ScreenQuickInstall);
    EXPECT_EQ(dlg.m_installDir, sandbox.Root().string() + "/installed/");
    EXPECT_EQ(dlg.m_installedVersion, "");
    dlg.OnCancel();
}

TEST_F(CheckEnvironment, VersionsDifferingOnlyInCaseAreUpToDate) {
    OfferedVersion service(sandbox, "2.0.0-RC1");
    Install(sandbox, "2.0.0-rc1", /*withExecutable=*/true);
    CInstallerDlg dlg(nullptr, service.Endpoint());
    EXPECT_EQ(RunCheck(dlg).screen, ScreenUpToDate);
    EXPECT_EQ(dlg.m_installedVersion, "2.0.0-rc1");
    dlg.OnCancel();
}

TEST_F(CheckEnvironment, OlderOfferedVersionIsAnUpgrade) {
    OfferedVersion service(sandbox, "1.9.0");
    Install(sandbox, "2.0.0", /*withExecutable=*/true);
    CInstallerDlg dlg(nullptr, service.Endpoint());
    EXPECT_EQ(RunCheck(dlg).screen, ScreenUpgrade);
    EXPECT_EQ(dlg.m_installedVersion, "2.0.0");
    dlg.OnCancel();
}

// Cleared before the worker began: nothing asked, written or posted.
TEST_F(CheckEnvironment, ClearedFlagReturnsAtOnce) {
    CInstallerDlg dlg(nullptr, "http://127.0.0.1:9/UpdateRequest");
    dlg.m_checkRunning = 0;
    const auto start = steady_clock::now();
    EXPECT_EQ(CheckEnvironmentThread(&dlg), -1);
    EXPECT_LT(steady_clock::now() - start, milliseconds(500));
    EXPECT_EQ(dlg.m_installDir, "");
    EXPECT_EQ(dlg.m_startName, "");
    EXPECT_EQ(dlg.m_clientPackage.version, "");
}

}  // namespace
