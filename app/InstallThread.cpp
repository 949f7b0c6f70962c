// The install and update worker: downloads and verifies both packages, closes a running
// client, extracts both packages, writes NetLink.dat, the record and the shortcuts, starts
// the client and closes the installer. Runs on its own thread, started on entering the
// downloading screen; every outcome ends with WM_CLOSE posted to the main window.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "app/InstallerDlg.h"
#include "app/NetLinkFile.h"
#include "extract/ExtractArchive.h"
#include "platform/messages.h"
#include "service/Crc32.h"
#include "service/Download.h"
#include "ui/MsgDialog.h"

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One level only; a failure shows later, as the download that cannot create its file.
void EnsureDirectory(const std::string& path) {
    if (!IsDirectory(path)) {
        ::mkdir(path.c_str(), 0755);
    }
}

// Shows `text` as a notice over the main window and waits until the user dismisses it.
void ShowNotice(CInstallerDlg* dlg, const char* text) {
    CMsgDialog dialog(dlg->GetWindow());
    dialog.m_mode = MsgNotice;
    dialog.SetMessage(text);
    dialog.DoModal();
}

// The notice, then the close: nothing is cleaned up.
int Fail(CInstallerDlg* dlg, const char* text) {
    ShowNotice(dlg, text);
    dlg->GetWindow()->Post(platform::WM_CLOSE);
    return -1;
}

}  // namespace

int InstallThread(CInstallerDlg* dlg) {
    platform::Window* window = dlg->GetWindow();
    // The install folder ends with '/', so the joined paths hold a doubled separator, which
    // the file system accepts; the paths are used exactly so.
    const std::string& dir = dlg->m_installDir;
    const std::string clientArchive = dir + "/cloudpc.7z";
    const std::string updaterArchive = dir + "/cloudupdate.7z";

    dlg->m_progressPhase = 0;
    EnsureDirectory(dir);

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
    {
        CInstallerDlg::CDownloadProgress progress(window);
        if (!DownloadPackage(dlg->m_updaterPackage.down_url, updaterArchive, &progress)) {
            return Fail(dlg, "下载更新包失败！");
        }
    }
    if (!VerifyPackage(updaterArchive, dlg->m_updaterPackage.crc)) {
        return Fail(dlg, "更新包文件错误！");
    }

    // Asked only now, when both packages are on disk and verified.
    if (!dlg->CloseRunningClient()) {
        return Fail(dlg, "关闭主程序失败！");
    }

    // Straight to the installing screen: entering it through SwitchScreen would leave the
    // downloading screen, which waits for this very worker.
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
        ShowNotice(dlg, "解压配置失败！");  // not fatal: the installation goes on
    }

    dlg->RecordAndLaunchClient();
    window->Post(platform::WM_CLOSE);
    return 0;
}
