// A throw-away home for tests: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME point into a fresh
// temporary folder, with a desktop folder named in user-dirs.dirs. The previous environment
// comes back and the folder is removed when the sandbox goes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvik::test {

class Sandbox {
public:
    // `withDesktop`: create the desktop folder that user-dirs.dirs names (it is named either
    // way).
    explicit Sandbox(bool withDesktop = true);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Home() const { return m_root / "home"; }
    std::filesystem::path ConfigHome() const { return Home() / ".config"; }
    std::filesystem::path DataHome() const { return Home() / ".local" / "share"; }
    // Deliberately not "Desktop", so only a reader of user-dirs.dirs finds it.
    std::filesystem::path Desktop() const { return Home() / "桌面"; }

    // Hands the whole sandbox to the unprivileged user RunInChild switches to.
    void GiveToUnprivilegedUser() const;

private:
    std::filesystem::path m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Runs `body` in a forked child and returns its result (0..255), or -1 when the child did not
// exit normally. GLib keeps the home and user folders it first saw for the life of a process,
// so code that asks GLib for them must run here after the environment changed. With
// `unprivileged`, a child of root switches to the user "nobody" first (root ignores
// permission bits); see Sandbox::GiveToUnprivilegedUser.
int RunInChild(const std::function<int()>& body, bool unprivileged = false);

// The whole content of a file ("" when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace orvik::test
