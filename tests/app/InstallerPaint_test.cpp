// What the main window paints, read back from its back buffer: the progress bar, marker
// and percentage, the lower panel and folder row, the licence screen's strips, and a
// picture of every screen saved as a test artefact (build/tests/app/screens/).
#include <cairo.h>

#include <filesystem>
#include <string>

#include "InstallerTestSupport.h"
#include "ui/BackBuffer.h"
#include "ui/CheckboxButton.h"
#include "ui/CustomButton.h"
#include "ui/DisclaimerButton.h"
#include "ui/Image.h"
#include "ui/MainButton.h"

namespace {

using namespace orvik_test;

constexpr std::uint32_t kWhite = 0xFFFFFF;

std::uint32_t PixelOf(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    return row[x];
}

bool IsFillBlue(std::uint32_t pixel) {  // 0x00AFFF, allowing for the anti-aliased rim
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return r < 0x40 && g > 0x90 && g < 0xC8 && b > 0xE8;
}

class InstallerPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg = std::make_unique<CInstallerDlg>(nullptr, service.Url());
        ASSERT_TRUE(dlg->Create());
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_screen != ScreenChecking; }));
        ASSERT_EQ(dlg->m_memBitmap->Scale(), 1);
    }
    void TearDown() override {
        if (dlg) {
            EndHeldInstall(*dlg, service);
        }
    }
    cairo_surface_t* Buffer() const { return dlg->m_memBitmap->Surface(); }
    std::uint32_t Pixel(int x, int y) const { return PixelOf(Buffer(), x, y) & 0xFFFFFF; }
    void Save(const std::string& name) const {
        const std::filesystem::path dir =
            std::filesystem::path(ORVIK_BINARY_DIR) / "tests" / "app" / "screens";
        std::filesystem::create_directories(dir);
        // Only the client area holds the screen; the rest of the 600 x 500 buffer is unused.
        cairo_surface_t* shot = cairo_surface_create_for_rectangle(
            Buffer(), 0, 0, dlg->m_clientRect.width, dlg->m_clientRect.height);
        cairo_surface_t* image = cairo_image_surface_create(
            CAIRO_FORMAT_RGB24, dlg->m_clientRect.width, dlg->m_clientRect.height);
        cairo_t* cr = cairo_create(image);
        cairo_set_source_surface(cr, shot, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(image, (dir / (name + ".png")).c_str());
        cairo_surface_destroy(image);
        cairo_surface_destroy(shot);
    }
    void GoDownloading() {
        ClickCentre(*dlg, *dlg->m_agreeCheckbox);
        ClickCentre(*dlg, *dlg->m_mainButton);
        ASSERT_EQ(dlg->m_screen, ScreenDownloading);
    }

    UpdateService service;
    std::unique_ptr<CInstallerDlg> dlg;
};

class InstallerProgressPaint : public InstallerPaintTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(InstallerProgressPaint, FillAndMarkerEndAtTheBarsEndPoint) {
    const int progress = GetParam();
    const int end = (progress + 10) * 5;
    GoDownloading();
    dlg->m_progress = progress;
    dlg->PaintScreen();

