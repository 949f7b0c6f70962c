// Installing from the main window, clicked as a user clicks it, against the development update
// service serving real 7z packages with the demo client: the whole road of a quick install, an
// upgrade over an old installation, every failure notice caused for real with what it leaves
// behind, and the dialogs the worker shows over the window.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "InstallerTestSupport.h"
#include "app/ClientRecord.h"
#include "app/ClientShortcuts.h"
#include "platform/processes.h"
#include "platform/shortcuts.h"
#include "tests/support/service_process.h"
#include "ui/CheckboxButton.h"
#include "ui/MainButton.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace orvik_test;
using orvik::test::ReadFileBytes;
using orvik::test::WriteFileBytes;

constexpr const char* kOffered = "3.2.1.0";

// The demo packages, made once per test program by the project's own script.
const fs::path& MadePackages() {
    static const fs::path folder = [] {
        const fs::path out = InstallerEnvironment::sandbox->Root() / "made-packages";
        const std::string command = std::string(ORVIK_SOURCE_DIR) +
                                    "/tools/make-packages --client " ORVIK_BINARY_DIR
                                    "/tools/demo-client/ovClient.exe --version " +
                                    kOffered + " --updater-version " + kOffered + " " +
                                    out.string() + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return out;
    }();
    return folder;
}

// What the service announces for one package, beyond its real file.
struct Offer {
    std::optional<std::uint32_t> crc;  // announced instead of the file's
    bool unreachable = false;          // an address where nobody listens
    bool truncated = false;            // the file cut in half: a corrupt archive
};

Offer Unreachable() {
    Offer offer;
    offer.unreachable = true;
    return offer;
}
Offer WrongCrc() {
    Offer offer;
    offer.crc = 12345;
    return offer;
}
Offer Truncated() {
    Offer offer;
    offer.truncated = true;
    return offer;
}

// Client processes started from under `root`.
std::vector<int> ClientsUnder(const fs::path& root) {
    std::vector<int> pids;
    for (const platform::ProcessEntry& process : platform::ListProcesses()) {
        std::error_code error;
        const fs::path exe =
            fs::read_symlink("/proc/" + std::to_string(process.pid) + "/exe", error);
        if (!error && process.name == "ovClient.exe" && exe.string().rfind(root.string(), 0) == 0) {
            pids.push_back(process.pid);
        }
    }
    return pids;
}

std::string Listing(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        names.push_back(fs::relative(it->path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

fs::path ShortcutFile(platform::ShortcutFolder folder) {
    const std::optional<std::string> path = platform::ShortcutFolderPath(folder);
    return path ? fs::path(*path) / (std::string(kShortcutName) + ".desktop") : fs::path();
}

class InstallFlow : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = InstallerEnvironment::sandbox->Root() /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        fs::remove(InstallerEnvironment::sandbox->ConfigHome() / "Orvik" / "RizurUR.conf");
        fs::remove(ShortcutFile(platform::ShortcutFolder::Programs));
        fs::remove(ShortcutFile(platform::ShortcutFolder::Desktop));
    }
    void TearDown() override {
        for (int pid : ClientsUnder(m_root)) {
            kill(pid, SIGKILL);
        }
        if (m_running > 0) {
            kill(m_running, SIGKILL);
            waitpid(m_running, nullptr, 0);
        }
    }

    // The service with the demo packages, each spoilt as `client` and `updater` say.
    void StartService(const Offer& client = {}, const Offer& updater = {}) {
        const fs::path folder = m_root / "service";
        fs::create_directories(folder);
        std::string packages;
        for (const auto& [product, file, offer] :
             {std::tuple{"PERSON", "cloudpc.7z", client}, {"UPDATE", "cloudupdate.7z", updater}}) {
            fs::copy_file(MadePackages() / file, folder / file);
            if (offer.truncated) {
                fs::resize_file(folder / file, fs::file_size(folder / file) / 2);
            }
            std::string entry =
                std::string(R"({"version": ")") + kOffered + R"(", "file": ")" + file + '"';
            if (offer.crc) {
                entry += R"(, "crc": )" + std::to_string(*offer.crc);
            }
            if (offer.unreachable) {
                entry += R"(, "down_url": "http://127.0.0.1:)" +
                         std::to_string(test_support::UnusedLoopbackPort()) + "/" + file + '"';
            }
            packages +=
                (packages.empty() ? "" : ", ") + std::string("\"") + product + "\": " + entry + "}";
        }
        WriteFileBytes(folder / "config.json", "{\"packages\": {" + packages + "}}");
        m_service = std::make_unique<test_support::UpdateServiceProcess>(
            std::vector<std::string>{"--config", (folder / "config.json").string()});
        ASSERT_TRUE(m_service->Running());
    }

    // Opens the window and waits for the screen the check ends on. Every progress report is
    // recorded with the screen it arrived on, and the close the worker posts.
    void Open() {
        dlg = std::make_unique<CInstallerDlg>(nullptr, m_service->Url("/UpdateRequest"));
        ASSERT_TRUE(dlg->Create());
        m_previous = dlg->GetWindow()->ReplaceProcedure(
            [this](platform::Window& w, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
                const std::intptr_t result = m_previous(w, msg, wParam, lParam);
                if (msg == WM_INSTALL_PROGRESS) {
                    m_progress.push_back({dlg->m_screen.load(), dlg->m_progress.load()});
                } else if (msg == platform::WM_CLOSE) {
                    m_closed = true;
                }
                return result;
            });
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_screen != ScreenChecking; }));
        // Not the survey's choice, which is the machine's; the quick install starts from it.
        dlg->m_defaultRoot = m_root.string();
    }

    void QuickInstall() {
        ASSERT_EQ(dlg->m_screen, ScreenQuickInstall);
        ClickCentre(*dlg, *dlg->m_agreeCheckbox);
        ClickCentre(*dlg, *dlg->m_mainButton);
        ASSERT_EQ(dlg->m_screen, ScreenDownloading);
    }

    // Runs the window, the user answering every dialog, until the worker has closed it; the
    // modal run then ends at once and tears the window down.
    void RunToClose(NoticeAnswerer& user) {
        ASSERT_TRUE(PumpUntil([&] { return m_closed && !dlg->IsWorkerRunning(); },
                              std::chrono::seconds(60)));
        user.Stop();
        EXPECT_EQ(dlg->DoModal(), platform::IDCANCEL);
        EXPECT_FALSE(dlg->GetWindow()->Exists());
    }

    fs::path InstallDir() const { return m_root / "orvikcloud"; }

    // A client process of that name, running from under this test's folder.
    void StartRunningClient() {
        const fs::path exe = m_root / "running" / "ovClient.exe";
        fs::create_directories(exe.parent_path());
        fs::copy_file(ORVIK_BINARY_DIR "/tools/demo-client/ovClient.exe", exe);
        std::string path = exe.string();
        char* argv[] = {path.data(), nullptr};
        ASSERT_EQ(posix_spawn(&m_running, path.c_str(), nullptr, nullptr, argv, environ), 0);
        ASSERT_TRUE(PumpUntil([&] { return !ClientsUnder(exe.parent_path()).empty(); }));
    }

    fs::path m_root;
    std::unique_ptr<test_support::UpdateServiceProcess> m_service;
    std::unique_ptr<CInstallerDlg> dlg;
    platform::Window::Procedure m_previous;
    std::vector<std::pair<int, int>> m_progress;  // screen, bar
    bool m_closed = false;
    pid_t m_running = -1;
};

