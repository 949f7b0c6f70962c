// CInstallerDlg's screens: entering and leaving each one, and switching between them.
#include <string>

#include "app/InstallerDlg.h"
#include "platform/program_path.h"
#include "ui/CheckboxButton.h"
#include "ui/CloseButton.h"
#include "ui/CustomButton.h"
#include "ui/DisclaimerButton.h"
#include "ui/EditButton.h"
#include "ui/GIFImage.h"
#include "ui/MainButton.h"
#include "ui/UndoCustomButton.h"

namespace {

void Place(CObj& button, int x, int y, int width, int height) {
    button.m_x = x;
    button.m_y = y;
    button.m_width = width;
    button.m_height = height;
    button.m_visible = true;
}

}  // namespace

void CInstallerDlg::SwitchScreen(InstallerScreen next) {
    LeaveScreen(static_cast<InstallerScreen>(m_screen.load()));
    m_screen = next;
    EnterScreen(next);
    m_hwnd->Invalidate();
}

void CInstallerDlg::ResizeKeepingOrigin(int height) {
    const platform::Rect rect = m_hwnd->GetWindowRect();
    m_hwnd->MoveWindow({rect.x, rect.y, kWidth, height}, true);
}

void CInstallerDlg::LayOutMainButton(int y, const char* caption) {
    Place(*m_mainButton, 200, y, 200, 50);
    m_mainButton->SetText(caption);
}

void CInstallerDlg::LayOutInstallButtons(int rowY) {
    // The main button stays usable only while the agreement box is ticked.
    LayOutMainButton(342, "快速安装");
    m_mainButton->SetSubText("");
    m_mainButton->m_state = m_agreeCheckbox->m_checked ? StateNormal : StateDisabled;
    Place(*m_licenceButton, 46, rowY, 111, 14);
    m_licenceButton->SetText("同意用户许可协议");
    Place(*m_agreeCheckbox, 20, rowY, 16, 16);
}

void CInstallerDlg::EnterScreen(InstallerScreen screen) {
    switch (screen) {
        case ScreenChecking:
            m_checkAnimation = std::make_unique<GIFImage>();
            m_checkAnimation->StartAnimation(m_hwnd, 292, 260);
            m_checkRunning = 1;
            m_checkThread = StartWorker(&CheckEnvironmentThread);
            break;
        case ScreenUpToDate:
            LayOutMainButton(308, "立即启动");
            m_mainButton->m_state = StateNormal;
            m_customButton->m_visible = false;
            break;
        case ScreenQuickInstall:
            ResizeKeepingOrigin(kHeight);
            LayOutInstallButtons(386);
            Place(*m_customButton, 488, 387, 92, 14);
            m_customButton->SetText("自定义安装");
            break;
        case ScreenCustomInstall:
            ResizeKeepingOrigin(kCustomHeight);
            LayOutInstallButtons(464);
            Place(*m_collapseButton, 538, 465, 42, 14);
            m_collapseButton->SetText("收起");
            m_changeButton->m_visible = true;  // its rectangle stays (450, 412, 60, 32)
            break;
        case ScreenUpgrade:
            LayOutMainButton(308, "升级");
            m_mainButton->SetSubText("");
            m_mainButton->m_state = StateNormal;
            m_customButton->m_visible = false;
            break;
        case ScreenDownloading:
            m_progress = 0;
            m_installThread = StartWorker(&InstallThread);
            break;
        case ScreenLicence:
            ResizeKeepingOrigin(kHeight);
            LayOutMainButton(352, "确定");
            m_mainButton->SetSubText("");
            m_mainButton->m_state = StateNormal;
            m_closeButton->m_visible = false;
            OpenLicenceView();
            break;
        default:
            break;
    }
}

void CInstallerDlg::OpenLicenceView() {
    // Without the program's path or a web view the screen shows without the page.
    const std::optional<std::string> path = platform::ProgramPath();
    if (!path) {
        return;
    }
    const std::string address = CWebBrowser2::ResourceAddress(*path, kLicenceResource);
    if (!m_browser.Create(m_hwnd, {30, 50, 570 - 30, 338 - 50}, kBrowserId)) {
        return;
    }
    m_browser.MoveWindow({30, 50, 540, 278});
    m_browser.SetVisible(true);
    m_browser.Navigate(address);
}

void CInstallerDlg::LeaveScreen(InstallerScreen screen) {
    switch (screen) {
        case ScreenChecking: {
            m_checkRunning = 0;
            int polls = 0;
            WaitForWorker(m_checkThread, polls, kMaxPolls);
            if (m_checkAnimation) {
                m_checkAnimation->StopAnimation();
                m_checkAnimation.reset();
            }
            break;
        }
        case ScreenQuickInstall:
            m_mainButton->m_visible = false;
            m_customButton->m_visible = false;
            m_licenceButton->m_visible = false;
            m_agreeCheckbox->m_visible = false;
            break;
        case ScreenCustomInstall:
            m_collapseButton->m_visible = false;
            m_changeButton->m_visible = false;
            m_mainButton->m_visible = false;
            m_licenceButton->m_visible = false;
            m_agreeCheckbox->m_visible = false;
            break;
        case ScreenUpgrade:
            m_mainButton->m_visible = false;
            break;
        case ScreenDownloading:
        case ScreenInstalling: {
            int polls = 0;
            WaitForWorker(m_installThread, polls, kMaxPolls);
            break;
        }
        case ScreenLicence:
            m_browser.SetVisible(false);
            m_browser.DestroyWindow();
            m_mainButton->m_visible = false;
            m_closeButton->m_visible = true;
            break;
        default:
            break;
    }
    m_previousScreen = screen;
}

void CInstallerDlg::ReturnFromLicence() {
    const auto back = static_cast<InstallerScreen>(m_previousScreen.load());
    LeaveScreen(ScreenLicence);
    m_screen = back;
    EnterScreen(back);
    m_hwnd->Invalidate();
}
