// The shadow window following a real parent window: placement, the picture cache, deferred
// recomputation, hiding, destruction, and the composition paths on a private X server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/messages.h"
#include "platform/window.h"
#include "ui/WndShadow.h"

namespace {

using namespace std::chrono_literals;

std::unique_ptr<platform::Window> MakeParent(platform::Rect rect) {
    platform::WindowOptions options;
    options.rect = rect;
    options.visible = true;
    return platform::Window::Create(
        options, [](platform::Window& w, unsigned m, std::uintptr_t wp, std::intptr_t lp) {
            return w.DefaultProc(m, wp, lp);
        });
}

// The main window's values, applied as its paint applies them.
void ApplyMainWindowValues(CWndShadow& shadow) {
    shadow.SetShadowSize(8);
    shadow.SetShadowOffset(0, 0);
    shadow.SetShadowColor(0x646464);
    shadow.SetShadowDarkness(50);
}

template <class Pred>
bool PumpUntil(Pred pred, std::chrono::milliseconds limit = 10s) {
    const auto start = std::chrono::steady_clock::now();
    while (!pred()) {
        if (std::chrono::steady_clock::now() - start > limit) {
            return false;
        }
        platform::PumpEvents();
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(ShadowWindowTest, FollowsItsParent) {
    ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
    ASSERT_TRUE(CWndShadow::InitShadowClass());
    EXPECT_FALSE(CWndShadow::InitShadowClass());

    auto parent = MakeParent({100, 100, 600, 422});
    ASSERT_NE(parent, nullptr);
    platform::PumpEvents();
    CWndShadow shadow;
    shadow.CreateShadow(parent.get());
    ASSERT_NE(shadow.m_hShadow, nullptr);
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowEnabled, CWndShadow::ShadowEnabled);
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowVisible, CWndShadow::ShadowVisible);
    EXPECT_EQ(shadow.m_status & CWndShadow::CompositionActive, 0) << "bare Xvfb composites";

    ApplyMainWindowValues(shadow);
    EXPECT_EQ(shadow.m_hShadow->GetWindowRect(), (platform::Rect{92, 92, 616, 438}));
    const auto builds = shadow.m_buildCount;
    ApplyMainWindowValues(shadow);  // the next paint: nothing changed, nothing rebuilt
    EXPECT_EQ(shadow.m_buildCount, builds);

    // Moving only repositions.
    parent->SetPosition(150, 120);
    platform::PumpEvents();
    EXPECT_EQ(shadow.m_hShadow->GetWindowRect().x, 142);
    EXPECT_EQ(shadow.m_hShadow->GetWindowRect().y, 112);
    EXPECT_EQ(shadow.m_buildCount, builds);

    // Growing waits for the next paint; shrinking recomputes at once.
    shadow.m_updateOnPaint = false;
    parent->MoveWindow({150, 120, 600, 500});
    EXPECT_TRUE(shadow.m_updateOnPaint);
    EXPECT_EQ(shadow.m_buildCount, builds);
    parent->CallProcedure(platform::WM_PAINT, 0, 0);
    EXPECT_FALSE(shadow.m_updateOnPaint);
    EXPECT_EQ(shadow.m_buildCount, builds + 1);
    EXPECT_EQ(shadow.m_hShadow->GetWindowRect(), (platform::Rect{142, 112, 616, 516}));
    parent->MoveWindow({150, 120, 600, 422});
    EXPECT_EQ(shadow.m_buildCount, builds + 2);
    EXPECT_FALSE(shadow.m_updateOnPaint);

    // Hiding the parent hides the shadow; showing it brings it back.
    parent->Show(false);
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowVisible, 0);
    EXPECT_FALSE(shadow.m_hShadow->IsVisible());
    parent->Show(true);
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowVisible, CWndShadow::ShadowVisible);

    // Destroying the parent destroys the shadow window and forgets the parent.
    parent->Destroy();
    EXPECT_EQ(shadow.m_hShadow, nullptr);
    {
        std::lock_guard lock(CWndShadow::s_shadowMapMutex);
        EXPECT_EQ(CWndShadow::s_shadowMap.count(parent.get()), 0u);
    }
    ApplyMainWindowValues(shadow);  // harmless afterwards
}

TEST(ShadowWindowTest, DestroyedShadowObjectLeavesItsParentWorking) {
    ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
    ASSERT_TRUE(CWndShadow::InitShadowClass());
    auto parent = MakeParent({0, 0, 200, 100});
    ASSERT_NE(parent, nullptr);
    {
        CWndShadow shadow;
        shadow.CreateShadow(parent.get());
    }
    // The hook stays in the chain but finds no object and passes everything on.
    parent->MoveWindow({10, 10, 300, 200});
    parent->CallProcedure(platform::WM_PAINT, 0, 0);
    parent->Show(false);
    platform::PumpEvents();
    SUCCEED();
}

// Children must not hold the test's output open after it ends.
void SilenceOutput() {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
}

// A child process, ended by its pid.
struct Process {
    pid_t pid = -1;
    ~Process() { Stop(); }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
};

// Starts a private X server, which ends with its last client, and returns its display name ("" on
// failure).
std::string StartXvfb(Process& server) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    server.pid = fork();
    if (server.pid == 0) {
        close(fds[0]);
        SilenceOutput();
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-terminate", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    return number.empty() ? std::string() : ":" + number;
}

TEST(ShadowCompositionTest, StartingAndStoppingACompositorSwitchesThePath) {
    Process server;
    const std::string display = StartXvfb(server);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_TRUE(platform::InitializeUi());
    // From now on the server ends by itself (-terminate) when this process lets go of it;
    // killing it under a live connection would end this process too.
    server.pid = -1;
    ASSERT_TRUE(CWndShadow::InitShadowClass());
    auto parent = MakeParent({50, 50, 600, 422});
    ASSERT_NE(parent, nullptr);
    CWndShadow shadow;
    shadow.CreateShadow(parent.get());
    ASSERT_NE(shadow.m_hShadow, nullptr);
    EXPECT_FALSE(platform::Window::CompositionEnabled());
    EXPECT_EQ(shadow.m_status & CWndShadow::CompositionActive, 0);

    Process compositor;
    compositor.pid = fork();
    if (compositor.pid == 0) {
        SilenceOutput();
        execlp("xcompmgr", "xcompmgr", "-d", display.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(PumpUntil([&] { return (shadow.m_status & CWndShadow::CompositionActive) != 0; }))
        << "no composition change arrived";
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowVisible, CWndShadow::ShadowVisible);
    EXPECT_TRUE(shadow.m_hShadow->IsVisible());
    // While composited, hiding the parent leaves the shadow alone.
    parent->Show(false);
    EXPECT_EQ(shadow.m_status & CWndShadow::ShadowVisible, CWndShadow::ShadowVisible);
    parent->Show(true);

    compositor.Stop();
    EXPECT_TRUE(PumpUntil([&] { return (shadow.m_status & CWndShadow::CompositionActive) == 0; }));
    parent.reset();
}

}  // namespace
