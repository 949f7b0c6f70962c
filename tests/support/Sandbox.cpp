#include "tests/support/Sandbox.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvik::test {
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

void SetOrUnset(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

}  // namespace

Sandbox::Sandbox(bool withDesktop) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/orvik-sandbox-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a sandbox folder");
    }
    m_root = pattern;
    fs::create_directories(ConfigHome());
    fs::create_directories(DataHome());
    if (withDesktop) {
        fs::create_directories(Desktop());
    }
    WriteFileBytes(ConfigHome() / "user-dirs.dirs",
                   "XDG_DESKTOP_DIR=\"$HOME/" + Desktop().filename().string() + "\"\n");

    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* value = std::getenv(name);
        m_saved.emplace_back(name,
                             value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", Home().c_str(), 1);
    setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
    setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
}

Sandbox::~Sandbox() {
    for (const auto& [name, value] : m_saved) {
        SetOrUnset(name, value);
    }
    // Tests make folders read-only; give them back their write bit so they can be removed.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             m_root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_root, ec);
}

void Sandbox::GiveToUnprivilegedUser() const {
    if (geteuid() != 0) {
        return;
    }
    std::error_code ec;
    if (lchown(m_root.c_str(), kNobody, kNogroup) != 0) {
        return;
    }
    for (auto it = fs::recursive_directory_iterator(m_root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (lchown(it->path().c_str(), kNobody, kNogroup) != 0) {
            continue;
        }
    }
}

int RunInChild(const std::function<int()>& body, bool unprivileged) {
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        if (unprivileged && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0) {
                _exit(254);
            }
        }
        _exit(body() & 0xFF);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace orvik::test
