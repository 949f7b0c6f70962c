// CRC-32 of a cached 1 GB file: GetFileCrc32 against zlib's crc32 over the same file, read in
// the same chunks, in the same run. Usage: bench_service_crc32 [file] (made when missing).
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "service/Crc32.h"

namespace {

constexpr std::size_t kFileSize = std::size_t{1} << 30;
constexpr std::size_t kChunk = 1 << 20;

void MakeFile(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(1);
    std::vector<std::uint64_t> block(kChunk / 8);
    for (std::size_t done = 0; done < kFileSize; done += kChunk) {
        for (auto& word : block) {
            word = random();
        }
        out.write(reinterpret_cast<const char*>(block.data()), kChunk);
    }
}

// zlib over the file, read the way GetFileCrc32 reads it.
std::uint32_t ZlibFileCrc(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const auto buffer = std::make_unique<unsigned char[]>(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), kChunk);
        if (got <= 0) {
            break;
        }
        crc = crc32(crc, buffer.get(), static_cast<uInt>(got));
    }
    ::close(fd);
    return static_cast<std::uint32_t>(crc);
}

template <typename F>
double BestSeconds(F&& run, int rounds) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path =
        argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "orvik-crc32-bench.bin");
    bool made = false;
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) != kFileSize) {
        MakeFile(path);
        made = true;
    }
    const double gigabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e9;

    std::uint32_t ours = 0;
    std::uint32_t theirs = 0;
    ZlibFileCrc(path);  // warm the page cache
    const double zlibSeconds = BestSeconds([&] { theirs = ZlibFileCrc(path); }, 5);
    const double ourSeconds = BestSeconds([&] { GetFileCrc32(path.c_str(), &ours); }, 5);

    std::printf("file            %s (%.2f GB, cached)\n", path.c_str(), gigabytes);
    std::printf("zlib crc32      %6.2f GB/s  %08x\n", gigabytes / zlibSeconds, theirs);
    std::printf("GetFileCrc32    %6.2f GB/s  %08x\n", gigabytes / ourSeconds, ours);
    std::printf("ratio           %6.2f x zlib (target >= 0.90)%s\n", zlibSeconds / ourSeconds,
                ours == theirs ? "" : "  VALUES DIFFER");
    if (made && argc <= 1) {
        std::filesystem::remove(path);
    }
    return ours == theirs ? 0 : 1;
}
