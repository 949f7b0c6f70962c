// Starting another program, detached from the installer.
#pragma once

#include <string>

namespace platform {

// Starts the executable at `path` with no arguments in its own session, inheriting the
// working directory and the environment. The program keeps running after the caller exits
// and is never the caller's child (nothing is left to reap). True when it was started, false
// when it could not be (missing, not executable, no process could be made). Any thread.
bool StartDetached(const std::string& path);

}  // namespace platform
