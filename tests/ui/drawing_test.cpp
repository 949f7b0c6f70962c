// Drawing primitives, checked on the pixels of a back buffer.
#include <gtest/gtest.h>

#include <string>

#include "platform/messages.h"
#include "test_images.h"
#include "ui/BackBuffer.h"
#include "ui/Graphics.h"
#include "ui/MainButton.h"

using uitest::InkBox;
using uitest::PixelAt;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_buffer.Rebuild(1);
        g().Clear(0x00FFFFFF);
    }
    Graphics& g() { return *m_buffer.GetGraphics(); }

    BackBuffer m_buffer{600, 500};
};

// Left half red, right half blue.
std::unique_ptr<Image> SplitImage() {
    return std::make_unique<Image>(uitest::EncodePng(4, 2, [](cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_rectangle(cr, 0, 0, 2, 2);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, 2, 0, 2, 2);
        cairo_fill(cr);
    }));
}

TEST_F(DrawingTest, ClearToTransparentWhiteShowsWhite) {
    EXPECT_EQ(PixelAt(m_buffer, 0, 0), kWhite);
    EXPECT_EQ(PixelAt(m_buffer, 599, 499), kWhite);
}

TEST_F(DrawingTest, ImageAtItsSizeAndScaled) {
    auto image = SplitImage();
    ASSERT_TRUE(image->Ok());
    EXPECT_EQ(image->Width(), 4);
    EXPECT_EQ(image->Height(), 2);

    g().DrawImage(image.get(), 10, 10);
    EXPECT_EQ(PixelAt(m_buffer, 10, 10), 0xFF0000u);
    EXPECT_EQ(PixelAt(m_buffer, 13, 11), 0x0000FFu);
    EXPECT_EQ(PixelAt(m_buffer, 14, 10), kWhite);
    EXPECT_EQ(PixelAt(m_buffer, 10, 12), kWhite);

    g().DrawImage(image.get(), 100, 100, 40, 20);
    EXPECT_EQ(PixelAt(m_buffer, 100, 100), 0xFF0000u);  // edges do not fade
    EXPECT_EQ(PixelAt(m_buffer, 105, 119), 0xFF0000u);
    EXPECT_EQ(PixelAt(m_buffer, 139, 110), 0x0000FFu);
    EXPECT_EQ(PixelAt(m_buffer, 140, 110), kWhite);
    EXPECT_EQ(PixelAt(m_buffer, 120, 120), kWhite);

    // A source rectangle: only the blue half, at (200, 200).
    g().DrawImage(image.get(), 200, 200, 2, 0, 2, 2);
    EXPECT_EQ(PixelAt(m_buffer, 200, 200), 0x0000FFu);
    EXPECT_EQ(PixelAt(m_buffer, 202, 200), kWhite);
}

TEST_F(DrawingTest, MissingAndUndecodableImagesDrawNothing) {
    const std::uint8_t garbage[] = {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5};
    Image broken{std::span<const std::uint8_t>(garbage)};
    EXPECT_FALSE(broken.Ok());
    EXPECT_EQ(broken.Width(), 0);

    g().DrawImage(nullptr, 0, 0);
    g().DrawImage(nullptr, 0, 0, 600, 500);
    g().DrawImage(&broken, 0, 0);
    g().DrawImage(&broken, 0, 0, 600, 500);
    EXPECT_TRUE(InkBox(m_buffer, kWhite).Empty());

    Image* sentinel = &broken;
    EXPECT_FALSE(LoadResourceImage(987654, "PNG", sentinel));
    EXPECT_EQ(sentinel, &broken);
}

