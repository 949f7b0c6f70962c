// Closing running client processes before their files are replaced.
#pragma once

#include <functional>
#include <vector>

#include "platform/processes.h"

// The client's process name, compared exactly (case-sensitive).
inline constexpr const char* kClientProcessName = "ovClient.exe";

// Asks the user whether a running client may be closed; returns the dialog's result
// (1 = continue).
using AskCloseClient = std::function<int()>;

// Walks `processes` in order. For each one named "ovClient.exe" (never the calling process
// itself) it asks once; a confirmed one is terminated without waiting (a failure to do so is
// passed over), a refusal stops the walk. Returns 1 when nothing ran or every found client
// was confirmed, 0 when the user refused (clients confirmed before stay terminated).
int CloseClientProcesses(const std::vector<platform::ProcessEntry>& processes,
                         const AskCloseClient& ask);

// The same walk over the processes running now.
int CloseRunningClientProcesses(const AskCloseClient& ask);
