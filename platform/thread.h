// A worker thread with "still running" and an exit code, so a caller can poll it.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Thread {
public:
    static constexpr int kStillActive = 259;

    // Starts `body` at once on a new thread; its return value becomes the exit code (an
    // exception leaving `body` gives -1). nullptr when no thread can be created.
    static std::unique_ptr<Thread> Start(std::function<int()> body);

    // kStillActive while the body runs, then its result. Any thread.
    int ExitCode() const;
    bool IsRunning() const;

    // Joins a finished thread; a thread still running is detached and ends on its own.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    struct State;

private:
    Thread() = default;
    std::shared_ptr<State> m_state;
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

}  // namespace platform
