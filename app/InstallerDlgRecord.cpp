// CInstallerDlg: the installation record, the shortcuts and the client's start.
#include "app/ClientLaunch.h"
#include "app/EnvironmentCheck.h"
#include "app/InstallerDlg.h"

void CInstallerDlg::RecordAndLaunchClient() {
    m_installedVersion = m_clientPackage.version;
    RecordAndLaunch({m_installDir, m_startName, m_installedVersion});
}

bool CInstallerDlg::IsClientPresent() {
    return ClientFilePresent(m_installDir, m_startName);
}
