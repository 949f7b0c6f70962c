// Parts of the main window that other files provide once they land; each definition here
// goes when its real one arrives.
#include <chrono>
#include <thread>

#include "app/InstallerDlg.h"
#include "platform/messages.h"

void CInstallerDlg::SurveyDrives() {}  // replaced by the drive survey

bool CInstallerDlg::IsClientPresent() {  // replaced by the environment check worker
    return false;
}

void CInstallerDlg::RecordAndLaunchClient() {}  // replaced by the installation record

int CInstallerDlg::CloseRunningClient() {  // replaced by the running-client control
    return 1;
}

int CheckEnvironmentThread(CInstallerDlg* dlg) {  // replaced by the environment check worker
    const auto start = std::chrono::steady_clock::now();
    if (dlg->m_checkRunning == 0) {
        return -1;
    }
    std::this_thread::sleep_until(start + std::chrono::milliseconds(1000));
    dlg->GetWindow()->Post(WM_CHECK_DONE, ScreenQuickInstall, 0);
    return 0;
}

int InstallThread(CInstallerDlg*) {  // replaced by the install worker
    return 0;
}
