// The environment check worker: asks the update service for the current packages, looks for
// an installation and tells the window which screen follows.
#include <chrono>

#include "app/ClientRecord.h"
#include "app/DriveSurvey.h"
#include "app/EnvironmentCheck.h"
#include "app/InstallerDlg.h"
#include "platform/messages.h"
#include "service/HostIdentity.h"
#include "service/PackageQuery.h"

int CheckEnvironmentThread(CInstallerDlg* dlg) {
    const auto start = std::chrono::steady_clock::now();
    // Cleared when the window closed before this thread got going: nothing is asked,
    // written or posted.
    if (dlg->m_checkRunning.load() == 0) {
        return -1;
    }
    QueryPackages([dlg](const UpdateRequest& request,
                        UpdateResponse* response) { dlg->QueryUpdate(request, response); },
                  GetHostMacAddress(), &dlg->m_clientPackage, &dlg->m_updaterPackage);

    dlg->m_installDir = DefaultInstallFolder(dlg->m_defaultRoot);
    dlg->m_startName = kDefaultStartName;
    const int next = DecideFromRecord(ReadClientRecord(), dlg->m_clientPackage.version,
                                      dlg->m_installDir, dlg->m_startName, dlg->m_installedVersion,
                                      [dlg] { return dlg->IsClientPresent(); });

    WaitUntilElapsed(start, kMinimumCheckDuration);
    // Every member above is written before the post that lets the window read them.
    if (platform::Window* window = dlg->GetWindow()) {
        window->Post(WM_CHECK_DONE, static_cast<std::uintptr_t>(next), 0);
    }
    return 0;
}
