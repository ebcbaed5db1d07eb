#include "actions/uninstall_action.h"

#include <windows.h>

#include "app/install_location.h"

namespace Velmora {

void UninstallAction() {
    if (InstallCheckStatus != 0) {
        MessageBoxA(nullptr, " Setup did not find the installed file(s) on your system",
                    " File not found", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const int answer =
        MessageBoxA(nullptr, "This will remove Velmora from the system.", " Uninstallation",
                    MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer != IDOK) {
        return;
    }
    // The install action closes every file it writes, so nothing of ours
    // holds the file open here.
    if (DeleteFileA(TargetPath)) {
        InstallCheckStatus = 1;
        MessageBoxA(nullptr, " Software removed from your system.", " Completed", MB_OK);
    } else {
        MessageBoxA(nullptr, " Failed to remove the file.", " Error", MB_OK | MB_ICONEXCLAMATION);
    }
}

} // namespace Velmora
