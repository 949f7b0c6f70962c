// CInstallerDlg's folder choice on the custom-install screen.
#include "app/InstallerDlg.h"
#include "platform/folder_picker.h"

void CInstallerDlg::OnChangeFolderClicked() {
    // The chosen folder is used as the picker returns it: the root "/" gives "//orvikcloud/".
    if (const std::optional<std::string> chosen = platform::PickFolder(m_hwnd, m_installDir)) {
        m_installDir = *chosen + "/orvikcloud/";
    }
    m_hwnd->Invalidate();
}
