#include "tests/support/ChildProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/Sandbox.h"

extern char** environ;

namespace orvik::test {
namespace fs = std::filesystem;

NamedProcess::NamedProcess(const fs::path& folder, const std::string& name, int seconds) {
    fs::create_directories(folder);
    const fs::path exe = folder / name;
    if (!fs::exists(exe)) {
        fs::copy_file("/bin/sleep", exe);
        fs::permissions(exe, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    }
    const std::string secs = std::to_string(seconds);
    std::string path = exe.string();
    char* argv[] = {path.data(), const_cast<char*>(secs.c_str()), nullptr};
    if (posix_spawn(&m_pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        throw std::runtime_error("cannot start " + path);
    }
    // The command name changes from the parent's to the new one at exec.
    const std::string commPath = "/proc/" + std::to_string(m_pid) + "/comm";
    for (int i = 0; i < 200; ++i) {
        std::string comm = ReadFileBytes(commPath);
        if (!comm.empty() && comm.back() == '\n') {
            comm.pop_back();
        }
        if (comm == name.substr(0, 15)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

NamedProcess::~NamedProcess() {
    if (!m_reaped && m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

bool NamedProcess::Alive() const {
    const char state = ProcessState(m_pid);
    return state != '\0' && state != 'Z' && state != 'X';
}

bool NamedProcess::WaitKilled() {
    int status = 0;
    if (m_reaped || waitpid(m_pid, &status, 0) != m_pid) {
        return false;
    }
    m_reaped = true;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

char ProcessState(pid_t pid) {
    const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return '\0';
    }
    return stat[close + 2];
}

}  // namespace orvik::test
