// CMsgDialog: the installer's skinned modal message box, a borderless 356 x 208 dialog
// centred over its parent, with a dark grey background, its own drop shadow and one or two
// main buttons. Forms: a notice with an icon, the caller's text and "确认"; or the fixed
// upgrade question with "继续" and "取消".
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/window.h"
#include "ui/BackBuffer.h"
#include "ui/Image.h"
#include "ui/MainButton.h"
#include "ui/WndShadow.h"

enum MsgMode : std::int32_t { MsgNotice = 0, MsgConfirmUpgrade = 1 };

class CMsgDialog {
public:
    static constexpr int kWidth = 356;
    static constexpr int kHeight = 208;
    static constexpr Argb kBackground = 0xFF6C6C6C;

    // `parent` (the main window) is not owned and must outlive DoModal.
    explicit CMsgDialog(platform::Window* parent);
    ~CMsgDialog();
    CMsgDialog(const CMsgDialog&) = delete;
    CMsgDialog& operator=(const CMsgDialog&) = delete;

    void SetMessage(const std::string& text) { m_message = text; }

    // Shows the dialog modally and returns IDOK or IDCANCEL (-1 when no window could be
    // made or the parent window no longer exists). Any thread: the dialog always runs on the
    // UI thread; a worker waits here for the answer. The parent takes no input meanwhile.
    std::intptr_t DoModal();

    // The dialog's rectangle over a parent window's rectangle (screen coordinates).
    static platform::Rect DialogRect(const platform::Rect& parent);

    // The dialog's window while it runs, else null. Any thread may read it.
    platform::Window* LiveWindow() const { return m_liveWindow.load(); }

    // UI thread. The dialog whose modal run is the innermost one going on, else null.
    static CMsgDialog* Current();

    BackBuffer m_backBuffer{kWidth, kHeight};  // with the client rectangle of the last resize
    std::unique_ptr<Image> m_noticeIcon;       // PNG 146
    CWndShadow m_shadow;
    std::array<CObj*, 2> m_buttons{};  // dispatch order: confirm, cancel
    std::unique_ptr<CMainButton> m_confirmButton;
    std::unique_ptr<CMainButton> m_cancelButton;
    std::int32_t m_mode = MsgNotice;
    std::string m_message;

private:
    std::intptr_t RunModal();
    std::intptr_t WindowProc(platform::Window& window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);
    void OnInitDialog(platform::Window& window);
    void OnPaint(platform::Window& window);

    platform::Window* m_parent;
    std::unique_ptr<platform::Window> m_window;
    std::atomic<platform::Window*> m_liveWindow{nullptr};
    CMsgDialog* m_outer = nullptr;  // the dialog that was current before this one
};
