// Closing the main window: the bounded waits for the workers and what stays valid for a
// worker that outlives them. Run under AddressSanitizer and ThreadSanitizer builds too.
#include <atomic>
#include <chrono>
#include <thread>

#include "InstallerTestSupport.h"

namespace {

using namespace orvik_test;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(InstallerTeardownTest, ClosingAfterTheCheckWaitsOnePollPerWorker) {
    UpdateService service;
    CInstallerDlg dlg(nullptr, service.Url());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_screen != ScreenChecking; }));
    ASSERT_EQ(dlg.m_checkThread, nullptr);  // released when the check screen was left

    dlg.GetWindow()->Send(platform::WM_COMMAND, platform::IDCANCEL);
    const auto start = Clock::now();
    EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);  // the window is destroyed in there
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 0.19);
    EXPECT_LT(seconds, 0.6);
    EXPECT_FALSE(dlg.IsWorkerRunning());
    EXPECT_EQ(dlg.m_mainButton, nullptr);
    EXPECT_EQ(dlg.m_imgBackground, nullptr);
}

// The check worker stays blocked on a service that never answers: the tear-down gives up
// after its bounded polls, and the window object outlives the worker, which ends once its
// query fails and finds the window gone.
TEST(InstallerTeardownTest, ClosingWhileTheCheckIsBlockedReturnsAfterTheBoundedWaits) {
    UpdateService service("1.2.3", /*hang=*/true);
    CInstallerDlg dlg(nullptr, service.Url());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(PumpUntil([&] { return service.Queries() > 0; }));

    dlg.GetWindow()->Send(platform::WM_COMMAND, platform::IDCANCEL);
    const auto start = Clock::now();
    EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 2.0);
    EXPECT_LT(seconds, 3.0);
    EXPECT_TRUE(dlg.IsWorkerRunning());
    EXPECT_FALSE(dlg.GetWindow()->Exists());

    service.Release();
    EXPECT_TRUE(PumpUntil([&] { return !dlg.IsWorkerRunning(); }));
}

// The install worker's part of the protocol, on a thread of its own: progress sent and
// waited for, then its own switch to the installing screen, while the window paints. Under
// ThreadSanitizer this shows the members both threads use are ordered.
TEST(InstallerTeardownTest, WorkerProgressAndScreenSwitchRaceNoPaint) {
    UpdateService service;
    CInstallerDlg dlg(nullptr, service.Url());
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(PumpUntil([&] { return dlg.m_screen != ScreenChecking; }));
    dlg.m_screen = ScreenDownloading;

    std::atomic<bool> done{false};
    std::thread worker([&] {
        platform::Window* window = dlg.GetWindow();
        for (int phase = 0; phase < 4; ++phase) {
            dlg.m_progressPhase = phase;
            for (int percent = 0; percent <= 100; percent += 5) {
                window->Send(WM_INSTALL_PROGRESS, static_cast<std::uintptr_t>(percent));
            }
            if (phase == 1) {
                dlg.m_progress = 0;
                dlg.m_previousScreen = ScreenDownloading;
                dlg.m_screen = ScreenInstalling;
                window->Invalidate();
            }
        }
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(dlg.m_screen, ScreenInstalling);
    EXPECT_EQ(dlg.m_progress, 100);
    dlg.PaintScreen();
}

}  // namespace