TEST_F(DrawingTest, ZeroSizeCentredTextIsCentredOnItsPointAndNotWrapped) {
    const Font font{"微软雅黑", 16, FontStyleRegular, FontUnit::Pixel};
    const StringFormat centred{StringAlignment::Center, StringAlignment::Center};
    g().DrawString("HHHHHH", font, RectF{210, 65, 0, 0}, centred, 0xFF000000);
    const auto box = InkBox(m_buffer, kWhite);
    ASSERT_FALSE(box.Empty());
    EXPECT_NEAR((box.left + box.right) / 2.0, 210.0, 1.5);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, 65.0, 3.0);

    // A text far wider than the point's surroundings runs past both sides, on one line.
    g().Clear(0x00FFFFFF);
    const std::string wide(60, 'H');
    g().DrawString(wide, font, RectF{300, 250, 0, 0}, centred, 0xFF000000);
    const auto wideBox = InkBox(m_buffer, kWhite);
    EXPECT_LT(wideBox.left, 5);
    EXPECT_GT(wideBox.right, 594);
    EXPECT_LT(wideBox.bottom - wideBox.top, 20);
}

TEST_F(DrawingTest, TextInARectangleWrapsAtItsWidthAndIsClipped) {
    const Font font{"sans-serif", 16, FontStyleRegular, FontUnit::Pixel};
    g().DrawString("vode正在运行中，升级过程需要退出程序，是否继续？", font,
                   RectF{35, 45, 286, 120}, StringFormat{}, 0xFF000000);
    const auto box = InkBox(m_buffer, kWhite);
    ASSERT_FALSE(box.Empty());
    EXPECT_GE(box.left, 35);
    EXPECT_LE(box.right, 35 + 286);
    EXPECT_GT(box.bottom - box.top, 25);  // more than one line
    EXPECT_LE(box.bottom, 45 + 120);
}

TEST_F(DrawingTest, UnknownFamiliesFallBackToSansSerif) {
    EXPECT_EQ(ResolveFontFamily("MicrosoftYaHei"), "sans-serif");
    EXPECT_EQ(ResolveFontFamily("No Such Family 12345"), "sans-serif");
    EXPECT_EQ(ResolveFontFamily("a,b"), "sans-serif");
    EXPECT_EQ(Font({"x", 15, 0, FontUnit::Point}).PixelSize(), 20.0);

    // The fallback draws exactly what sans-serif draws.
    const StringFormat near{};
    g().DrawString("安装环境检测中...", Font{"MicrosoftYaHei", 14}, RectF{252, 284, 0, 0}, near,
                   0xFF666666);
    BackBuffer reference(600, 500);
    reference.Rebuild(1);
    reference.GetGraphics()->Clear(0x00FFFFFF);
    reference.GetGraphics()->DrawString("安装环境检测中...", Font{"sans-serif", 14},
                                        RectF{252, 284, 0, 0}, near, 0xFF666666);
    const auto box = InkBox(m_buffer, kWhite);
    ASSERT_FALSE(box.Empty());
    EXPECT_GE(box.left, 252);
    EXPECT_GE(box.top, 284);
    for (int y = box.top; y <= box.bottom; ++y) {
        for (int x = box.left; x <= box.right; ++x) {
            ASSERT_EQ(PixelAt(m_buffer, x, y), PixelAt(reference, x, y)) << x << "," << y;
        }
    }
}

