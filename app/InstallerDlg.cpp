// CInstallerDlg's lifecycle: construction, window creation and initialisation, the back
// buffer, the workers and the tear-down.
#include "app/InstallerDlg.h"

#include <chrono>
#include <thread>
#include <utility>

#include "platform/messages.h"
#include "platform/resources.h"
#include "ui/BackBuffer.h"
#include "ui/CheckboxButton.h"
#include "ui/CloseButton.h"
#include "ui/CustomButton.h"
#include "ui/DisclaimerButton.h"
#include "ui/EditButton.h"
#include "ui/GIFImage.h"
#include "ui/Image.h"
#include "ui/MainButton.h"
#include "ui/UndoCustomButton.h"

namespace {

template <class Button>
std::unique_ptr<Button> MakeButton(platform::Window* owner, int x, int y, int width, int height,
                                   bool visible) {
    auto button = std::make_unique<Button>();
    button->m_owner = owner;
    button->m_x = x;
    button->m_y = y;
    button->m_width = width;
    button->m_height = height;
    button->m_visible = visible;
    button->m_state = StateNormal;
    return button;
}

}  // namespace

CInstallerDlg::CInstallerDlg(platform::Window* parent, std::string updateEndpoint)
    : m_queryClient(std::move(updateEndpoint)),
      m_memBitmap(std::make_unique<BackBuffer>(kBufferWidth, kBufferHeight)),
      m_icon(platform::FindResource("ICON", 128)),
      m_parent(parent) {}

CInstallerDlg::~CInstallerDlg() {
    if (m_window && m_window->Exists()) {
        m_window->Destroy();
    }
    WaitForWorkersToReturn();
}

bool CInstallerDlg::Create() {
    if (m_window) {
        return m_window->Exists();
    }
    platform::WindowOptions options;
    options.kind = platform::WindowKind::TopLevel;
    options.owner = m_parent;
    options.rect = {0, 0, kWidth, kHeight};
    m_window = platform::Window::Create(
        options, [this](platform::Window& window, unsigned msg, std::uintptr_t wParam,
                        std::intptr_t lParam) { return WindowProc(window, msg, wParam, lParam); });
    if (!m_window) {
        m_hwnd = nullptr;
        return false;
    }
    OnInitDialog();
    m_window->Show(true);
    return true;
}

std::intptr_t CInstallerDlg::DoModal() {
    if (!m_window && !Create()) {
        return -1;
    }
    if (!m_window->Exists()) {
        return -1;
    }
    return m_window->DoModal();
}

int CInstallerDlg::OnCreate(platform::Window& window) {
    m_hwnd = &window;
    m_buttons.fill(nullptr);
    m_progress = 0;
    m_checkThread.reset();
    m_installThread.reset();
    m_checkAnimation.reset();
    window.SetTitle(kTitle);
    return 0;
}

bool CInstallerDlg::OnInitDialog() {
    if (m_icon) {
        m_hwnd->SetIcon(*m_icon);
    }

    LoadResourceImage(131, "PNG", m_imgBackground);
    LoadResourceImage(148, "PNG", m_imgHeader);
    LoadResourceImage(159, "PNG", m_imgLicence);
    LoadResourceImage(132, "JPG", m_imgPanel);
    LoadResourceImage(135, "PNG", m_imgMarker);
    LoadResourceImage(151, "PNG", m_imgPathBox);

    SurveyDrives();

    m_hwnd->MoveWindow({0, 0, kWidth, kHeight}, true);
    m_shadow.CreateShadow(m_hwnd);
    m_screen = ScreenInitial;

    platform::Window* owner = m_hwnd;
    const int panelHeight = m_imgPanel ? m_imgPanel->Height() : 0;
    m_mainButton = MakeButton<CMainButton>(owner, 193, 457, 214, 50, false);
    m_customButton = MakeButton<CCustomButton>(owner, 488, 387, 92, 14, false);
    m_collapseButton = MakeButton<CUndoCustomButton>(owner, 222, m_clientRect.height - panelHeight,
                                                     156, 34, false);
    m_changeButton = MakeButton<CEditButton>(owner, 450, 412, 60, 32, false);
    m_changeButton->m_notifyMessage = WM_CHANGEFOLDER_CLICKED;
    m_closeButton = MakeButton<CCloseButton>(owner, 573, 14, 13, 13, true);
    m_licenceButton = MakeButton<CDisclaimerButton>(owner, 46, 386, 111, 14, false);
    m_agreeCheckbox = MakeButton<CCheckboxButton>(owner, 20, 386, 16, 16, false);
    m_agreeCheckbox->m_checked = false;

    m_buttons = {m_mainButton.get(),   m_customButton.get(), m_collapseButton.get(),
                 m_changeButton.get(), m_closeButton.get(),  m_licenceButton.get(),
                 m_agreeCheckbox.get()};

    SwitchScreen(ScreenChecking);
    return true;
}

