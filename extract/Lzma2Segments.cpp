#include "extract/Lzma2Segments.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace extract {

namespace {

// Reads up to 6 bytes of chunk header at `offset`; the count read.
std::size_t ReadHeader(int fd, std::uint64_t offset, std::array<unsigned char, 6>& header) {
    for (;;) {
        const ssize_t n = ::pread(fd, header.data(), header.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 ? 0 : static_cast<std::size_t>(n);
    }
}

struct Cut {
    std::uint64_t packed;    // offset in the folder's packed stream
    std::uint64_t unpacked;  // offset in its output
};

}  // namespace

std::vector<DecodeJob> SplitLzma2(int fd, const SevenZipFolder& folder, std::uint64_t minUnpack) {
    const DecodeJob whole{&folder, folder.packOffset, folder.packSize, folder.unpackSize};
    std::vector<Cut> cuts;
    std::uint64_t packed = 0;
    std::uint64_t unpacked = 0;
    // A cut at an uncompressed chunk with a dictionary reset holds only while the next LZMA
    // chunk brings its own properties; until then it is `pending`.
    bool pending = false;
    std::array<unsigned char, 6> h{};
    while (packed < folder.packSize) {
        const std::size_t got = ReadHeader(fd, folder.packOffset + packed, h);
        if (got == 0) {
            return {whole};
        }
        const unsigned control = h[0];
        if (control == 0x00) {
            break;
        }
        std::uint64_t header = 0;
        std::uint64_t data = 0;
        std::uint64_t output = 0;
        bool reset = false;
        if (control == 0x01 || control == 0x02) {
            if (got < 3) {
                return {whole};
            }
            header = 3;
            output = data = (static_cast<std::uint64_t>(h[1]) << 8 | h[2]) + 1;
            reset = control == 0x01;
        } else if (control >= 0x80) {
            header = control >= 0xC0 ? 6 : 5;
            if (got < header) {
                return {whole};
            }
            output = ((static_cast<std::uint64_t>(control & 0x1F) << 16) |
                      static_cast<std::uint64_t>(h[1]) << 8 | h[2]) +
                     1;
            data = (static_cast<std::uint64_t>(h[3]) << 8 | h[4]) + 1;
            reset = control >= 0xE0;
            if (pending && control < 0xC0) {
                cuts.pop_back();  // this chunk needs the properties of the one before the cut
            }
            pending = false;
        } else {
            return {whole};
        }
        if (reset && packed > 0 && unpacked > 0) {
            if (!cuts.empty() && cuts.back().unpacked == unpacked) {
                cuts.pop_back();
            }
            cuts.push_back({packed, unpacked});
            pending = control == 0x01;
        }
        packed += header + data;
        unpacked += output;
    }
    if (pending) {
        cuts.pop_back();
    }
    if (packed > folder.packSize || unpacked != folder.unpackSize || cuts.empty()) {
        return {whole};
    }
    std::vector<DecodeJob> jobs;
    Cut start{0, 0};
    const auto add = [&](const Cut& end) {
        jobs.push_back({&folder, folder.packOffset + start.packed, end.packed - start.packed,
                        end.unpacked - start.unpacked});
        start = end;
    };
    for (const Cut& cut : cuts) {
        if (cut.unpacked - start.unpacked >= minUnpack) {
            add(cut);
        }
    }
    add({folder.packSize, folder.unpackSize});
    return jobs;
}

}  // namespace extract
