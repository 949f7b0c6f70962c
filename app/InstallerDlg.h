// The installer's main window: one borderless, custom-drawn window that shows one screen at a
// time (InstallerScreen), owns the seven buttons, the skin images, the back buffer, the drop
// shadow and the licence view, and is the shared state of the two worker threads.
//
// Threads: everything runs on the user-interface thread except the two workers
// (CheckEnvironmentThread, InstallThread), which receive this object and use its members.
// Members written by one thread and read by another while both run are atomics; the package
// records and the install paths are written by the check worker before it posts
// WM_CHECK_DONE and read by the user-interface thread only after handling it, so the window
// layer's message queue orders them. The object never goes away while a worker still runs:
// the destructor waits for running workers, and the application ends the process instead of
// destroying the window object when a worker outlives the bounded waits of the tear-down.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/thread.h"
#include "platform/window.h"
#include "proto/service.pb.h"
#include "service/DownloadProgress.h"
#include "service/HttpClient.h"
#include "service/UpdateInfo.h"
#include "ui/WebBrowser2.h"
#include "ui/WndShadow.h"

class BackBuffer;
class CCheckboxButton;
class CCloseButton;
class CCustomButton;
class CDisclaimerButton;
class CEditButton;
class CMainButton;
class CObj;
class CUndoCustomButton;
class GIFImage;
class Graphics;
class Image;

// Screen numbers; they travel in WM_CHECK_DONE and never change.
enum InstallerScreen : std::int32_t {
    ScreenInitial = 0,
    ScreenChecking = 1,
    ScreenUpToDate = 2,
    ScreenQuickInstall = 3,
    ScreenCustomInstall = 4,
    ScreenUpgrade = 5,
    ScreenDownloading = 6,
    ScreenInstalling = 7,
    ScreenLicence = 8,
};

class CInstallerDlg;

// The folder row's text of the custom-install screen: `installDir` itself, or, when it is
// longer than 30 UTF-16 units, its first characters within 30 units followed by "...".
std::string FolderRowText(const std::string& installDir);

// Thread procedures, each started with the window object as its only parameter.
int CheckEnvironmentThread(CInstallerDlg* dlg);
int InstallThread(CInstallerDlg* dlg);

class CInstallerDlg {
    friend int CheckEnvironmentThread(CInstallerDlg* dlg);
    friend int InstallThread(CInstallerDlg* dlg);

public:
    static constexpr int kTemplateId = 102;
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 422;
    static constexpr int kCustomHeight = 500;
    // The back buffer has this fixed size, whatever the window's size.
    static constexpr int kBufferWidth = 600;
    static constexpr int kBufferHeight = 500;
    static constexpr int kBrowserId = 2019;
    static constexpr int kLicenceResource = 161;  // HTML
    // Stopping a worker: polls of 100 ms until it ends or the count exceeds kMaxPolls.
    static constexpr int kMaxPolls = 20;
    static constexpr int kPollMilliseconds = 100;
    static constexpr const char* kTitle = "Orvik云电脑安装";

    // Reports a package download's progress to the main window (WM_INSTALL_PROGRESS).
    using CDownloadProgress = ::CDownloadProgress;

    // `updateEndpoint` is the update service's address used by m_queryClient.
    explicit CInstallerDlg(platform::Window* parent = nullptr,
                           std::string updateEndpoint = ORVIK_UPDATE_URL);
    // Waits for workers that still run: they use this object.
    ~CInstallerDlg();
    CInstallerDlg(const CInstallerDlg&) = delete;
    CInstallerDlg& operator=(const CInstallerDlg&) = delete;

    // Creates the window (WM_CREATE, then OnInitDialog) without entering the modal run; false
    // when the window cannot be created. DoModal calls it when the window does not exist yet.
    bool Create();
    // Shows the window and runs it until OnOK or OnCancel; the window is destroyed then.
    std::intptr_t DoModal();
    // The window; it exists from WM_CREATE to the end of the modal run. Workers post and send
    // to it; the object itself lives as long as this one.
    platform::Window* GetWindow() const { return m_hwnd; }
    // True while a worker started by this window has not returned.
    bool IsWorkerRunning() const;

    // ---- user-interface thread ----

    bool OnInitDialog();
    void OnOK();
    void OnCancel();

    void SwitchScreen(InstallerScreen next);
    void EnterScreen(InstallerScreen screen);
    void LeaveScreen(InstallerScreen screen);
    void RebuildBackBuffer();
    // Draws the current screen into the back buffer and copies CopyRegions() of it to the
    // window (outside WM_PAINT the window is asked to repaint instead).
    void PaintScreen();
    // What a paint copies to the window: the whole client area, or on the licence screen the
    // four strips around the licence view, which is never painted over.
    std::vector<platform::Rect> CopyRegions() const;

