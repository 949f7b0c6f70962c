#include "platform/processes.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <thread>

namespace platform {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The state letter follows the command name in parentheses, which may itself hold ')'.
bool IsZombie(int pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) {
        return true;  // gone while being read
    }
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X';
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> processes;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return processes;
    }
    while (const dirent* entry = readdir(proc)) {
        const char* name = entry->d_name;
        const char* end = name + std::char_traits<char>::length(name);
        int pid = 0;
        const auto [ptr, ec] = std::from_chars(name, end, pid);
        if (ec != std::errc() || ptr != end || pid <= 0) {
            continue;
        }
        std::string comm = ReadAll("/proc/" + std::to_string(pid) + "/comm");
        if (comm.empty() || IsZombie(pid)) {
            continue;
        }
        if (comm.back() == '\n') {
            comm.pop_back();
        }
        processes.push_back({pid, std::move(comm)});
    }
    closedir(proc);
    std::sort(processes.begin(), processes.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    return processes;
}

bool TerminateProcess(int pid) {
    return pid > 0 && kill(pid, SIGKILL) == 0;
}

bool WaitForProcessEnd(int pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid > 0 && !IsZombie(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace platform