TEST_F(DrawingTest, LinesRectanglesAndEllipses) {
    // A zero-length round-capped line is a dot of the pen's diameter.
    g().DrawLine(0xFF00AFFF, 14, 50, 368, 50, 368, LineCap::Round);
    EXPECT_EQ(PixelAt(m_buffer, 50, 368), 0x00AFFFu);
    EXPECT_EQ(PixelAt(m_buffer, 45, 366), 0x00AFFFu);
    EXPECT_EQ(PixelAt(m_buffer, 58, 368), kWhite);
    const auto dot = InkBox(m_buffer, kWhite);
    EXPECT_NEAR(dot.right - dot.left + 1, 14, 1);
    EXPECT_NEAR(dot.bottom - dot.top + 1, 14, 1);

    g().Clear(0x00FFFFFF);
    g().DrawLine(0xFF000000, 14, 50, 368, 50, 368, LineCap::Flat);
    EXPECT_TRUE(InkBox(m_buffer, kWhite).Empty());

    g().FillRectangle(0xFF123456, 0, 312, 600, 188);
    EXPECT_EQ(PixelAt(m_buffer, 0, 312), 0x123456u);
    EXPECT_EQ(PixelAt(m_buffer, 599, 499), 0x123456u);
    EXPECT_EQ(PixelAt(m_buffer, 0, 311), kWhite);

    g().DrawRectangle(0xFF000000, 1, 10, 10, 20, 20);
    EXPECT_EQ(PixelAt(m_buffer, 10, 10), 0u);
    EXPECT_EQ(PixelAt(m_buffer, 30, 30), 0u);
    EXPECT_EQ(PixelAt(m_buffer, 20, 20), kWhite);

    g().FillEllipse(0xFF00FF00, 100, 100, 20, 20);
    EXPECT_EQ(PixelAt(m_buffer, 110, 110), 0x00FF00u);
    EXPECT_EQ(PixelAt(m_buffer, 100, 100), kWhite);
}

TEST(BackBufferTest, DeviceScaleKeepsLogicalCoordinates) {
    BackBuffer buffer(356, 208);
    buffer.Rebuild(2);
    EXPECT_EQ(cairo_image_surface_get_width(buffer.Surface()), 712);
    buffer.GetGraphics()->Clear(0xFF6C6C6C);
    buffer.GetGraphics()->DrawLine(0xFF000000, 1, 0, 10, 356, 10);  // centred on y 10
    cairo_surface_flush(buffer.Surface());
    const auto* data = cairo_image_surface_get_data(buffer.Surface());
    const int stride = cairo_image_surface_get_stride(buffer.Surface());
    auto device = [&](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF;
    };
    // One logical pixel either side of y 10 is one device row each: drawn at full resolution.
    EXPECT_EQ(device(100, 19), 0u);
    EXPECT_EQ(device(100, 20), 0u);
    EXPECT_EQ(device(100, 18), 0x6C6C6Cu);
    EXPECT_EQ(device(100, 21), 0x6C6C6Cu);

    // Copying the whole client area moves the buffer onto the target unscaled.
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 712, 416);
    cairo_surface_set_device_scale(target, 2, 2);
    cairo_t* cr = cairo_create(target);
    buffer.SetClientRect({0, 0, 356, 208});
    buffer.CopyTo(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    const auto* out = cairo_image_surface_get_data(target);
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(out + 20 * stride)[100] & 0xFFFFFF, 0u);
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(out + 100 * stride)[100] & 0xFFFFFF,
              0x6C6C6Cu);
    cairo_surface_destroy(target);
}

TEST(BackBufferTest, StripsLeaveTheRestOfTheTargetAlone) {
    BackBuffer buffer(600, 500);
    buffer.Rebuild(1);
    buffer.GetGraphics()->Clear(0xFF112233);
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 422);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    const platform::Rect strips[] = {
        {0, 0, 600, 50}, {0, 0, 30, 422}, {570, 0, 30, 422}, {0, 328, 600, 94}};
    buffer.CopyTo(cr, strips);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    const auto* data = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    auto at = [&](int x, int y) {
        return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF;
    };
    EXPECT_EQ(at(300, 10), 0x112233u);
    EXPECT_EQ(at(10, 200), 0x112233u);
    EXPECT_EQ(at(590, 200), 0x112233u);
    EXPECT_EQ(at(300, 400), 0x112233u);
    EXPECT_EQ(at(30, 50), 0xFFFFFFu);  // the licence view's rectangle is never painted
    EXPECT_EQ(at(569, 327), 0xFFFFFFu);
    cairo_surface_destroy(target);
}

struct MainButtonCase {
    ButtonState state;
    unsigned message;
    std::uint32_t expected;  // colour at the button's centre
};

class MainButtonDrawTest : public DrawingTest,
                           public ::testing::WithParamInterface<MainButtonCase> {};

