// The drop shadow's picture over every setting the members can hold (size and offsets over
// the whole int8 range, sharpness and darkness over uint8, any colour) and parents from
// 1 x 1 up to kMaxSide pixels a side.
//
// AddressSanitizer sees any write outside the exactly sized picture. Besides: pixels over
// the parent are 0; every pixel is the shadow colour at an alpha of at most the darkness;
// without an offset the picture of the rectangular parent is symmetric both ways; and
// settings that leave no picture write nothing.
//
// Input: width and height (16 bits each, little-endian), size, sharpness, darkness,
// offset x, offset y (one byte each), colour (32 bits); missing bytes read as 0.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/WndShadow.h"

namespace {

constexpr int kMaxSide = 256;
constexpr std::size_t kInputSize = 13;
// Stamping the soft border costs (2K + 1)^2 per stamped pixel (K = max(size, sharpness)):
// the parent is shrunk until the estimate fits this many pixel comparisons, so a run stays
// fast over every setting. The edge cases lie at small parents anyway.
constexpr long kStampBudget = 1L << 21;

long StampWork(int width, int height, int size, int sharpness) {
    const long k = std::max(size, sharpness);
    const long sw = width + 2L * size;
    const long sh = height + 2L * size;
    if (sh <= 2 * k || sw <= 0) {
        return 0;  // no row of the picture is stamped
    }
    return (2 * k + 1) * (2 * k + 1) * (2 * (sh - 2 * k) + 2 * sw);
}

void Fail(const char* what, int x, int y) {
    std::fprintf(stderr, "shadow_image_fuzz: %s at %d,%d\n", what, x, y);
    std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// The checks of a built picture. Left out of the coverage feedback: their comparisons say
// nothing about the code under test and would only slow every run.
__attribute__((no_sanitize("coverage"))) void CheckPicture(const CWndShadow& shadow,
                                                           const std::vector<std::uint32_t>& pixels,
                                                           int W, int H) {
    const int s = shadow.m_size;
    const int SW = W + 2 * s;
    const int SH = H + 2 * s;
    std::uint32_t values[256];
    for (int a = 0; a < 256; ++a) {
        values[a] = shadow.PixelValue(a);
    }
    const auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * SW + x]; };
    // The parent lies over columns s - ox .. and rows s - oy .. of the picture.
    const int left = s - shadow.m_offsetX;
    const int top = s - shadow.m_offsetY;
    for (int y = 0; y < SH; ++y) {
        for (int x = 0; x < SW; ++x) {
            const std::uint32_t pixel = at(x, y);
            const std::uint32_t alpha = pixel >> 24;
            if (alpha > shadow.m_darkness || pixel != values[alpha]) {
                Fail("not the shadow colour at an alpha up to the darkness", x, y);
            }
            if (x >= left && x < left + W && y >= top && y < top + H && pixel != 0) {
                Fail("shadow over the parent", x, y);
            }
        }
    }
    if (shadow.m_offsetX == 0 && shadow.m_offsetY == 0) {
        for (int y = 0; y < SH; ++y) {
            for (int x = 0; x < SW; ++x) {
                if (at(x, y) != at(SW - 1 - x, y) || at(x, y) != at(x, SH - 1 - y)) {
                    Fail("not symmetric", x, y);
                }
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kInputSize) {
        return -1;  // the bytes past the settings change nothing: keep them out of the corpus
    }
    Input in(data, size);
    int W = 1 + in.Word() % kMaxSide;
    int H = 1 + in.Word() % kMaxSide;
    CWndShadow shadow;
    shadow.m_size = static_cast<std::int8_t>(in.Byte());
    shadow.m_sharpness = in.Byte();
    shadow.m_darkness = in.Byte();
    shadow.m_offsetX = static_cast<std::int8_t>(in.Byte());
    shadow.m_offsetY = static_cast<std::int8_t>(in.Byte());
    shadow.m_color =
        static_cast<std::uint32_t>(in.Word()) | (static_cast<std::uint32_t>(in.Word()) << 16);

    const int s = shadow.m_size;
    while ((W > 1 || H > 1) && StampWork(W, H, s, shadow.m_sharpness) > kStampBudget) {
        H = H > 1 ? H * 3 / 4 : H;
        W = W > 1 ? W * 3 / 4 : W;
    }
    const int SW = W + 2 * s;
    const int SH = H + 2 * s;
    if (SW <= 0 || SH <= 0) {
        std::vector<std::uint32_t> guard(16, 0xDEADBEEF);
        shadow.BuildShadowImage(guard.data(), W, H);
        for (std::uint32_t word : guard) {
            if (word != 0xDEADBEEF) {
                Fail("wrote with no picture", SW, SH);
            }
        }
        return 0;
    }

    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(SW) * SH, 0);
    shadow.BuildShadowImage(pixels.data(), W, H);
    CheckPicture(shadow, pixels, W, H);
    return 0;
}
