// Where the running program file lies.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The absolute path of the running executable, symbolic links resolved; nothing when the
// system does not say. Any thread.
std::optional<std::string> ProgramPath();

}  // namespace platform