TEST_P(MainButtonDrawTest, DrawsTheImageOfItsState) {
    CMainButton button;
    button.m_imgNormal = uitest::SolidImage(200, 50, 0xFFFCA71C);
    button.m_imgHover = uitest::SolidImage(200, 50, 0xFFFA8C30);
    button.m_imgDisabled = uitest::SolidImage(200, 50, 0xFFD7D8DB);
    button.m_x = 125;
    button.m_y = 123;
    button.m_width = 105;
    button.m_height = 38;
    button.m_visible = true;
    button.m_state = GetParam().state;
    button.m_notifyMessage = GetParam().message;
    button.Draw(g());
    EXPECT_EQ(PixelAt(m_buffer, 177, 142), GetParam().expected);
    EXPECT_EQ(PixelAt(m_buffer, 125, 123), GetParam().expected);  // scaled into the rectangle
    EXPECT_EQ(PixelAt(m_buffer, 229, 160), GetParam().expected);
    EXPECT_EQ(PixelAt(m_buffer, 230, 142), kWhite);
    EXPECT_EQ(PixelAt(m_buffer, 177, 161), kWhite);

    button.m_visible = false;
    g().Clear(0x00FFFFFF);
    button.Draw(g());
    EXPECT_TRUE(InkBox(m_buffer, kWhite).Empty());
}

INSTANTIATE_TEST_SUITE_P(
    States, MainButtonDrawTest,
    ::testing::Values(MainButtonCase{StateNormal, WM_MAINBUTTON_CLICKED, 0xFCA71C},
                      MainButtonCase{StatePressed, WM_MAINBUTTON_CLICKED, 0xFCA71C},
                      MainButtonCase{StateHover, WM_MAINBUTTON_CLICKED, 0xFA8C30},
                      MainButtonCase{StateDisabled, WM_MAINBUTTON_CLICKED, 0xD7D8DB},
                      MainButtonCase{StateNormal, WM_DIALOG_CONFIRM_CLICKED, 0xFCA71C},
                      MainButtonCase{StateNormal, WM_DIALOG_CANCEL_CLICKED, kWhite},
                      MainButtonCase{StateHover, WM_DIALOG_CANCEL_CLICKED, kWhite}));

TEST_F(DrawingTest, CancelVariantDrawsGreyTextOnly) {
    CMainButton button;
    button.m_imgNormal = uitest::SolidImage(200, 50, 0xFFFCA71C);
    button.m_imgHover = uitest::SolidImage(200, 50, 0xFFFA8C30);
    button.m_x = 186;
    button.m_y = 123;
    button.m_width = 105;
    button.m_height = 38;
    button.m_visible = true;
    button.m_notifyMessage = WM_DIALOG_CANCEL_CLICKED;
    button.SetText("取消");
    for (ButtonState state : {StateNormal, StateHover}) {
        g().Clear(0xFF6C6C6C);
        button.m_state = state;
        button.Draw(g());
        const auto box = InkBox(m_buffer, 0x6C6C6C);
        ASSERT_FALSE(box.Empty());
        EXPECT_NEAR((box.left + box.right) / 2.0, 186 + 52.5, 2);
        bool sawCaptionColour = false;
        const std::uint32_t caption = state == StateHover ? 0xC1C1C1 : 0x727272;
        for (int y = box.top; y <= box.bottom; ++y) {
            for (int x = box.left; x <= box.right; ++x) {
                const std::uint32_t p = PixelAt(m_buffer, x, y);
                const int r = static_cast<int>(p >> 16), gr = static_cast<int>((p >> 8) & 0xFF),
                          b = static_cast<int>(p & 0xFF);
                ASSERT_TRUE(r == gr && gr == b) << "not grey at " << x << "," << y;
                sawCaptionColour = sawCaptionColour || p == caption;
            }
        }
        EXPECT_TRUE(sawCaptionColour);
    }
}

}  // namespace
