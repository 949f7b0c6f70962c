// Any bytes handed to ExtractArchive as an archive: no crash, no undefined behaviour, and
// nothing written outside the output folder. The output folder sits eight levels below the
// fuzzer's own folder, each level checked to hold only the next, so that names climbing out
// by up to eight levels are caught; inside it, only regular files and folders may appear,
// without set-user-ID, set-group-ID or sticky bits.
//
// Most inputs get their start header and database CRC-32 values recomputed first, so that
// mutations reach libarchive's parser instead of stopping at the checksum checks.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/ExtractArchive.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDepth = 8;
fs::path g_base;

fs::path Level(int depth) {
    fs::path p = g_base;
    for (int i = 0; i < depth; ++i) {
        p /= "level" + std::to_string(i);
    }
    return p;
}

// The folder holds exactly the names given.
void ExpectOnly(const fs::path& folder, std::initializer_list<std::string> names) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        bool known = false;
        for (const std::string& n : names) {
            known |= entry.path().filename() == n;
        }
        if (!known) {
            std::fprintf(stderr, "written outside the output folder: %s\n", entry.path().c_str());
            std::abort();
        }
        ++count;
    }
    if (count != names.size()) {
        std::abort();
    }
}

std::uint64_t Le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void FixChecksums(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 32 || bytes[0] != '7' || bytes[1] != 'z') {
        return;
    }
    const std::uint64_t offset = Le64(&bytes[12]);
    const std::uint64_t size = Le64(&bytes[20]);
    if (offset <= bytes.size() && size <= bytes.size() - 32 && 32 + offset <= bytes.size() - size) {
        const auto crc = crc32(0, &bytes[32 + offset], static_cast<uInt>(size));
        PutLe32(&bytes[28], static_cast<std::uint32_t>(crc));
    }
    PutLe32(&bytes[8], static_cast<std::uint32_t>(crc32(0, &bytes[12], 20)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The extraction log goes nowhere; every file written is bounded.
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
    const rlimit limit{64 << 20, 64 << 20};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    std::string pattern = (fs::temp_directory_path() / "orvik-extract-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    g_base = pattern;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g_base, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path work = Level(kDepth);
    const fs::path archive = work / "input.7z";
    const fs::path out = work / "out";
    std::error_code ec;
    fs::remove_all(Level(1), ec);
    fs::create_directories(out);
    std::vector<std::uint8_t> bytes(data, data + size);
    if (size % 8 != 0) {
        FixChecksums(bytes);
    }
    std::ofstream(archive, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    ExtractArchive(archive.c_str(), out.string(), nullptr);

    for (int depth = 0; depth < kDepth; ++depth) {
        ExpectOnly(Level(depth), {"level" + std::to_string(depth)});
    }
    ExpectOnly(work, {"input.7z", "out"});
    for (auto it = fs::recursive_directory_iterator(out, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::file_status st = it->symlink_status();
        const fs::perms special = fs::perms::set_uid | fs::perms::set_gid | fs::perms::sticky_bit;
        if ((st.type() != fs::file_type::regular && st.type() != fs::file_type::directory) ||
            (st.permissions() & special) != fs::perms::none) {
            std::fprintf(stderr, "unexpected kind of file: %s\n", it->path().c_str());
            std::abort();
        }
        // Folders without write or search permission would stop the clean-up.
        if (st.type() == fs::file_type::directory) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    return 0;
}
