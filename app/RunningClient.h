// Closing running client processes before their files are replaced.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "platform/processes.h"

// The client's process name, compared exactly (case-sensitive).
inline constexpr const char* kClientProcessName = "ovClient.exe";

// Asks the user whether a running client may be closed; returns the dialog's result
// (1 = continue).
using AskCloseClient = std::function<int()>;

// How long a terminated client may take to end before the walk goes on regardless.
inline constexpr std::chrono::milliseconds kClientEndWait{5000};

// Walks `processes` in order. For each one named "ovClient.exe" (never the calling process
// itself) it asks once; a confirmed one is terminated (a failure to do so is passed over), a
// refusal stops the walk. Returns 1 when nothing ran or every found client was confirmed, 0
// when the user refused (clients confirmed before stay terminated). A terminated client has
// ended before the walk returns (or kClientEndWait has passed): while it still runs its
// executable cannot be overwritten, and the extraction right after would fail.
int CloseClientProcesses(const std::vector<platform::ProcessEntry>& processes,
                         const AskCloseClient& ask);

// The same walk over the processes running now.
int CloseRunningClientProcesses(const AskCloseClient& ask);
