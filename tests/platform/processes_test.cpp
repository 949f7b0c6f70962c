#include "platform/processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"

namespace {
using orvik::test::NamedProcess;
using orvik::test::ProcessState;
using orvik::test::RunInChild;
using orvik::test::Sandbox;

std::optional<std::string> NameOf(int pid) {
    for (const auto& p : platform::ListProcesses()) {
        if (p.pid == pid) {
            return p.name;
        }
    }
    return std::nullopt;
}

TEST(Processes, ListsLiveProcessesByCommandName) {
    Sandbox sandbox;
    NamedProcess shortName(sandbox.Root(), "orvik-ptest.exe");
    NamedProcess longName(sandbox.Root(), "orvik-process-with-a-long-name");
    const auto list = platform::ListProcesses();
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                               [](const auto& a, const auto& b) { return a.pid < b.pid; }));
    EXPECT_EQ(NameOf(shortName.Pid()), "orvik-ptest.exe");
    EXPECT_EQ(NameOf(longName.Pid()), "orvik-process-w");  // the kernel keeps 15 bytes
    EXPECT_TRUE(NameOf(getpid()).has_value());
}

TEST(Processes, EndedButUnreapedProcessesAreNotListed) {
    Sandbox sandbox;
    NamedProcess child(sandbox.Root(), "orvik-zombie");
    ASSERT_EQ(kill(child.Pid(), SIGKILL), 0);
    for (int i = 0; i < 200 && ProcessState(child.Pid()) != 'Z'; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(ProcessState(child.Pid()), 'Z');
    EXPECT_EQ(NameOf(child.Pid()), std::nullopt);
}

TEST(Processes, TerminateKillsAtOnce) {
    Sandbox sandbox;
    NamedProcess child(sandbox.Root(), "orvik-victim");
    EXPECT_TRUE(platform::TerminateProcess(child.Pid()));
    EXPECT_TRUE(child.WaitKilled());
    EXPECT_FALSE(platform::TerminateProcess(child.Pid()));  // gone
    EXPECT_FALSE(platform::TerminateProcess(0));            // never the process group
    EXPECT_FALSE(platform::TerminateProcess(-1));           // never every process
}

TEST(Processes, WaitForProcessEndReturnsOnceItHasEnded) {
    Sandbox sandbox;
    NamedProcess child(sandbox.Root(), "orvik-waited");
    EXPECT_FALSE(platform::WaitForProcessEnd(child.Pid(), std::chrono::milliseconds(50)));
    ASSERT_TRUE(platform::TerminateProcess(child.Pid()));
    EXPECT_TRUE(platform::WaitForProcessEnd(child.Pid(), std::chrono::seconds(5)));
    EXPECT_EQ(ProcessState(child.Pid()), 'Z');  // not reaped by the wait
    EXPECT_TRUE(child.WaitKilled());
    EXPECT_TRUE(platform::WaitForProcessEnd(child.Pid(), std::chrono::milliseconds(0)));  // gone
}

TEST(Processes, AnotherUsersProcessIsPassedOver) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs a process of another user: run as root";
    }
    Sandbox sandbox;
    NamedProcess child(sandbox.Root(), "orvik-rootproc");
    const pid_t pid = child.Pid();
    const int result = RunInChild([pid] { return platform::TerminateProcess(pid) ? 1 : 0; },
                                  /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(child.Alive());
}

}  // namespace
