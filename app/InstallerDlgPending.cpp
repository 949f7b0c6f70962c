// Parts of the main window that other files provide once they land; each definition here
// goes when its real one arrives.
#include "app/InstallerDlg.h"

int InstallThread(CInstallerDlg*) {  // replaced by the install worker
    return 0;
}
