#include "platform/linux/xdg_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform::xdg {
namespace {

std::string WithoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string AbsoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};  // unset, empty or relative: the specification says to ignore it
    }
    return WithoutFinalSlash(value);
}

}  // namespace

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return WithoutFinalSlash(home);
    }
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return WithoutFinalSlash(found->pw_dir);
    }
    return "/";
}

std::string ConfigHome() {
    std::string dir = AbsoluteFromEnv("XDG_CONFIG_HOME");
    return dir.empty() ? HomeDir() + "/.config" : dir;
}

std::string DataHome() {
    std::string dir = AbsoluteFromEnv("XDG_DATA_HOME");
    return dir.empty() ? HomeDir() + "/.local/share" : dir;
}

}  // namespace platform::xdg
