#include "platform/launcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::ProcessState;
using orvik::test::ReadFileBytes;
using orvik::test::RunInChild;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

bool WaitForFile(const fs::path& path) {
    for (int i = 0; i < 400; ++i) {
        if (fs::exists(path) && !ReadFileBytes(path).empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Reports its pid, working directory and argument count, then stays.
fs::path MakeProgram(const Sandbox& sandbox, const std::string& name, const std::string& tail) {
    const fs::path program = sandbox.Root() / name;
    const std::string root = sandbox.Root().string();
    WriteFileBytes(program, "#!/bin/sh\npwd > '" + root + "/cwd'\necho $# > '" + root +
                                "/argc'\necho $$ > '" + root + "/pid.tmp'\nmv '" + root +
                                "/pid.tmp' '" + root + "/pid'\n" + tail);
    fs::permissions(program, fs::perms::owner_all);
    return program;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

// Fields of /proc/<pid>/stat after the command name: state ppid pgrp session ...
std::vector<long> StatFields(pid_t pid) {
    const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string state;
    in >> state;
    std::vector<long> fields;
    for (long v = 0; in >> v && fields.size() < 3;) {
        fields.push_back(v);
    }
    return fields;
}

TEST(Launcher, ProgramOutlivesTheProcessThatStartedIt) {
    Sandbox sandbox;
    const fs::path program = MakeProgram(sandbox, "client program", "exec sleep 60\n");
    const fs::path workdir = sandbox.Root() / "work dir";
    fs::create_directories(workdir);

    const int started = RunInChild([&] {
        if (chdir(workdir.c_str()) != 0) {
            return 2;
        }
        // A descriptor the starter forgot to mark close-on-exec.
        if (open("/dev/null", O_RDONLY) < 0) {
            return 3;
        }
        return platform::StartDetached(program.string()) ? 0 : 1;
    });
    ASSERT_EQ(started, 0);  // the starter has exited now
    ASSERT_TRUE(WaitForFile(sandbox.Root() / "pid"));
    const pid_t pid = std::stoi(ReadFileBytes(sandbox.Root() / "pid"));

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const char state = ProcessState(pid);
    EXPECT_TRUE(state == 'S' || state == 'R') << state;
    const std::vector<long> fields = StatFields(pid);
    ASSERT_EQ(fields.size(), 3U);
    EXPECT_NE(fields[0], getpid());   // not our child
    EXPECT_NE(fields[2], getsid(0));  // in a session of its own
    EXPECT_EQ(Trimmed(ReadFileBytes(sandbox.Root() / "cwd")), workdir.string());
    EXPECT_EQ(Trimmed(ReadFileBytes(sandbox.Root() / "argc")), "0");
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        EXPECT_LE(std::stoi(fd.path().filename().string()), 2) << "descriptor leaked";
    }
    kill(pid, SIGKILL);
}

TEST(Launcher, LeavesNothingToReap) {
    Sandbox sandbox;
    const fs::path program = MakeProgram(sandbox, "quick", "exit 0\n");
    ASSERT_TRUE(platform::StartDetached(program.string()));
    ASSERT_TRUE(WaitForFile(sandbox.Root() / "pid"));
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(Launcher, ReportsWhatCannotStart) {
    Sandbox sandbox;
    const fs::path plain = sandbox.Root() / "not-executable";
    WriteFileBytes(plain, "#!/bin/sh\n");
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    for (const std::string& path : {std::string(), (sandbox.Root() / "missing").string(),
                                    plain.string(), sandbox.Root().string()}) {
        EXPECT_FALSE(platform::StartDetached(path)) << path;
    }
}

}  // namespace
