// Shared by the window-layer tests. Each test process runs on an X server of its own
// (Xvfb started here), so real pointer and key events, focus, read-back of screen pixels and
// compositing managers never meet the windows of tests running beside it.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace test {

// A child process killed when this object goes (and with the test process itself).
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Stop(); }

    // Starts argv; with `output`, its standard output is returned as a readable fd.
    bool Start(const std::vector<std::string>& argv, int* output = nullptr) {
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                              G_SPAWN_STDERR_TO_DEV_NULL);
        return g_spawn_async_with_pipes(
            nullptr, args.data(), nullptr, flags,
            [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, &m_pid, nullptr, output,
            nullptr, nullptr);
    }

    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
            g_spawn_close_pid(m_pid);
            m_pid = 0;
        }
    }

private:
    GPid m_pid = 0;
};

// Starts a private Xvfb, points DISPLAY at it and starts the toolkit; once per process.
inline void StartUi() {
    static bool started = [] {
        static ChildProcess server;
        int out = -1;
        if (!server.Start({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                           "tcp", "-noreset"},
                          &out)) {
            return false;
        }
        std::string number;
        char c = 0;
        while (read(out, &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(out);
        if (number.empty()) {
            return false;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return platform::InitializeUi();
    }();
    ASSERT_TRUE(started) << "no private X server";
}

// Runs the loop until `done` holds or `timeoutMs` has passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return true;
}

inline void PumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    PumpUntil([&] { return std::chrono::steady_clock::now() > end; }, ms + 1000);
}

// Runs a command line tool (xdotool) to its end.
inline bool RunTool(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int status = 0;
    return g_spawn_sync(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                        nullptr, nullptr, &status, nullptr) &&
           g_spawn_check_wait_status(status, nullptr);
}

// A procedure that records every message and answers from a table of handlers.
struct Message {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Message&) const = default;
};

// Window options without designated initializers (the warnings flag skipped members).
inline platform::WindowOptions Options(platform::Rect rect, bool visible = false,
                                       platform::WindowKind kind = platform::WindowKind::TopLevel,
                                       platform::Window* owner = nullptr) {
    platform::WindowOptions options;
    options.rect = rect;
    options.visible = visible;
    options.kind = kind;
    options.owner = owner;
    return options;
}

inline bool IsMapped(const platform::Window& w) {
    return gtk_widget_get_mapped(static_cast<GtkWidget*>(w.NativeHandle()));
}

}  // namespace test
