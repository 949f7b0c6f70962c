#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::Thread;

bool WaitFor(const Thread& t) {
    for (int i = 0; i < 500 && t.IsRunning(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return !t.IsRunning();
}

struct ExitCase {
    const char* name;
    std::function<int()> body;
    int code;
    friend void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }
};

class ThreadExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ThreadExit, ReportsTheBodysResult) {
    auto t = Thread::Start(GetParam().body);
    ASSERT_TRUE(t);
    ASSERT_TRUE(WaitFor(*t));
    EXPECT_EQ(t->ExitCode(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ThreadExit,
    ::testing::Values(ExitCase{"Zero", [] { return 0; }, 0},
                      ExitCase{"Seventeen", [] { return 17; }, 17},
                      ExitCase{"Throws", []() -> int { throw std::runtime_error("x"); }, -1}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(Thread, IsStillActiveWhileRunningAndADroppedRunningThreadFinishesOnItsOwn) {
    std::atomic<bool> release{false};
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto t = Thread::Start([&release, finished] {
        while (!release.load()) {
            std::this_thread::sleep_for(1ms);
        }
        finished->store(true);
        return 3;
    });
    ASSERT_TRUE(t);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(t->ExitCode(), Thread::kStillActive);
    EXPECT_TRUE(t->IsRunning());
    const auto start = std::chrono::steady_clock::now();
    t.reset();  // detaches: must not wait for the body
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    release = true;
    for (int i = 0; i < 500 && !finished->load(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(finished->load());
}

}  // namespace
