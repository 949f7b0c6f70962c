// CInstallerDlg: closing a running client before its files are replaced.
#include "app/InstallerDlg.h"
#include "app/RunningClient.h"
#include "ui/MsgDialog.h"

int CInstallerDlg::CloseRunningClient() {
    return CloseRunningClientProcesses([this] {
        CMsgDialog dialog(GetWindow());
        dialog.m_mode = MsgConfirmUpgrade;
        return static_cast<int>(dialog.DoModal());
    });
}
