#include "app/install_location.h"

#include <windows.h>

#include "data/payload_table.h"
#include "ui/menu_model.h"

namespace Velmora {

ShortString InstallDirectory;
ShortString TargetPath;
uint16_t InstallCheckStatus;

bool QueryInstallDirectory() {
    // A count of 0 is a failure; one at or above the buffer's size is the size
    // the directory would need, not a length.
    const UINT count = GetWindowsDirectoryA(InstallDirectory, ShortStringLimit);
    if (count == 0 || count >= ShortStringLimit) {
        InstallDirectory[0] = '\0';
        return false;
    }
    InstallDirectory[count] = '\0';
    return true;
}

bool FormInstallPath(ShortString Path, const char* Name) {
    AssignString(Path, InstallDirectory);
    const bool whole = AppendString(Path, "\\") && AppendString(Path, Name);
    return whole && InstallDirectory[0] != '\0';
}

// Error codes of the open keep 16 bits; one that would read as 0 counts as 1.
static uint16_t CheckStatusOf(DWORD Error) {
    const uint16_t status = static_cast<uint16_t>(Error);
    return status != 0 ? status : 1;
}

void CheckInstallation() {
    QueryInstallDirectory();
    if (!FormInstallPath(TargetPath, PayloadTable[0].Name)) {
        TargetPath[0] = '\0';
        InstallCheckStatus =
            InstallDirectory[0] == '\0' ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE;
    } else {
        const HANDLE file = CreateFileA(TargetPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            InstallCheckStatus = CheckStatusOf(GetLastError());
        } else {
            InstallCheckStatus = 0;
            CloseHandle(file);
        }
    }
    AssignString(MenuCaptions[1], InstallCheckStatus != 0 ? "Install" : "Reinstall");
}

} // namespace Velmora
