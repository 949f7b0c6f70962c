#include "app/RunningClient.h"

#include <unistd.h>

int CloseClientProcesses(const std::vector<platform::ProcessEntry>& processes,
                         const AskCloseClient& ask) {
    const int self = static_cast<int>(getpid());
    for (const platform::ProcessEntry& process : processes) {
        if (process.name != kClientProcessName || process.pid == self) {
            continue;
        }
        if (ask() != 1) {
            return 0;
        }
        if (platform::TerminateProcess(process.pid)) {
            platform::WaitForProcessEnd(process.pid, kClientEndWait);
        }
    }
    return 1;
}

int CloseRunningClientProcesses(const AskCloseClient& ask) {
    return CloseClientProcesses(platform::ListProcesses(), ask);
}
