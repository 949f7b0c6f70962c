// Shared set-up of the main window's tests: a throw-away home, the window system, a real
// update service on 127.0.0.1 and helpers that drive the window as a user would.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/InstallerDlg.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "proto/service.pb.h"
#include "tests/app/NoticeAnswerer.h"
#include "tests/support/Sandbox.h"
#include "tests/support/loopback_server.h"
#include "ui/Obj.h"
#include "ui/WndShadow.h"

namespace orvik_test {

// A home of its own for every test program, so the installation record, shortcuts and data
// folders of the machine are never read or touched; then the window system. GLib keeps the
// home it first saw, so the sandbox comes before anything asks GLib.
class InstallerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        sandbox = std::make_unique<orvik::test::Sandbox>();
        unsetenv("ORVIK_TEST_FOLDER_PICKER");
        ASSERT_TRUE(platform::InitializeUi()) << "needs a display (run under Xvfb)";
        CWndShadow::InitShadowClass();
    }
    void TearDown() override { sandbox.reset(); }
    static inline std::unique_ptr<orvik::test::Sandbox> sandbox;
};

inline const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new InstallerEnvironment);

// The update service on 127.0.0.1: every query is answered with one UpdateResponse that
// offers `version`, or, while `hang` is set, received and never answered. Its package
// address is held without an answer, so an install started from the window stays in its
// first download for as long as the test looks at it. Release() stops the service: held
// queries and downloads fail, and later ones find nobody listening.
class UpdateService {
public:
    explicit UpdateService(std::string version = "1.2.3", bool hang = false)
        : m_version(std::move(version)), m_hang(hang) {
        m_server = std::make_unique<test_support::LoopbackServer>(
            [this](const test_support::HttpRequest& request) -> std::optional<std::string> {
                if (request.method != "POST") {
                    return std::nullopt;  // a package download
                }
                ++m_queries;
                if (m_hang) {
                    return std::nullopt;
                }
                UpdateResponse response;
                response.set_version(m_version);
                response.set_down_url(m_packageUrl);
                return test_support::HttpAnswer(200, response.SerializeAsString(),
                                                "application/x-protobuf");
            });
        m_url = m_server->Url("/UpdateRequest");
        m_packageUrl = m_server->Url("/packages/cloudpc.7z");
    }

    const std::string& Url() const { return m_url; }
    // Queries that have arrived, answered or not.
    int Queries() const { return m_queries; }
    void Release() { m_server.reset(); }

private:
    std::string m_version;
    std::atomic<bool> m_hang;
    std::atomic<int> m_queries{0};
    std::unique_ptr<test_support::LoopbackServer> m_server;
    std::string m_url;
    std::string m_packageUrl;
};

// Runs the window system's loop until `done` holds or `timeout` passes.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        platform::PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    platform::PumpEvents();
    return true;
}

// Ends an install a test started against UpdateService as a failed download ends it: the
// held download fails, the user confirms the notice and the worker returns.
inline void EndHeldInstall(CInstallerDlg& dlg, UpdateService& service) {
    if (!dlg.IsWorkerRunning()) {
        return;
    }
    NoticeAnswerer user;
    service.Release();
    EXPECT_TRUE(PumpUntil([&] { return !dlg.IsWorkerRunning(); }));
}

inline void Press(CInstallerDlg& dlg, int x, int y) {
    dlg.GetWindow()->Send(platform::WM_LBUTTONDOWN, 0, platform::MakePoint(x, y));
}
inline void Release(CInstallerDlg& dlg, int x, int y) {
    dlg.GetWindow()->Send(platform::WM_LBUTTONUP, 0, platform::MakePoint(x, y));
}
inline void Move(CInstallerDlg& dlg, int x, int y) {
    dlg.GetWindow()->Send(platform::WM_MOUSEMOVE, 0, platform::MakePoint(x, y));
}
// A click as the pointer makes it: over the point, press, release.
inline void Click(CInstallerDlg& dlg, int x, int y) {
    Move(dlg, x, y);
    Press(dlg, x, y);
    Release(dlg, x, y);
}
inline void ClickCentre(CInstallerDlg& dlg, const CObj& button) {
    Click(dlg, button.m_x + button.m_width / 2, button.m_y + button.m_height / 2);
}

inline int ClientHeight(CInstallerDlg& dlg) {
    return dlg.GetWindow()->GetClientRect().height;
}

}  // namespace orvik_test
