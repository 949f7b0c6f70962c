// orvik-installer: the installer and updater of the Orvik cloud-PC client.
#include "app/InstallerApp.h"

namespace {
CInstallerApp theApp;
}

int main() {
    theApp.InitInstance();
    const bool started = theApp.m_gdiplusToken != 0;  // false: no display to show the window on
    const int code = theApp.ExitInstance();
    return started ? code : 1;
}
