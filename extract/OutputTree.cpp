#include "extract/OutputTree.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace extract {

namespace {

constexpr mode_t kFolderMode = 0755;
constexpr mode_t kFileMode = 0666;
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// O_NONBLOCK: a FIFO standing at the target path fails instead of blocking the install.
constexpr int kFileFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// The levels of `path` separated by '/', without empty and "." levels, which name the
// folder they are in.
template <typename Fn>
void ForEachLevel(std::string_view path, Fn&& fn) {
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view level = path.substr(0, slash);
        if (!level.empty() && level != ".") {
            fn(level);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

OutputTree::OutputTree(const std::string& folder)
    : m_root(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

bool OutputTree::IsSafeName(std::string_view name) {
    if (!name.empty() && name.front() == '/') {
        return false;
    }
    bool safe = true;
    ForEachLevel(name, [&](std::string_view level) {
        if (level == "..") {
            safe = false;
        }
    });
    return safe;
}

int OutputTree::MakeParents(std::string_view name, std::string_view& leaf) {
    const std::size_t slash = name.rfind('/');
    leaf = slash == std::string_view::npos ? name : name.substr(slash + 1);
    const std::string_view parents =
        slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);

    std::size_t depth = 0;
    bool reached = true;
    ForEachLevel(parents, [&](std::string_view level) {
        if (!reached) {
            return;
        }
        if (depth < m_chain.size() && m_chain[depth].name == level) {
            ++depth;
            return;
        }
        m_chain.resize(depth);
        const int parent = depth == 0 ? m_root.Get() : m_chain[depth - 1].fd.Get();
        const std::string levelName(level);
        ::mkdirat(parent, levelName.c_str(), kFolderMode);
        UniqueFd fd(::openat(parent, levelName.c_str(), kFolderFlags));
        if (!fd.Valid()) {
            reached = false;
            return;
        }
        m_chain.push_back(Level{levelName, std::move(fd)});
        ++depth;
    });
    if (!reached) {
        return -1;
    }
    m_chain.resize(depth);
    return depth == 0 ? m_root.Get() : m_chain[depth - 1].fd.Get();
}

void OutputTree::MakeFolder(std::string_view name) {
    std::string_view leaf;
    const int parent = MakeParents(name, leaf);
    if (parent >= 0 && !leaf.empty()) {
        ::mkdirat(parent, std::string(leaf).c_str(), kFolderMode);
    }
}

UniqueFd OutputTree::CreateFile(std::string_view name, int& parent, std::string_view& leaf) {
    parent = MakeParents(name, leaf);
    if (parent < 0 || leaf.empty()) {
        return UniqueFd();
    }
    const std::string leafName(leaf);
    UniqueFd fd(::openat(parent, leafName.c_str(), kFileFlags | O_TRUNC, kFileMode));
    if (!fd.Valid() && errno == ELOOP) {
        struct stat st {};
        if (::fstatat(parent, leafName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode) && ::unlinkat(parent, leafName.c_str(), 0) == 0) {
            fd.Reset(::openat(parent, leafName.c_str(), kFileFlags | O_EXCL, kFileMode));
        }
    }
    if (!fd.Valid()) {
        return fd;
    }
    // Only a regular file is written: a device or FIFO already standing there is refused.
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return UniqueFd();
    }
    return fd;
}

}  // namespace extract
