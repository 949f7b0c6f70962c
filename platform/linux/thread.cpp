// platform::Thread over std::thread, with the exit code a caller can poll.
#include "platform/thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace platform {

struct Thread::State {
    std::atomic<int> exitCode{kStillActive};
    std::atomic<bool> running{true};
};

struct Thread::Handle {
    std::thread thread;
};

std::unique_ptr<Thread> Thread::Start(std::function<int()> body) {
    std::unique_ptr<Thread> thread(new Thread());
    thread->m_state = std::make_shared<State>();
    thread->m_handle = std::make_unique<Handle>();
    // The state is shared, so a detached thread can still finish after the object is gone.
    std::shared_ptr<State> state = thread->m_state;
    try {
        thread->m_handle->thread = std::thread([state, body = std::move(body)] {
            int code = -1;
            try {
                code = body ? body() : 0;
            } catch (...) {
                code = -1;  // nothing may leave the thread
            }
            state->exitCode.store(code);
            state->running.store(false);
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return thread;
}

int Thread::ExitCode() const {
    return m_state->exitCode.load();
}

bool Thread::IsRunning() const {
    return m_state->running.load();
}

Thread::~Thread() {
    if (!m_handle || !m_handle->thread.joinable()) {
        return;
    }
    if (m_state->running.load()) {
        m_handle->thread.detach();
    } else {
        m_handle->thread.join();
    }
}

}  // namespace platform
