// The install worker's place until it lands with the tests of its flows: the real worker
// (downloads, verification, extraction, record and launch) is on the install branch.
#include "app/InstallerDlg.h"

int InstallThread(CInstallerDlg*) {  // replaced by the install worker
    return 0;
}
