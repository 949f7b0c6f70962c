// Progress of one package download, reported to the main window as WM_INSTALL_PROGRESS.
#pragma once

#include <cstdint>

namespace platform {
class Window;
}

class CDownloadProgress {
public:
    static constexpr int kOk = 0;        // reported (or nothing to report)
    static constexpr int kNoWindow = 1;  // no window is bound

    explicit CDownloadProgress(platform::Window* window) : m_window(window) {}

    // Sends done * 100 / expected (truncated, not clamped: more done than expected gives
    // more than 100) synchronously to the window; sends nothing while expected is 0.
    // Never asks to cancel. Counts are 64-bit, so packages past 4 GiB report sensibly.
    int OnProgress(std::uint64_t done, std::uint64_t expected);

    // The percentage OnProgress sends.
    static unsigned Percentage(std::uint64_t done, std::uint64_t expected);

    platform::Window* m_window;  // the main window; not owned
};
