// The install and update worker: downloads and verifies both packages, closes a running
// client, extracts both packages, writes the data file, records and starts the client, and
// closes the installer. Every failure shows its notice and closes the installer; nothing is
// cleaned up after a failure.
//
// Runs on its own thread. Its progress reaches the window through synchronous sends (the
// download callback and the extraction driver); the switch to the installing screen writes
// the window's atomics and only invalidates.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "app/InstallerDlg.h"
#include "app/NetLinkFile.h"
#include "extract/ExtractArchive.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "service/Crc32.h"
#include "service/Download.h"
#include "ui/MsgDialog.h"

namespace {

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// One level only, as the folder's parent is expected to exist; failures show up later.
void EnsureDirectory(const std::string& path) {
    if (!IsDirectory(path)) {
        ::mkdir(path.c_str(), 0755);
    }
}

// Shows a one-button notice over the main window and waits for the user to dismiss it.
void ShowNotice(CInstallerDlg* dlg, const std::string& text) {
    CMsgDialog notice(dlg->GetWindow());
    notice.m_mode = MsgNotice;
    notice.SetMessage(text);
    notice.DoModal();
}

int Fail(CInstallerDlg* dlg, const std::string& text) {
    ShowNotice(dlg, text);
    dlg->GetWindow()->Post(platform::WM_CLOSE);
    return -1;
}

}  // namespace

int InstallThread(CInstallerDlg* dlg) {
    platform::Window* window = dlg->GetWindow();
    const std::string& dir = dlg->m_installDir;  // ends with '/'; the joins below keep "//"

    dlg->m_progressPhase = 0;
    EnsureDirectory(dir);

    const std::string clientArchive = dir + "/cloudpc.7z";
    {
        CInstallerDlg::CDownloadProgress progress(window);
        if (!DownloadPackage(dlg->m_clientPackage.down_url, clientArchive, &progress)) {
            return Fail(dlg, "下载客户端失败！");
        }
    }
    if (!VerifyPackage(clientArchive, dlg->m_clientPackage.crc)) {
        return Fail(dlg, "客户端文件错误！");
    }

    dlg->m_progressPhase = 1;
    const std::string updaterArchive = dir + "/cloudupdate.7z";
    {
        CInstallerDlg::CDownloadProgress progress(window);
        if (!DownloadPackage(dlg->m_updaterPackage.down_url, updaterArchive, &progress)) {
            return Fail(dlg, "下载更新包失败！");
        }
    }
    if (!VerifyPackage(updaterArchive, dlg->m_updaterPackage.crc)) {
        return Fail(dlg, "更新包文件错误！");
    }

    if (!dlg->CloseRunningClient()) {
        return Fail(dlg, "关闭主程序失败！");
    }

    // Straight to the installing screen: no screen switch, the worker keeps its handle.
    dlg->m_progress = 0;
    dlg->m_previousScreen = ScreenDownloading;
    dlg->m_screen = ScreenInstalling;
    window->Invalidate();

    dlg->m_progressPhase = 2;
    if (ExtractArchive(clientArchive.c_str(), dir, window) != 0) {
        return Fail(dlg, "解压客户端失败！");
    }
    std::remove(clientArchive.c_str());

    dlg->m_progressPhase = 3;
    const std::string updateDir = dir + "/Update";
    EnsureDirectory(updateDir);
    if (ExtractArchive(updaterArchive.c_str(), updateDir, window) != 0) {
        return Fail(dlg, "解压更新包失败！");
    }
    std::remove(updaterArchive.c_str());

    if (!WriteNetLinkFile(dir + "/NetLink.dat")) {
        ShowNotice(dlg, "解压配置失败！");
    }

    dlg->RecordAndLaunchClient();
    window->Post(platform::WM_CLOSE);
    return 0;
}
