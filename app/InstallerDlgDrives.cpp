// CInstallerDlg: the default install root.
#include "app/DriveSurvey.h"
#include "app/InstallerDlg.h"

void CInstallerDlg::SurveyDrives() {
    m_defaultRoot = SurveyDefaultRoot();
}
