#include "service/Crc32.h"

#include <fcntl.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORVIK_CRC32_CLMUL 1
#endif

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

std::uint32_t g_crc32Table[256];

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

using Tables = std::array<std::array<std::uint32_t, 256>, 16>;

// Table k advances a byte through k further zero bytes, so sixteen bytes fold at once.
constexpr Tables MakeSlicingTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) != 0 ? (c >> 1) ^ kPolynomial : c >> 1;
        }
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
        }
    }
    return t;
}

constexpr Tables kTables = MakeSlicingTables();

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap32(v);
    }
    return v;
}

struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// Works on the inverted register, as the folds below do.
std::uint32_t SliceBy16(std::uint32_t c, const std::uint8_t* p, std::size_t size) {
    const auto& t = kTables;
    while (size >= 16) {
        const std::uint32_t a = Load32(p) ^ c;
        const std::uint32_t b = Load32(p + 4);
        const std::uint32_t d = Load32(p + 8);
        const std::uint32_t e = Load32(p + 12);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
            t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
            t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^ t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^
            t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^ t[0][e >> 24];
        p += 16;
        size -= 16;
    }
    while (size-- > 0) {
        c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    }
    return c;
}

#ifdef ORVIK_CRC32_CLMUL
// Folds lane `x` forward over the distance that `k` encodes and adds the next data.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Carry-less multiplication folding: four 128-bit lanes folded 64 bytes at a time, then one
// lane, then a Barrett reduction to 32 bits. The constants are x^n mod P for the reflected
// polynomial. Needs size >= 64 and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldClmul(std::uint32_t c,
                                                                 const std::uint8_t* p,
                                                                 std::size_t size) {
    const auto load = [](const std::uint8_t* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    size -= 64;

    while (size >= 64) {
        x1 = Fold(x1, k1k2, load(p));
        x2 = Fold(x2, k1k2, load(p + 16));
        x3 = Fold(x3, k1k2, load(p + 32));
        x4 = Fold(x4, k1k2, load(p + 48));
        p += 64;
        size -= 64;
    }
    x1 = Fold(x1, k3k4, x2);
    x1 = Fold(x1, k3k4, x3);
    x1 = Fold(x1, k3k4, x4);
    while (size >= 16) {
        x1 = Fold(x1, k3k4, load(p));
        p += 16;
        size -= 16;
    }

    // 128 bits to 64.
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x2);

    // Barrett reduction to 32 bits.
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, low32), poly, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasClmul() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}
#endif

}  // namespace

void MakeCrc32Table() {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) != 0 ? (c >> 1) ^ kPolynomial : c >> 1;
        }
        g_crc32Table[i] = c;
    }
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::uint32_t c = ~crc;
#ifdef ORVIK_CRC32_CLMUL
    if (size >= 64 && HasClmul()) {
        const std::size_t folded = size & ~std::size_t{15};
        c = FoldClmul(c, p, folded);
        p += folded;
        size -= folded;
    }
#endif
    return ~SliceBy16(c, p, size);
}

int GetFileCrc32(const char* path, std::uint32_t* crc) {
    if (path == nullptr) {
        return -1;
    }
    const FileDescriptor file{::open(path, O_RDONLY | O_CLOEXEC)};
    const int fd = file.fd;
    if (fd < 0) {
        return -1;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    constexpr std::size_t kChunk = 1 << 20;
    const auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
    std::uint32_t value = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), kChunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A value over part of the file would only ever mismatch by luck.
            return -1;
        }
        if (got == 0) {
            break;
        }
        value = Crc32(value, buffer.get(), static_cast<std::size_t>(got));
    }
    if (crc != nullptr) {
        *crc = value;
    }
    return 0;
}

bool VerifyPackage(const std::string& path, std::uint32_t expected) {
    MakeCrc32Table();
    std::uint32_t crc = 0;
    return GetFileCrc32(path.c_str(), &crc) == 0 && crc == expected;
}
