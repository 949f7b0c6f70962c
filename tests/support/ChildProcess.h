// Real processes for tests: a copy of sleep(1) under a chosen file name, so the process's
// command name is that name.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace orvik::test {

class NamedProcess {
public:
    // Copies /bin/sleep to folder/name and starts it for `seconds`.
    NamedProcess(const std::filesystem::path& folder, const std::string& name, int seconds = 60);
    // Kills and reaps the process if it still runs.
    ~NamedProcess();
    NamedProcess(const NamedProcess&) = delete;
    NamedProcess& operator=(const NamedProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // True while the process has not ended (a zombie counts as ended).
    bool Alive() const;
    // Reaps it; true when it died of SIGKILL.
    bool WaitKilled();

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
};

// The state letter of /proc/<pid>/stat ('\0' when the process is gone).
char ProcessState(pid_t pid);

}  // namespace orvik::test