    // The main window's update query: a copy of `request` through m_queryClient; the result
    // code goes no further. Check worker's thread.
    void QueryUpdate(UpdateRequest request, UpdateResponse* response);
    // Default install root (m_defaultRoot); once, from OnInitDialog.
    void SurveyDrives();
    // Writes the installation record, makes the shortcuts and starts the client.
    void RecordAndLaunchClient();
    // 1 when no client runs or every running one was closed with the user's consent, else 0.
    // Install worker's thread.
    int CloseRunningClient();
    // The client executable "%s/%s" of m_installDir and m_startName can be opened.
    bool IsClientPresent();

    // ---- members, in the design's order ----

    std::atomic<std::int32_t> m_screen{ScreenInitial};
    std::atomic<std::int32_t> m_previousScreen{ScreenInitial};
    std::unique_ptr<platform::Thread> m_checkThread;  // null: no handle
    std::atomic<int> m_checkRunning{0};
    UpdateInfo m_clientPackage;
    UpdateInfo m_updaterPackage;
    std::string m_installedVersion;
    std::string m_installDir;  // ends with '/'
    std::string m_startName;
    std::unique_ptr<platform::Thread> m_installThread;  // null: no handle
    std::atomic<int> m_progress{0};
    std::atomic<int> m_progressPhase{0};
    CHttpClient m_queryClient;
    CWndShadow m_shadow;
    platform::Rect m_clientRect;
    // The back buffer of kBufferWidth x kBufferHeight and its drawing surface (owned by it).
    std::unique_ptr<BackBuffer> m_memBitmap;
    Graphics* m_graphics = nullptr;
    std::unique_ptr<Image> m_imgBackground;  // PNG 131
    std::unique_ptr<Image> m_imgHeader;      // PNG 148
    std::unique_ptr<Image> m_imgLicence;     // PNG 159
    std::unique_ptr<Image> m_imgMarker;      // PNG 135
    std::unique_ptr<Image> m_imgPathBox;     // PNG 151
    std::unique_ptr<Image> m_imgPanel;       // JPG 132
    std::array<CObj*, 7> m_buttons{};        // dispatch and paint order
    std::unique_ptr<CMainButton> m_mainButton;
    std::unique_ptr<CCustomButton> m_customButton;
    std::unique_ptr<CUndoCustomButton> m_collapseButton;
    std::unique_ptr<CEditButton> m_changeButton;
    std::unique_ptr<CCloseButton> m_closeButton;
    std::unique_ptr<CDisclaimerButton> m_licenceButton;
    std::unique_ptr<CCheckboxButton> m_agreeCheckbox;
    CWebBrowser2 m_browser;
    std::unique_ptr<GIFImage> m_checkAnimation;
    std::string m_defaultRoot;
    std::optional<std::span<const std::uint8_t>> m_icon;  // ICON 128, encoded

private:
    // Counts the workers whose body has not returned yet. Shared with the workers' closures,
    // so the count outlives this object's last use by a worker.
    struct WorkerCount {
        std::mutex mutex;
        std::condition_variable idle;
        int running = 0;
    };

    std::intptr_t WindowProc(platform::Window& window, unsigned msg, std::uintptr_t wParam,
                             std::intptr_t lParam);
    int OnCreate(platform::Window& window);
    void OnSize(int cx, int cy);
    void OnPaint();
    void OnDestroy();
    void OnLButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnLButtonUp(int x, int y);
    void OnMainButtonClicked();
    void OnChangeFolderClicked();
    void OnInstallProgress(std::uintptr_t percent);
    void ReturnFromLicence();
    void OpenLicenceView();
    void LayOutMainButton(int y, const char* caption);
    void LayOutInstallButtons(int rowY);
    void ResizeKeepingOrigin(int height);

    std::unique_ptr<platform::Thread> StartWorker(int (*procedure)(CInstallerDlg*));
    // Sleeps 100 ms and counts a poll, until `thread` has ended or `polls` exceeds `limit`
    // (a missing handle ends the wait after the first sleep), then releases the handle: a
    // worker still running is left to end on its own.
    static void WaitForWorker(std::unique_ptr<platform::Thread>& thread, int& polls, int limit);
    void WaitForWorkersToReturn();

    // Layers of PaintScreen.
    void DrawImageAtOrigin(Image* image);
    void DrawLowerPanel();
    void DrawStatusText(const std::string& text, float x, float y);
    void DrawFolderRow();
    void DrawProgress(std::int32_t screen);

    platform::Window* m_parent = nullptr;
    platform::Window* m_hwnd = nullptr;  // set at WM_CREATE, owned by m_window
    std::unique_ptr<platform::Window> m_window;
    std::shared_ptr<WorkerCount> m_workers = std::make_shared<WorkerCount>();
};
