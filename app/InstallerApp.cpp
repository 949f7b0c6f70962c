#include "app/InstallerApp.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/InstallerDlg.h"
#include "platform/window.h"
#include "ui/WndShadow.h"

CInstallerApp::CInstallerApp(std::string updateEndpoint)
    : m_updateEndpoint(std::move(updateEndpoint)) {}

bool CInstallerApp::InitInstance() {
    m_gdiplusToken = platform::InitializeUi() ? 1 : 0;
    if (m_gdiplusToken == 0) {
        std::fprintf(stderr, "orvik-installer: no display\n");
        return false;
    }
    CWndShadow::InitShadowClass();

    CInstallerDlg dlg(nullptr, m_updateEndpoint);
    dlg.DoModal();
    if (dlg.IsWorkerRunning()) {
        // A worker still uses the window object after the window's bounded waits (it waits
        // for the update service or a download). Destroying the object would pull its state
        // away under the worker, and waiting would outlast the designed tear-down: end the
        // process here, as the worker would have ended with it.
        ExitInstance();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return false;
}

int CInstallerApp::ExitInstance() {
    // cairo, pango and the toolkit need no shutdown call of their own.
    m_gdiplusToken = 0;
    return 0;
}