void CInstallerDlg::OnOK() {
    if (m_hwnd != nullptr) {
        m_hwnd->EndModal(platform::IDOK);
    }
}

void CInstallerDlg::OnCancel() {
    if (m_hwnd != nullptr) {
        m_hwnd->EndModal(platform::IDCANCEL);
    }
}

void CInstallerDlg::OnSize(int cx, int cy) {
    if (cx != 0 && cy != 0) {
        RebuildBackBuffer();
    }
    m_clientRect = {0, 0, cx, cy};
    m_memBitmap->SetClientRect(m_clientRect);
    m_hwnd->Invalidate();
}

void CInstallerDlg::RebuildBackBuffer() {
    // Always the fixed 600 x 500, whatever the window's size, at the window's device scale.
    m_memBitmap->Rebuild(m_hwnd != nullptr ? m_hwnd->ScaleFactor() : 1);
    m_graphics = m_memBitmap->GetGraphics();
}

void CInstallerDlg::OnPaint() {
    // A minimised window is drawn by the desktop (its icon); there is nothing to paint.
    if (m_hwnd->IsMinimized()) {
        return;
    }
    PaintScreen();
}

void CInstallerDlg::OnDestroy() {
    if (m_checkAnimation) {
        m_checkAnimation->StopAnimation();
        m_checkAnimation.reset();
    }

    // Both waits share one poll counter: at most 22 sleeps of 100 ms together.
    m_checkRunning = 0;
    int polls = 0;
    WaitForWorker(m_checkThread, polls, kMaxPolls);
    WaitForWorker(m_installThread, polls, kMaxPolls);

    if (m_browser.Exists()) {
        m_browser.DestroyWindow();
    }

    m_buttons.fill(nullptr);
    m_mainButton.reset();
    m_customButton.reset();
    m_collapseButton.reset();
    m_changeButton.reset();
    m_closeButton.reset();
    m_licenceButton.reset();
    m_agreeCheckbox.reset();

    m_imgBackground.reset();
    m_imgHeader.reset();
    m_imgLicence.reset();
    m_imgPanel.reset();
    m_imgMarker.reset();
    m_imgPathBox.reset();
}

std::unique_ptr<platform::Thread> CInstallerDlg::StartWorker(int (*procedure)(CInstallerDlg*)) {
    std::shared_ptr<WorkerCount> workers = m_workers;
    {
        std::lock_guard lock(workers->mutex);
        ++workers->running;
    }
    auto thread = platform::Thread::Start([this, procedure, workers] {
        const int code = procedure(this);
        // From here on this object may be gone: only the shared count is touched.
        {
            std::lock_guard lock(workers->mutex);
            --workers->running;
        }
        workers->idle.notify_all();
        return code;
    });
    if (!thread) {
        std::lock_guard lock(workers->mutex);
        --workers->running;
    }
    return thread;
}

void CInstallerDlg::WaitForWorker(std::unique_ptr<platform::Thread>& thread, int& polls,
                                  int limit) {
    // A missing handle ends the wait after the first sleep, as an unreadable exit code does.
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
        ++polls;
        if (polls > limit) {
            break;
        }
    } while (thread && thread->ExitCode() == platform::Thread::kStillActive);
    // A worker still running is left to end on its own (the handle detaches it).
    thread.reset();
}

bool CInstallerDlg::IsWorkerRunning() const {
    std::lock_guard lock(m_workers->mutex);
    return m_workers->running > 0;
}

void CInstallerDlg::WaitForWorkersToReturn() {
    std::unique_lock lock(m_workers->mutex);
    const auto idle = [this] { return m_workers->running == 0; };
    if (!platform::IsUiThread()) {
        m_workers->idle.wait(lock, idle);
        return;
    }
    // A worker on its way out may still need the UI thread (a notice it asks for, which
    // finds its parent gone): keep the loop running meanwhile.
    while (!idle()) {
        lock.unlock();
        platform::PumpEvents();
        lock.lock();
        m_workers->idle.wait_for(lock, std::chrono::milliseconds(10), idle);
    }
}

void CInstallerDlg::QueryUpdate(UpdateRequest request, UpdateResponse* response) {
    m_queryClient.PostUpdateRequest(std::move(request), response);
}
