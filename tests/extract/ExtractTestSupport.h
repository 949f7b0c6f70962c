// Helpers of the extraction tests: throw-away folders, real archives made by 7zz, trees
// compared file by file, the extraction log captured from standard output.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extract/ExtractArchive.h"

extern char** environ;

namespace extract_test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "orvik-extract-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ec;
        // Read-only folders made by a test would stop the removal.
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

// Runs a program found on PATH with its output discarded; its exit status, or -1.
inline int RunProgram(const std::vector<std::string>& args, const std::string& workDir = {}) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    }
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// `7zz a` of `inputs` (relative to `workDir`) into `archive`, with extra switches.
inline void Make7z(const std::string& archive, const std::string& workDir,
                   const std::vector<std::string>& inputs,
                   const std::vector<std::string>& switches = {}) {
    std::vector<std::string> args = {"7zz", "a", "-bso0", "-bsp0", "-y", archive};
    args.insert(args.end(), switches.begin(), switches.end());
    args.insert(args.end(), inputs.begin(), inputs.end());
    ASSERT_EQ(RunProgram(args, workDir), 0) << "7zz a " << archive;
}

// `7zz rn`: renames one entry of the archive, which gives names 7zz would never store.
inline void Rename7z(const std::string& archive, const std::string& from, const std::string& to) {
    ASSERT_EQ(RunProgram({"7zz", "rn", "-bso0", "-bsp0", archive, from, to}), 0) << "7zz rn";
}

inline void WriteFile(const fs::path& path, const std::string& content, mode_t mode = 0644) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    ::chmod(path.c_str(), mode);
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline mode_t Permissions(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Deterministic data that compresses, but not to nothing: words from a small vocabulary
// chosen by a xorshift generator, with runs of x86 and ARM branch opcodes mixed in so that
// the branch filters have calls to convert.
inline std::string MakeData(std::size_t size, std::uint64_t seed) {
    std::string data;
    data.reserve(size + 16);
    std::uint64_t s = seed | 1;
    const auto next = [&s] {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    };
    while (data.size() < size) {
        const std::uint64_t r = next();
        switch (r % 8) {
            case 0:  // x86 call rel32
                data += '\xE8';
                for (int i = 0; i < 4; ++i) {
                    data += static_cast<char>(next() & (i == 3 ? 0x00 : 0xFF));
                }
                break;
            case 1:  // ARM BL
                for (int i = 0; i < 3; ++i) {
                    data += static_cast<char>(next() & 0xFF);
                }
                data += '\xEB';
                break;
            default:
                for (unsigned len = 2 + (r >> 8) % 7; len > 0; --len) {
                    data += static_cast<char>('a' + (r >> (len * 3)) % 12);
                }
                data += (r >> 40) % 11 == 0 ? '\n' : ' ';
                break;
        }
    }
    data.resize(size);
    return data;
}

// Every file, folder and link under `root`, by relative path: its kind, permissions and
// content (a link's target).
inline std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        const std::string rel = fs::relative(p, root).string();
        std::ostringstream desc;
        desc << std::oct << Permissions(p) << ' ';
        if (it->is_symlink()) {
            desc << "link " << fs::read_symlink(p).string();
        } else if (it->is_directory()) {
            desc << "folder";
        } else if (it->is_regular_file()) {
            desc << "file " << ReadFile(p);
        } else {
            desc << "other";
        }
        tree[rel] = desc.str();
    }
    return tree;
}

// The paths where two trees differ, for a readable failure message; empty when they match.
inline std::string TreeDifference(const std::map<std::string, std::string>& ours,
                                  const std::map<std::string, std::string>& theirs) {
    std::string diff;
    for (const auto& [path, desc] : ours) {
        const auto it = theirs.find(path);
        if (it == theirs.end()) {
            diff += "only ours: " + path + "\n";
        } else if (it->second != desc) {
            diff += "differs: " + path + " (" + desc.substr(0, 40) + " / " +
                    it->second.substr(0, 40) + ")\n";
        }
    }
    for (const auto& entry : theirs) {
        if (!ours.contains(entry.first)) {
            diff += "only theirs: " + entry.first + "\n";
        }
    }
    return diff;
}

// `7zz x` of `archive` into `folder`: the reference extraction.
inline void Reference7z(const std::string& archive, const std::string& folder) {
    ASSERT_EQ(RunProgram({"7zz", "x", "-bso0", "-bsp0", "-y", "-o" + folder, archive}), 0)
        << "7zz x " << archive;
}

struct Outcome {
    int result = 0;
    std::string log;
};

// ExtractArchive with its standard output captured.
inline Outcome Extract(const char* archive, const std::string& folder,
                       platform::Window* window = nullptr) {
    testing::internal::CaptureStdout();
    Outcome outcome;
    outcome.result = ExtractArchive(archive, folder, window);
    outcome.log = testing::internal::GetCapturedStdout();
    return outcome;
}

inline Outcome Extract(const std::string& archive, const std::string& folder) {
    return Extract(archive.c_str(), folder);
}

// The log after its banner, whose wording is free.
inline std::string LogBody(const std::string& log) {
    const std::size_t start = log.find("\n\n");
    return start == std::string::npos ? log : log.substr(start + 2);
}

}  // namespace extract_test
