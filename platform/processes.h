// The running processes, by the name the kernel keeps for each.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
    int pid = 0;
    // The process's command name (/proc/<pid>/comm): the executable's file name, cut to its
    // first 15 bytes by the kernel.
    std::string name;
};

// Every live process the caller can see, in ascending pid order. Processes that have ended
// but are not yet reaped (zombies) are left out; entries that vanish while the list is read
// are passed over.
std::vector<ProcessEntry> ListProcesses();

// Ends the process at once (SIGKILL) without waiting for it. False when it cannot be
// signalled (gone, or another user's).
bool TerminateProcess(int pid);

// Waits until the process has ended (gone, or a zombie: its memory and open files, its
// executable among them, are released by then), polling every 10 ms for at most `timeout`.
// True when it ended in time.
bool WaitForProcessEnd(int pid, std::chrono::milliseconds timeout);

}  // namespace platform
