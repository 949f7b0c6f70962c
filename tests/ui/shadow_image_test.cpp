// The shadow picture, computed on a plain pixel buffer.
#include <gtest/gtest.h>

#include <vector>

#include "ui/WndShadow.h"

namespace {

struct Settings {
    int width, height;
    int size = 8, sharpness = 5, darkness = 150, offsetX = 5, offsetY = 5;
    std::uint32_t color = 0;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[y * width + x]; }
    int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }
};

constexpr std::uint32_t kGuard = 0xDEADBEEF;
constexpr int kGuardCount = 64;

// Builds the picture into a buffer with guard words on both sides, so a stray write is
// caught even without AddressSanitizer.
Picture Build(const Settings& s) {
    CWndShadow shadow;
    shadow.m_size = static_cast<std::int8_t>(s.size);
    shadow.m_sharpness = static_cast<std::uint8_t>(s.sharpness);
    shadow.m_darkness = static_cast<std::uint8_t>(s.darkness);
    shadow.m_offsetX = static_cast<std::int8_t>(s.offsetX);
    shadow.m_offsetY = static_cast<std::int8_t>(s.offsetY);
    shadow.m_color = s.color;
    Picture picture;
    picture.width = std::max(s.width + 2 * s.size, 0);
    picture.height = std::max(s.height + 2 * s.size, 0);
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    std::vector<std::uint32_t> buffer(count + 2 * kGuardCount, kGuard);
    std::fill(buffer.begin() + kGuardCount, buffer.end() - kGuardCount, 0u);
    shadow.BuildShadowImage(buffer.data() + kGuardCount, s.width, s.height);
    for (int i = 0; i < kGuardCount; ++i) {
        EXPECT_EQ(buffer[i], kGuard) << "write before the picture";
        EXPECT_EQ(buffer[buffer.size() - 1 - i], kGuard) << "write after the picture";
    }
    picture.pixels.assign(buffer.begin() + kGuardCount, buffer.end() - kGuardCount);
    return picture;
}

TEST(ShadowImageTest, MainWindowShadowBesideItsEdgesAndCorners) {
    // The main window's values over its 600 x 422 size.
    const Picture p = Build({600, 422, 8, 5, 50, 0, 0, 0x646464});
    ASSERT_EQ(p.width, 616);
    ASSERT_EQ(p.height, 438);

    for (int y = 8; y < 430; ++y) {
        for (int x = 8; x < 608; ++x) {
            ASSERT_EQ(p.At(x, y), 0u) << "over the window at " << x << "," << y;
        }
    }
    const int outward[] = {50, 50, 50, 41, 33, 25, 16, 8};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(p.Alpha(7 - k, 219), outward[k]) << "left, " << k;
        EXPECT_EQ(p.Alpha(608 + k, 219), outward[k]) << "right, " << k;
        EXPECT_EQ(p.Alpha(300, 7 - k), outward[k]) << "top, " << k;
        EXPECT_EQ(p.Alpha(300, 430 + k), outward[k]) << "bottom, " << k;
    }
    EXPECT_EQ(p.At(7, 219), 0x32131313u);

    for (auto [x, y] : {std::pair{0, 0}, {615, 0}, {0, 437}, {615, 437}}) {
        EXPECT_EQ(p.At(x, y), 0u) << x << "," << y;
    }
    EXPECT_EQ(p.Alpha(7, 7), 50);
    EXPECT_EQ(p.Alpha(608, 430), 50);
}

TEST(ShadowImageTest, ConstructorValuesMiddleRow) {
    const Picture p = Build({40, 30});
    ASSERT_EQ(p.width, 56);
    std::vector<int> expected = {24, 50, 75};
    expected.insert(expected.end(), 40, 0);
    expected.insert(expected.end(), 8, 150);
    for (int a : {125, 100, 75, 50, 24}) {
        expected.push_back(a);
    }
    std::vector<int> row;
    for (int x = 0; x < p.width; ++x) {
        row.push_back(p.Alpha(x, p.height / 2));
        EXPECT_EQ(p.At(x, p.height / 2) & 0xFFFFFF, 0u);  // black
    }
    EXPECT_EQ(row, expected);
}

TEST(ShadowImageTest, IdenticalInputsGiveTheIdenticalPicture) {
    const Settings s{123, 77, 8, 5, 50, 3, -2, 0x1C1C1C};
    EXPECT_EQ(Build(s).pixels, Build(s).pixels);
}

class ShadowImageBoundsTest : public ::testing::TestWithParam<Settings> {};

// Odd sizes, margins and offsets never write outside the picture.
TEST_P(ShadowImageBoundsTest, StaysInsideThePicture) {
    const Settings s = GetParam();
    const Picture p = Build(s);
    if (p.width > 0 && p.height > 0) {
        for (std::uint32_t pixel : p.pixels) {
            ASSERT_LE(pixel >> 24, static_cast<std::uint32_t>(s.darkness));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Extremes, ShadowImageBoundsTest,
                         ::testing::Values(Settings{1, 1}, Settings{1, 1, 0, 0, 255, 0, 0},
                                           Settings{1, 1, -1, 5}, Settings{2, 2, -1, 5},
                                           Settings{40, 30, -8, 5}, Settings{40, 30, -19, 5},
                                           Settings{40, 30, -128, 255}, Settings{40, 30, 127, 255},
                                           Settings{40, 30, 127, 0}, Settings{40, 30, 0, 0},
                                           Settings{3, 200, 2, 255},
                                           Settings{40, 30, 8, 5, 150, 127, -128},
                                           Settings{40, 30, 8, 5, 150, -128, 127},
                                           Settings{40, 30, -8, 5, 150, 127, 127}, Settings{0, 30},
                                           Settings{40, -3}, Settings{-40, -30, -8}));

TEST(ShadowImageTest, PixelValueIsPremultiplied) {
    CWndShadow shadow;
    shadow.m_color = 0x1C1C1C;
    EXPECT_EQ(shadow.PixelValue(50), 0x32050505u);
    shadow.m_color = 0x0000FF;  // red is the low byte of the colour
    EXPECT_EQ(shadow.PixelValue(255), 0xFFFF0000u);
    EXPECT_EQ(shadow.PixelValue(0), 0u);
}

}  // namespace
