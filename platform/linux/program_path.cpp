// The running executable's path from /proc.
#include "platform/program_path.h"

#include <unistd.h>

#include <vector>

namespace platform {

std::optional<std::string> ProgramPath() {
    // readlink does not say how long the target is; grow until it fits.
    for (std::size_t size = 256; size <= 1 << 16; size *= 2) {
        std::vector<char> buffer(size);
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    return std::nullopt;
}

}  // namespace platform
