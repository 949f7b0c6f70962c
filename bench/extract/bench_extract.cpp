// Extraction speed and memory against the 7-Zip program on the same archives, in one run:
//   a 200 MB solid LZMA2 archive: time <= 1.25 x `7zz x -mmt1`, peak RSS <= 64 MB;
//   20,000 small files in nested folders: time <= 1.1 x `7zz x -mmt1` and <= `7zz x`.
// Every extraction runs in a fresh child process whose peak RSS comes from wait4. The
// archives are generated deterministically under /tmp/orvik-bench-extract and kept there for
// the next run. Exit status 1 when a target is missed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/ExtractArchive.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kWork = "/tmp/orvik-bench-extract";
constexpr int kRounds = 3;

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

// Runs argv in a child with its output discarded; wall time and peak RSS.
Measure RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            m.peakKb = usage.ru_maxrss;
        }
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return m;
}

// Compressible, not trivial: words of a fixed vocabulary picked by xorshift, lines of varied
// length and hexadecimal noise.
class TextSource {
public:
    explicit TextSource(std::uint64_t seed) : m_state(seed | 1) {
        for (int i = 0; i < 4096; ++i) {
            std::string word;
            for (int j = 0, n = 2 + i % 9; j < n; ++j) {
                word += static_cast<char>('a' + Next() % 26);
            }
            m_words.push_back(word);
        }
    }
    void Append(std::string& out, std::size_t size) {
        const std::size_t end = out.size() + size;
        while (out.size() < end) {
            const std::uint64_t r = Next();
            const std::size_t pick =
                (r >> 20) & 1 ? r % 4096 : (r % 4096) * ((r >> 12) % 64) % 4096;
            out += m_words[pick];
            out += (r >> 8) % 13 == 0 ? '\n' : ' ';
            if ((r >> 16) % 97 == 0) {
                for (int k = 0; k < 8; ++k) {
                    out += "0123456789abcdef"[(Next() >> 7) & 15];
                }
            }
        }
        out.resize(end);
    }

private:
    std::uint64_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    std::uint64_t m_state;
    std::vector<std::string> m_words;
};

bool Make7z(const fs::path& archive, const fs::path& source, const std::vector<std::string>& sw) {
    std::vector<std::string> args = {"7zz", "a", "-bso0", "-bsp0", "-y"};
    args.insert(args.end(), sw.begin(), sw.end());
    args.push_back(archive.string() + ".part");
    args.push_back(source.string() + "/.");
    fs::remove(archive.string() + ".part");
    if (!RunChild(args).ok) {
        return false;
    }
    fs::rename(archive.string() + ".part", archive);
    return true;
}

// 200 MB in ten files of one solid LZMA2 block.
fs::path SolidArchive() {
    const fs::path archive = kWork / "solid-200mb-v1.7z";
    if (fs::exists(archive)) {
        return archive;
    }
    std::printf("generating %s (takes minutes, kept for later runs)\n", archive.c_str());
    std::fflush(stdout);
    const fs::path src = kWork / "solid-src";
    fs::remove_all(src);
    fs::create_directories(src / "data");
    TextSource text(88172645463325252ull);
    for (int i = 0; i < 10; ++i) {
        std::ofstream file(src / "data" / ("part" + std::to_string(i) + ".txt"), std::ios::binary);
        for (int chunk = 0; chunk < 20; ++chunk) {
            std::string block;
            text.Append(block, 1000 * 1000);
            file << block;
        }
    }
    const bool made = Make7z(archive, src, {"-m0=LZMA2", "-mx=5", "-ms=on"});
    fs::remove_all(src);
    return made ? archive : fs::path();
}

// 20,000 files of 100 bytes to 6 kB, in 20 x 10 nested folders.
fs::path SmallFilesArchive() {
    const fs::path archive = kWork / "small-20000-v1.7z";
    if (fs::exists(archive)) {
        return archive;
    }
    std::printf("generating %s\n", archive.c_str());
    std::fflush(stdout);
    const fs::path src = kWork / "small-src";
    fs::remove_all(src);
    TextSource text(0x9E3779B97F4A7C15ull);
    int n = 0;
    for (int top = 0; top < 20; ++top) {
        for (int sub = 0; sub < 10; ++sub) {
            const fs::path folder =
                src / ("module" + std::to_string(top)) / ("part" + std::to_string(sub)) / "res";
            fs::create_directories(folder);
            for (int f = 0; f < 100; ++f, ++n) {
                std::string content;
                text.Append(content, 100 + (n * 7919) % 6000);
                std::ofstream(folder / ("file" + std::to_string(f) + ".txt"), std::ios::binary)
                    << content;
            }
        }
    }
    const bool made = Make7z(archive, src, {"-m0=LZMA2", "-mx=5", "-ms=on"});
    fs::remove_all(src);
    return made ? archive : fs::path();
}

