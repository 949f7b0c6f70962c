// CInstallerDlg's window procedure: the window messages, the mouse dispatch to the buttons
// and the notifications of the buttons and workers.
#include "app/InstallerDlg.h"
#include "platform/messages.h"
#include "ui/CheckboxButton.h"
#include "ui/MainButton.h"

std::intptr_t CInstallerDlg::WindowProc(platform::Window& window, unsigned msg,
                                        std::uintptr_t wParam, std::intptr_t lParam) {
    using namespace platform;
    switch (msg) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_SIZE: {
            const auto size = static_cast<std::uint32_t>(lParam);
            OnSize(static_cast<int>(size & 0xFFFF), static_cast<int>(size >> 16));
            return 0;
        }
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the back buffer covers the whole window
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(PointX(lParam), PointY(lParam));
            break;
        case WM_MOUSEMOVE:
            OnMouseMove(PointX(lParam), PointY(lParam));
            break;
        case WM_LBUTTONUP:
            OnLButtonUp(PointX(lParam), PointY(lParam));
            break;
        case WM_COMMAND:
            // Enter and Esc, and WM_CLOSE through the default processing.
            if (wParam == static_cast<std::uintptr_t>(IDOK)) {
                OnOK();
                return 0;
            }
            if (wParam == static_cast<std::uintptr_t>(IDCANCEL)) {
                OnCancel();
                return 0;
            }
            break;
        case WM_MAINBUTTON_CLICKED:
            OnMainButtonClicked();
            return 0;
        case WM_CUSTOMINSTALL_CLICKED:
            SwitchScreen(ScreenCustomInstall);
            return 0;
        case WM_COLLAPSE_CLICKED:
            SwitchScreen(ScreenQuickInstall);
            return 0;
        case WM_CHANGEFOLDER_CLICKED:
            OnChangeFolderClicked();
            return 0;
        case WM_CLOSEBUTTON_CLICKED:
            OnCancel();
            return 0;
        case WM_DRIVE_CLICKED:
            SwitchScreen(ScreenCustomInstall);
            return 0;
        case WM_INSTALL_PROGRESS:
            OnInstallProgress(wParam);
            return 0;
        case WM_LICENCE_CLICKED:
            SwitchScreen(ScreenLicence);
            return 0;
        case WM_AGREE_TOGGLED:
            m_mainButton->m_state = m_agreeCheckbox->m_checked ? StateNormal : StateDisabled;
            PaintScreen();
            return 0;
        case WM_CHECK_DONE:
            // Only a screen number is a decision; anything else is not acted on.
            if (wParam <= static_cast<std::uintptr_t>(ScreenLicence)) {
                SwitchScreen(static_cast<InstallerScreen>(wParam));
            }
            return 1;
        case WM_REDRAW_REQUEST:
            window.Invalidate();
            return 1;
        default:
            break;
    }
    return window.DefaultProc(msg, wParam, lParam);
}

void CInstallerDlg::OnMainButtonClicked() {
    switch (m_screen.load()) {
        case ScreenUpToDate:
            RecordAndLaunchClient();
            OnCancel();
            break;
        case ScreenQuickInstall:
            m_installDir = m_defaultRoot + "/orvikcloud/";
            SwitchScreen(ScreenDownloading);
            break;
        case ScreenCustomInstall:
        case ScreenUpgrade:
            SwitchScreen(ScreenDownloading);
            break;
        default:
            break;
    }
}

void CInstallerDlg::OnInstallProgress(std::uintptr_t percent) {
    // The sender's int comes back as it was sent; division truncates toward zero and the
    // result is not clamped.
    const int w = static_cast<int>(static_cast<std::intptr_t>(percent));
    switch (m_progressPhase.load()) {
        case 0:
        case 2:
            m_progress = w / 2;
            break;
        case 1:
        case 3:
            m_progress = w / 2 + 50;
            break;
        default:
            break;
    }
    m_hwnd->Invalidate();
}

void CInstallerDlg::OnLButtonDown(int x, int y) {
    for (CObj* button : m_buttons) {
        if (button != nullptr && button->OnLButtonDown(x, y)) {
            if (m_hwnd->Exists()) {
                m_hwnd->Invalidate();
            }
            return;
        }
    }
    // A press that no button takes drags the window: the whole window is its caption.
    m_hwnd->Post(platform::WM_NCLBUTTONDOWN, platform::HTCAPTION, platform::MakePoint(x, y));
}

void CInstallerDlg::OnMouseMove(int x, int y) {
    if (m_screen == ScreenChecking) {
        return;  // no hover effects during the check
    }
    bool repaint = false;
    for (CObj* button : m_buttons) {
        if (button != nullptr && button->OnMouseMove(x, y)) {
            repaint = true;
        }
    }
    if (repaint) {
        m_hwnd->Invalidate();
    }
}

void CInstallerDlg::OnLButtonUp(int x, int y) {
    if (m_screen == ScreenLicence) {
        if (m_mainButton && m_mainButton->HitTest(x, y)) {
            ReturnFromLicence();
        }
        return;
    }
    // The first button whose rectangle holds the point gets the release, visible or not.
    for (CObj* button : m_buttons) {
        if (button != nullptr && button->HitTest(x, y)) {
            button->OnLButtonUp(x, y);
            break;
        }
    }
    if (m_hwnd->Exists()) {
        m_hwnd->Invalidate();
    }
}
