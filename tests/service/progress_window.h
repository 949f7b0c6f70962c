// A real, hidden top-level window that records the WM_INSTALL_PROGRESS values it receives,
// and a way to run work on another thread while this (the UI) thread keeps handling messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/messages.h"
#include "platform/window.h"

namespace service_test {

class ProgressWindow {
public:
    // Starts the UI on the calling thread when needed; Window() is null without a display.
    ProgressWindow();
    ~ProgressWindow();

    platform::Window* Window() const { return m_window.get(); }
    std::vector<std::uintptr_t> Values() const;
    void Clear();

    // Runs `work` on a new thread and handles messages here until it has returned.
    void RunOnWorker(const std::function<void()>& work);

private:
    mutable std::mutex m_mutex;
    std::vector<std::uintptr_t> m_values;
    std::unique_ptr<platform::Window> m_window;
};

inline ProgressWindow::ProgressWindow() {
    // No accessibility bridge: its bus connection is never freed and only adds noise to the
    // leak checker.
    static const bool ui = (::setenv("NO_AT_BRIDGE", "1", 0), platform::InitializeUi());
    if (!ui) {
        return;
    }
    platform::WindowOptions options;
    options.title = "progress";
    options.rect = {0, 0, 200, 100};
    m_window = platform::Window::Create(
        options,
        [this](platform::Window& window, unsigned msg, std::uintptr_t wParam,
               std::intptr_t lParam) -> std::intptr_t {
            if (msg == WM_INSTALL_PROGRESS) {
                std::lock_guard lock(m_mutex);
                m_values.push_back(wParam);
                return 0;
            }
            return window.DefaultProc(msg, wParam, lParam);
        });
}

inline ProgressWindow::~ProgressWindow() {
    m_window.reset();
    platform::PumpEvents();
}

inline std::vector<std::uintptr_t> ProgressWindow::Values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

inline void ProgressWindow::Clear() {
    std::lock_guard lock(m_mutex);
    m_values.clear();
}

inline void ProgressWindow::RunOnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        platform::PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    platform::PumpEvents();
}

}  // namespace service_test
