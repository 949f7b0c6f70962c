#include "service/DownloadProgress.h"

#include <cmath>
#include <limits>

#include "platform/messages.h"
#include "platform/window.h"

unsigned CDownloadProgress::Percentage(std::uint64_t done, std::uint64_t expected) {
    if (expected == 0) {
        return 0;
    }
    const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(expected);
    // Not clamped at 100, only kept inside the type (a server may send far more than it said).
    constexpr double kMax = static_cast<double>(std::numeric_limits<unsigned>::max());
    return percent >= kMax ? std::numeric_limits<unsigned>::max()
                           : static_cast<unsigned>(std::trunc(percent));
}

int CDownloadProgress::OnProgress(std::uint64_t done, std::uint64_t expected) {
    if (m_window == nullptr) {
        return kNoWindow;
    }
    if (expected == 0) {
        return kOk;
    }
    m_window->Send(WM_INSTALL_PROGRESS, Percentage(done, expected), 0);
    return kOk;
}