TEST_F(InstallFlow, QuickInstallEndsWithTheClientStartedAndTheInstallerClosed) {
    StartService();
    Open();
    NoticeAnswerer user;
    QuickInstall();
    RunToClose(user);
    EXPECT_EQ(user.Messages(), std::vector<std::string>{});

    // The bar fills to 100 on the downloading screen and starts again at 0 on the next.
    int downloadingMax = -1;
    std::optional<int> firstInstalling;
    int installingMax = -1;
    for (const auto& [screen, bar] : m_progress) {
        if (screen == ScreenDownloading) {
            EXPECT_FALSE(firstInstalling) << "screen 6 after screen 7";
            downloadingMax = std::max(downloadingMax, bar);
        } else if (screen == ScreenInstalling) {
            firstInstalling = firstInstalling.value_or(bar);
            installingMax = std::max(installingMax, bar);
        }
    }
    EXPECT_EQ(downloadingMax, 100);
    EXPECT_EQ(firstInstalling, 0);
    EXPECT_GE(installingMax, 50);
    EXPECT_LE(installingMax, 99);

    // The client package in the folder, the updater in Update, the archives gone.
    EXPECT_EQ(Listing(InstallDir()),
              "NetLink.dat Update Update/ovUpdate.sh Update/version.txt config config/client.conf "
              "ovClient.exe readme.txt");
    EXPECT_EQ(ReadFileBytes(InstallDir() / "Update" / "version.txt"), std::string(kOffered) + "\n");
    EXPECT_EQ(fs::file_size(InstallDir() / "NetLink.dat"), 32u);

    const std::optional<StoredClientRecord> record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->installDir, InstallDir().string() + "/");
    EXPECT_EQ(record->startName, "ovClient.exe");
    EXPECT_EQ(record->version, kOffered);
    for (platform::ShortcutFolder folder :
         {platform::ShortcutFolder::Programs, platform::ShortcutFolder::Desktop}) {
        EXPECT_NE(ReadFileBytes(ShortcutFile(folder)).find("ovClient.exe"), std::string::npos);
    }
    EXPECT_TRUE(PumpUntil([&] { return !ClientsUnder(InstallDir()).empty(); }));
}