struct Contender {
    const char* label;
    std::vector<std::string> args;  // "{out}" is replaced by the output folder
};

// The best of kRounds runs of each contender, interleaved so that they share the
// machine's state; the output folder is emptied between runs.
std::vector<Measure> Compare(const std::vector<Contender>& contenders) {
    std::vector<Measure> best(contenders.size());
    const fs::path out = kWork / "out";
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            fs::remove_all(out);
            fs::create_directories(out);
            std::vector<std::string> args = contenders[i].args;
            for (std::string& a : args) {
                const std::size_t at = a.find("{out}");
                if (at != std::string::npos) {
                    a.replace(at, 5, out.string());
                }
            }
            ::sync();
            const Measure m = RunChild(args);
            if (!m.ok) {
                std::printf("  %s failed\n", contenders[i].label);
                best[i].ok = false;
                continue;
            }
            if (round == 0 || m.seconds < best[i].seconds) {
                best[i].seconds = m.seconds;
            }
            best[i].peakKb = std::max(best[i].peakKb, m.peakKb);
            best[i].ok = round == 0 ? true : best[i].ok;
        }
    }
    fs::remove_all(out);
    for (std::size_t i = 0; i < contenders.size(); ++i) {
        std::printf("  %-22s %7.2f s   peak RSS %6.1f MB\n", contenders[i].label, best[i].seconds,
                    static_cast<double>(best[i].peakKb) / 1024.0);
    }
    return best;
}

bool Check(const char* what, double value, double limit) {
    const bool met = value <= limit;
    std::printf("  %-40s %6.2f  (target <= %.2f) %s\n", what, value, limit, met ? "met" : "MISSED");
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--extract") {
        return ExtractArchive(argv[2], argv[3], nullptr) == 0 ? 0 : 1;
    }
    fs::create_directories(kWork);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    bool met = true;

    const fs::path solid = SolidArchive();
    const fs::path small = SmallFilesArchive();
    if (solid.empty() || small.empty()) {
        std::printf("could not generate the archives with 7zz\n");
        return 1;
    }

    std::printf("\nsolid LZMA2 archive, 200 MB in 10 files (%.1f MB packed), best of %d\n",
                static_cast<double>(fs::file_size(solid)) / 1e6, kRounds);
    const auto s = Compare({
        {"ExtractArchive", {self, "--extract", solid.string(), "{out}"}},
        {"7zz x -mmt1", {"7zz", "x", "-bso0", "-bsp0", "-y", "-mmt1", "-o{out}", solid.string()}},
    });
    met &= s[0].ok && s[1].ok;
    met &= Check("time / 7zz x -mmt1", s[0].seconds / s[1].seconds, 1.25);
    met &= Check("peak RSS of ExtractArchive, MB", static_cast<double>(s[0].peakKb) / 1024.0, 64);

    std::printf("\n20,000 small files in nested folders (%.1f MB packed), best of %d\n",
                static_cast<double>(fs::file_size(small)) / 1e6, kRounds);
    const auto m = Compare({
        {"ExtractArchive", {self, "--extract", small.string(), "{out}"}},
        {"7zz x -mmt1", {"7zz", "x", "-bso0", "-bsp0", "-y", "-mmt1", "-o{out}", small.string()}},
        {"7zz x", {"7zz", "x", "-bso0", "-bsp0", "-y", "-o{out}", small.string()}},
    });
    met &= m[0].ok && m[1].ok && m[2].ok;
    met &= Check("time / 7zz x -mmt1", m[0].seconds / m[1].seconds, 1.1);
    met &= Check("time / 7zz x", m[0].seconds / m[2].seconds, 1.0);
    std::printf("\n%s\n", met ? "all targets met" : "some targets missed");
    return met ? 0 : 1;
}
