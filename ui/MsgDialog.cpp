#include "ui/MsgDialog.h"

#include "platform/messages.h"

namespace {

constexpr const char* kUpgradeQuestion = "vode正在运行中，升级过程需要退出程序，是否继续？";

std::unique_ptr<CMainButton> MakeButton(platform::Window& owner, int x, unsigned message) {
    auto button = std::make_unique<CMainButton>();
    button->m_owner = &owner;
    button->m_x = x;
    button->m_y = 123;
    button->m_width = 105;
    button->m_height = 38;
    button->m_visible = false;
    button->m_notifyMessage = message;
    return button;
}

CMsgDialog* s_current = nullptr;  // UI thread only

}  // namespace

CMsgDialog* CMsgDialog::Current() {
    return s_current;
}

CMsgDialog::CMsgDialog(platform::Window* parent) : m_parent(parent) {}

CMsgDialog::~CMsgDialog() = default;

platform::Rect CMsgDialog::DialogRect(const platform::Rect& parent) {
    return platform::Rect{parent.x + parent.width / 2 - kWidth / 2,
                          parent.y + parent.height / 2 - kHeight / 2, kWidth, kHeight};
}

std::intptr_t CMsgDialog::DoModal() {
    if (!platform::IsUiThread()) {
        // The worker waits while the UI thread runs the dialog on its behalf.
        std::intptr_t result = -1;
        platform::RunOnUiThread([this, &result] { result = RunModal(); });
        return result;
    }
    return RunModal();
}

std::intptr_t CMsgDialog::RunModal() {
    // A window that is gone has nobody to tell; its process is ending.
    if (m_parent != nullptr && !m_parent->Exists()) {
        return -1;
    }
    platform::WindowOptions options;
    options.kind = platform::WindowKind::Dialog;
    options.owner = m_parent;
    options.rect = DialogRect(m_parent != nullptr ? m_parent->GetWindowRect() : platform::Rect{});
    m_window = platform::Window::Create(
        options,
        [this](platform::Window& window, unsigned message, std::uintptr_t wParam,
               std::intptr_t lParam) { return WindowProc(window, message, wParam, lParam); });
    if (!m_window) {
        return -1;
    }
    OnInitDialog(*m_window);
    m_liveWindow = m_window.get();
    m_outer = s_current;
    s_current = this;
    const std::intptr_t result = m_window->DoModal();
    s_current = m_outer;
    m_liveWindow = nullptr;
    m_window.reset();
    m_buttons = {};
    m_confirmButton.reset();
    m_cancelButton.reset();
    return result;
}

void CMsgDialog::OnInitDialog(platform::Window& window) {
    LoadResourceImage(146, "PNG", m_noticeIcon);
    const platform::Rect parent =
        m_parent != nullptr ? m_parent->GetWindowRect() : platform::Rect{};
    window.MoveWindow(DialogRect(parent), true);
    m_shadow.CreateShadow(&window);

    m_confirmButton = MakeButton(window, 65, WM_DIALOG_CONFIRM_CLICKED);
    m_cancelButton = MakeButton(window, 186, WM_DIALOG_CANCEL_CLICKED);
    m_cancelButton->SetText("取消");
    m_buttons = {m_confirmButton.get(), m_cancelButton.get()};
    if (m_mode == MsgConfirmUpgrade) {
        m_confirmButton->SetText("继续");
        m_confirmButton->m_visible = true;
        m_cancelButton->m_visible = true;
    } else {
        m_confirmButton->m_x = 125;
        m_confirmButton->SetText("确认");
        m_confirmButton->m_visible = true;
    }
}

std::intptr_t CMsgDialog::WindowProc(platform::Window& window, unsigned message,
                                     std::uintptr_t wParam, std::intptr_t lParam) {
    const int x = platform::PointX(lParam);
    const int y = platform::PointY(lParam);
    switch (message) {
        case platform::WM_CREATE:
            m_buttons = {};
            return 0;
        case platform::WM_SIZE: {
            const std::intptr_t result = window.DefaultProc(message, wParam, lParam);
            const auto size = static_cast<std::uint32_t>(lParam);
            m_backBuffer.OnSize(window, static_cast<int>(size & 0xFFFF),
                                static_cast<int>(size >> 16));
            return result;
        }
        case platform::WM_ERASEBKGND:
            return 1;
        case platform::WM_PAINT:
            OnPaint(window);
            return 0;
        case platform::WM_MOUSEMOVE: {
            bool repaint = false;
            for (CObj* button : m_buttons) {
                if (button != nullptr && button->OnMouseMove(x, y)) {
                    repaint = true;
                }
            }
            if (repaint) {
                window.Invalidate();
            }
            return 0;
        }
        case platform::WM_LBUTTONDOWN:
            for (CObj* button : m_buttons) {
                if (button != nullptr && button->OnLButtonDown(x, y)) {
                    window.Invalidate();
                    return 0;
                }
            }
            window.Post(platform::WM_NCLBUTTONDOWN, platform::HTCAPTION, lParam);  // drag
            return 0;
        case platform::WM_LBUTTONUP:
            for (CObj* button : m_buttons) {
                if (button != nullptr && button->HitTest(x, y)) {
                    button->OnLButtonUp(x, y);
                    break;
                }
            }
            window.Invalidate();
            return 0;
        case WM_DIALOG_CONFIRM_CLICKED:
            window.EndModal(platform::IDOK);
            return 0;
        case WM_DIALOG_CANCEL_CLICKED:
            window.EndModal(platform::IDCANCEL);
            return 0;
        case platform::WM_DESTROY: {
            const std::intptr_t result = window.DefaultProc(message, wParam, lParam);
            m_noticeIcon.reset();
            return result;
        }
        default:
            return window.DefaultProc(message, wParam, lParam);
    }
}

void CMsgDialog::OnPaint(platform::Window& window) {
    Graphics* g = m_backBuffer.GetGraphics();
    if (g == nullptr) {
        return;
    }
    g->Clear(kBackground);
    m_shadow.SetShadowSize(8);
    m_shadow.SetShadowOffset(0, 0);
    m_shadow.SetShadowColor(0x1C1C1C);
    m_shadow.SetShadowDarkness(50);

    const Font font{"微软雅黑", 16, FontStyleRegular, FontUnit::Pixel};
    if (m_mode == MsgConfirmUpgrade) {
        g->DrawString(kUpgradeQuestion, font, RectF{35, 45, 286, 120}, StringFormat{}, 0xFFC1C1C1);
    } else {
        g->DrawImage(m_noticeIcon.get(), 100, 40);
        g->DrawString(m_message, font, RectF{210, 65, 0, 0},
                      StringFormat{StringAlignment::Center, StringAlignment::Center}, 0xFFC1C1C1);
    }
    for (CObj* button : m_buttons) {
        if (button != nullptr) {
            button->Draw(*g);
        }
    }
    m_backBuffer.CopyToWindow(window);
}