TEST_F(InstallFlow, UpgradeExtractsOverTheOldFilesAndKeepsWhatTheNewPackageLacks) {
    StartService();
    const fs::path old = m_root / "old";
    fs::create_directories(old / "config");
    WriteFileBytes(old / "ovClient.exe", "old client");
    WriteFileBytes(old / "config" / "client.conf", "old configuration");
    WriteFileBytes(old / "old-only.txt", "kept");
    ASSERT_TRUE(WriteClientRecord({old.string() + "/", "ovClient.exe", "1.0.0.0"}));

    Open();
    ASSERT_EQ(dlg->m_screen, ScreenUpgrade);
    NoticeAnswerer user;
    ClickCentre(*dlg, *dlg->m_mainButton);
    ASSERT_EQ(dlg->m_screen, ScreenDownloading);
    RunToClose(user);

    EXPECT_EQ(ReadFileBytes(old / "old-only.txt"), "kept");
    EXPECT_NE(ReadFileBytes(old / "ovClient.exe"), "old client");
    EXPECT_NE(ReadFileBytes(old / "config" / "client.conf").find(kOffered), std::string::npos);
    EXPECT_FALSE(fs::exists(old / "cloudpc.7z"));
    EXPECT_FALSE(fs::exists(InstallDir()));
    const std::optional<StoredClientRecord> record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->installDir, old.string() + "/");
    EXPECT_EQ(record->version, kOffered);
}

// ---- failures: the notice, the close, and what stays on disk ----

struct FailureCase {
    const char* name;
    Offer client;
    Offer updater;
    const char* notice;
    const char* left;  // the install folder afterwards
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallFailure : public InstallFlow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InstallFailure, ShowsItsNoticeClosesAndLeavesWhatItHad) {
    const FailureCase& c = GetParam();
    StartService(c.client, c.updater);
    Open();
    NoticeAnswerer user;
    QuickInstall();
    RunToClose(user);
    EXPECT_EQ(user.Messages(), std::vector<std::string>{c.notice});
    EXPECT_EQ(Listing(InstallDir()), c.left);
    EXPECT_FALSE(ReadClientRecord());
    EXPECT_FALSE(fs::exists(ShortcutFile(platform::ShortcutFolder::Desktop)));
    EXPECT_TRUE(ClientsUnder(InstallDir()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InstallFailure,
    ::testing::Values(
        FailureCase{"ClientDownload", Unreachable(), {}, "下载客户端失败！", ""},
        FailureCase{"ClientCrc", WrongCrc(), {}, "客户端文件错误！", "cloudpc.7z"},
        FailureCase{"UpdaterDownload", {}, Unreachable(), "下载更新包失败！", "cloudpc.7z"},
        FailureCase{"UpdaterCrc", {}, WrongCrc(), "更新包文件错误！", "cloudpc.7z cloudupdate.7z"},
        FailureCase{
            "ClientArchive", Truncated(), {}, "解压客户端失败！", "cloudpc.7z cloudupdate.7z"},
        FailureCase{"UpdaterArchive",
                    {},
                    Truncated(),
                    "解压更新包失败！",
                    "Update cloudupdate.7z config config/client.conf ovClient.exe readme.txt"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(InstallFlow, RefusingToCloseTheRunningClientEndsTheInstallWithBothArchivesKept) {
    StartService();
    StartRunningClient();
    Open();
    NoticeAnswerer user(NoticeAnswerer::Answer::Cancel);
    QuickInstall();
    RunToClose(user);

    EXPECT_EQ(user.Messages(),
              (std::vector<std::string>{"(upgrade question)", "关闭主程序失败！"}));
    EXPECT_EQ(Listing(InstallDir()), "cloudpc.7z cloudupdate.7z");
    EXPECT_EQ(ClientsUnder(m_root / "running").size(), 1u);  // still running
    EXPECT_FALSE(ReadClientRecord());

    // Both dialogs sat centred over the window at the origin; the notice has one button.
    const std::vector<NoticeAnswerer::Shown> seen = user.Seen();
    ASSERT_EQ(seen.size(), 2u);
    for (const NoticeAnswerer::Shown& shown : seen) {
        EXPECT_EQ(shown.rect, (platform::Rect{122, 107, 356, 208}));
    }
    EXPECT_EQ(seen[0].confirmButton, (platform::Rect{65, 123, 105, 38}));
    EXPECT_EQ(seen[1].confirmButton, (platform::Rect{125, 123, 105, 38}));
}

TEST_F(InstallFlow, AnUnwritableDataFileIsReportedAndTheInstallStillFinishes) {
    StartService();
    fs::create_directories(InstallDir() / "NetLink.dat");  // a folder: no file can be written
    Open();
    NoticeAnswerer user;
    QuickInstall();
    RunToClose(user);

    EXPECT_EQ(user.Messages(), std::vector<std::string>{"解压配置失败！"});
    const std::optional<StoredClientRecord> record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->version, kOffered);
    EXPECT_TRUE(fs::exists(ShortcutFile(platform::ShortcutFolder::Programs)));
    EXPECT_TRUE(PumpUntil([&] { return !ClientsUnder(InstallDir()).empty(); }));
}

}  // namespace
