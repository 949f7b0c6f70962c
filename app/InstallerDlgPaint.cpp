// CInstallerDlg's painting: each screen's layers into the back buffer, the buttons on top,
// then one copy to the window.
#include <cstdio>
#include <string>

#include "app/InstallerDlg.h"
#include "ui/BackBuffer.h"
#include "ui/Graphics.h"
#include "ui/Image.h"
#include "ui/Obj.h"

namespace {

constexpr Argb kStatusColour = 0xFF666666;
constexpr Argb kFolderColour = 0xFF383838;
constexpr Argb kProgressTextColour = 0xFF4B4B4B;
constexpr Argb kTrackColour = 0xFFEBECF0;
constexpr Argb kFillColour = 0xFF00AFFF;
constexpr Argb kPanelColour = 0xFFFFFFFF;
constexpr int kPanelTop = 312;
constexpr int kBarY = 368;
constexpr int kBarLeft = 50;
constexpr int kBarRight = 550;
constexpr float kBarWidth = 14.0f;
constexpr int kMarkerY = 335;

// The length of the UTF-8 sequence led by `lead` and the UTF-16 units of its character; a
// byte that leads no valid sequence counts as one character of its own.
void MeasureCharacter(const std::string& text, std::size_t at, std::size_t& bytes, int& units) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead < 0xF8) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead < 0xF0 ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    if (at + length > text.size()) {
        length = 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            length = 1;
            break;
        }
    }
    bytes = length;
    units = length == 4 ? 2 : 1;
}

}  // namespace

std::string FolderRowText(const std::string& installDir) {
    constexpr int kMaxUnits = 30;
    std::size_t cut = std::string::npos;  // byte offset after the last character that fits
    int units = 0;
    for (std::size_t at = 0; at < installDir.size();) {
        std::size_t bytes = 0;
        int charUnits = 0;
        MeasureCharacter(installDir, at, bytes, charUnits);
        if (units + charUnits > kMaxUnits && cut == std::string::npos) {
            cut = at;
        }
        units += charUnits;
        at += bytes;
    }
    if (units <= kMaxUnits) {
        return installDir;
    }
    return installDir.substr(0, cut) + "...";
}

void CInstallerDlg::PaintScreen() {
    if (m_graphics == nullptr || m_hwnd == nullptr) {
        return;
    }
    Graphics& graphics = *m_graphics;
    graphics.Clear(0x00FFFFFF);

    m_shadow.SetShadowSize(8);
    m_shadow.SetShadowOffset(0, 0);
    m_shadow.SetShadowColor(0x646464);  // RGB(100, 100, 100)
    m_shadow.SetShadowDarkness(50);

    const std::int32_t screen = m_screen.load();
    switch (screen) {
        case ScreenInitial:
            DrawImageAtOrigin(m_imgBackground.get());
            break;
        case ScreenChecking:
            DrawImageAtOrigin(m_imgBackground.get());
            DrawStatusText("安装环境检测中...", 252, 284);
            break;
        case ScreenUpToDate:
            DrawImageAtOrigin(m_imgBackground.get());
            DrawStatusText("已安装最新版", 251, 264);
            break;
        case ScreenQuickInstall:
            DrawImageAtOrigin(m_imgHeader.get());
            DrawLowerPanel();
            break;
        case ScreenCustomInstall:
            DrawImageAtOrigin(m_imgHeader.get());
            DrawLowerPanel();
            DrawFolderRow();
            break;
        case ScreenUpgrade:
            DrawImageAtOrigin(m_imgBackground.get());
            DrawStatusText("已更新到 版本 V" + m_clientPackage.version, 234, 264);
            break;
        case ScreenDownloading:
        case ScreenInstalling:
            DrawImageAtOrigin(m_imgHeader.get());
            DrawLowerPanel();
            DrawProgress(screen);
            break;
        case ScreenLicence:
            DrawImageAtOrigin(m_imgLicence.get());
            break;
        default:
            break;
    }

    for (CObj* button : m_buttons) {
        if (button != nullptr) {
            button->Draw(graphics);
        }
    }

    m_memBitmap->CopyToWindow(*m_hwnd, CopyRegions());
}

std::vector<platform::Rect> CInstallerDlg::CopyRegions() const {
    const int width = m_clientRect.width;
    const int height = m_clientRect.height;
    if (m_screen == ScreenLicence) {
        // (30, 50)-(570, 328) belongs to the licence view.
        return {{0, 0, width, 50}, {0, 0, 30, height}, {570, 0, 30, height}, {0, 328, width, 94}};
    }
    return {m_clientRect};
}

void CInstallerDlg::DrawImageAtOrigin(Image* image) {
    m_graphics->DrawImage(image, 0, 0);
}

void CInstallerDlg::DrawLowerPanel() {
    const int height = m_clientRect.height - kPanelTop;
    m_graphics->DrawRectangle(kPanelColour, 1.0f, 0, kPanelTop, kWidth, height);
    m_graphics->FillRectangle(kPanelColour, 0, kPanelTop, kWidth, height);
}

void CInstallerDlg::DrawStatusText(const std::string& text, float x, float y) {
    const Font font{"MicrosoftYaHei", 14.0f, FontStyleRegular, FontUnit::Pixel};
    m_graphics->DrawString(text, font, RectF{x, y, 0, 0}, StringFormat{}, kStatusColour);
}

void CInstallerDlg::DrawFolderRow() {
    m_graphics->DrawImage(m_imgPathBox.get(), 90, 412, 350, 32);
    const Font font{"微软雅黑", 10.0f, FontStyleRegular, FontUnit::Point};
    const StringFormat format{StringAlignment::Near, StringAlignment::Center};
    m_graphics->DrawString(FolderRowText(m_installDir), font, RectF{100, 412, 330, 32}, format,
                           kFolderColour);
}

void CInstallerDlg::DrawProgress(std::int32_t screen) {
    const int progress = m_progress.load();
    const int end = (progress + 10) * 5;  // 50 at 0 %, 550 at 100 %
    m_graphics->DrawLine(kTrackColour, kBarWidth, kBarLeft, kBarY, kBarRight, kBarY,
                         LineCap::Round);
    m_graphics->DrawLine(kFillColour, kBarWidth, kBarLeft, kBarY, end, kBarY, LineCap::Round);

    const int markerWidth = m_imgMarker ? m_imgMarker->Width() : 0;
    const int markerHeight = m_imgMarker ? m_imgMarker->Height() : 0;
    m_graphics->DrawImage(m_imgMarker.get(), end - markerWidth, kMarkerY);

    char percent[32];
    std::snprintf(percent, sizeof percent, "%d %%", progress);
    const StringFormat centred{StringAlignment::Center, StringAlignment::Center};
    m_graphics->DrawString(percent, Font{"微软雅黑", 8.0f, FontStyleRegular, FontUnit::Point},
                           RectF{static_cast<float>(end), static_cast<float>(kMarkerY), 40.0f,
                                 static_cast<float>(markerHeight)},
                           centred, kProgressTextColour);

    const char* caption = screen == ScreenDownloading ? "安装文件下载中..." : "正在安装文件...";
    m_graphics->DrawString(caption, Font{"微软雅黑", 13.0f, FontStyleRegular, FontUnit::Pixel},
                           RectF{0, 385, 600, 20}, centred, kProgressTextColour);
}