    int left = -1, right = -1;
    for (int x = 0; x < 600; ++x) {
        if (IsFillBlue(Pixel(x, 368))) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    // A 14-unit line with round caps from 50 to e: the caps reach 7 beyond either end.
    EXPECT_NEAR(left, 43, 1);
    EXPECT_NEAR(right, end + 6, 1);
    if (progress < 100) {
        EXPECT_FALSE(IsFillBlue(Pixel(end + 9, 368)));
        EXPECT_NE(Pixel(549, 368), kWhite);  // the track runs on to 550
    }

    // The marker, composited over the white panel, has its right edge at e.
    const Image* marker = dlg->m_imgMarker.get();
    ASSERT_NE(marker, nullptr);
    ASSERT_EQ(marker->Width(), 40);
    for (int y = 0; y < marker->Height(); ++y) {
        for (int x = 0; x < marker->Width(); ++x) {
            const std::uint32_t src = PixelOf(marker->Surface(), x, y);
            const int alpha = static_cast<int>(src >> 24);
            const std::uint32_t got = Pixel(end - 40 + x, 335 + y);
            for (int shift : {0, 8, 16}) {
                const int expected = static_cast<int>((src >> shift) & 0xFF) + 255 - alpha;
                ASSERT_NEAR(static_cast<int>((got >> shift) & 0xFF), expected, 3)
                    << "marker pixel " << x << "," << y;
            }
        }
    }
    // The percentage rides right of the marker, inside (e, 335, 40, 19).
    bool text = false;
    for (int y = 335; y < 354; ++y) {
        for (int x = end; x < end + 40 && x < 600; ++x) {
            text = text || Pixel(x, y) != kWhite;
        }
    }
    EXPECT_TRUE(text);
    Save("screen6-progress" + std::to_string(progress));
}

INSTANTIATE_TEST_SUITE_P(Percent, InstallerProgressPaint, ::testing::Values(0, 37, 100));

TEST_F(InstallerPaintTest, CustomScreenPanelReachesTheBottomWithTheFolderRowInIt) {
    ClickCentre(*dlg, *dlg->m_customButton);
    ASSERT_EQ(dlg->m_clientRect.height, 500);
    dlg->m_installDir = "/home/user/a-rather-long-folder-name/orvikcloud/";
    dlg->PaintScreen();
    for (int y : {312, 400, 460, 499}) {
        EXPECT_EQ(Pixel(5, y), kWhite) << y;
        EXPECT_EQ(Pixel(595, y), kWhite) << y;
    }
    bool frame = false, dark = false;
    for (int y = 412; y < 444; ++y) {
        frame = frame || Pixel(90, y) != kWhite || Pixel(439, y) != kWhite;
        for (int x = 100; x < 430; ++x) {
            dark = dark || (Pixel(x, y) & 0xFF) < 0x80;  // text of 0x383838
        }
    }
    EXPECT_TRUE(frame);
    EXPECT_TRUE(dark);
    Save("screen4-custom");
}

TEST_F(InstallerPaintTest, LicenceScreenCopiesOnlyTheStripsAroundTheView) {
    EXPECT_EQ(dlg->CopyRegions(), (std::vector<platform::Rect>{{0, 0, 600, 422}}));
    ClickCentre(*dlg, *dlg->m_licenceButton);
    ASSERT_EQ(dlg->m_screen, ScreenLicence);
    dlg->PaintScreen();
    const std::vector<platform::Rect> strips = dlg->CopyRegions();
    EXPECT_EQ(strips, (std::vector<platform::Rect>{
                          {0, 0, 600, 50}, {0, 0, 30, 422}, {570, 0, 30, 422}, {0, 328, 600, 94}}));

    // Copied onto a marked target, the view's rectangle keeps the mark and the rest is the
    // back buffer's.
    constexpr std::uint32_t kMark = 0xFF00FF;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 422);
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 0, 1);
    cairo_paint(cr);
    dlg->m_memBitmap->CopyTo(cr, strips);
    cairo_destroy(cr);
    for (int y = 0; y < 422; y += 3) {
        for (int x = 0; x < 600; x += 3) {
            const bool inView = x >= 30 && x < 570 && y >= 50 && y < 328;
            const std::uint32_t got = PixelOf(target, x, y) & 0xFFFFFF;
            ASSERT_EQ(got == kMark, inView) << x << "," << y;
            if (!inView) {
                ASSERT_EQ(got, Pixel(x, y)) << x << "," << y;
            }
        }
    }
    cairo_surface_destroy(target);
    Save("screen8-licence");
}

TEST_F(InstallerPaintTest, EveryScreenLeavesAPicture) {
    dlg->PaintScreen();
    Save("screen3-quick");
    dlg->m_clientPackage.version = "2.0.1";
    struct Shot {
        InstallerScreen screen;
        const char* name;
    };
    for (const Shot& shot :
         {Shot{ScreenInitial, "screen0-initial"}, Shot{ScreenChecking, "screen1-checking"},
          Shot{ScreenUpToDate, "screen2-uptodate"}, Shot{ScreenUpgrade, "screen5-upgrade"},
          Shot{ScreenInstalling, "screen7-installing"}}) {
        // The screen as the flow shows it: its buttons, and its state set directly.
        for (CObj* button : dlg->m_buttons) {
            button->m_visible = button == dlg->m_buttons[4];  // the close cross
        }
        if (const char* caption = shot.screen == ScreenUpToDate  ? "立即启动"
                                  : shot.screen == ScreenUpgrade ? "升级"
                                                                 : nullptr) {
            dlg->m_mainButton->m_visible = true;
            dlg->m_mainButton->m_state = StateNormal;
            dlg->m_mainButton->m_y = 308;
            dlg->m_mainButton->SetText(caption);
        }
        dlg->m_screen = shot.screen;
        dlg->m_progress = 42;
        dlg->PaintScreen();
        Save(shot.name);
        EXPECT_NE(Pixel(300, 100), 0u) << shot.name;
    }
}

// The folder row's cut counts UTF-16 units and never splits a character.
struct CutCase {
    std::string dir;
    std::string shown;
};

class FolderRowCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(FolderRowCut, KeepsThirtyUnits) {
    EXPECT_EQ(FolderRowText(GetParam().dir), GetParam().shown);
}

const std::string k29(29, 'a');
INSTANTIATE_TEST_SUITE_P(
    Texts, FolderRowCut,
    ::testing::Values(CutCase{"", ""}, CutCase{k29 + "b", k29 + "b"},
                      CutCase{k29 + "bc", k29 + "b..."}, CutCase{k29 + "数", k29 + "数"},
                      CutCase{k29 + "数据", k29 + "数..."},
                      CutCase{k29 + "\xF0\x9F\x98\x80", k29 + "..."},  // U+1F600: two units
                      CutCase{std::string(28, 'a') + "\xF0\x9F\x98\x80",
                              std::string(28, 'a') + "\xF0\x9F\x98\x80"},
                      CutCase{k29 + "\xFF" + "x", k29 + "\xFF" + "..."}));

}  // namespace
