#include "shell/shell_version.h"

#include <cstring>

#include <windows.h>

namespace Velmora {

uint32_t WindowsVersionFlags = 0;

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is a 148-byte record");

uint32_t ClassifyWindowsVersion() {
    OSVERSIONINFOA Info;
    std::memset(&Info, 0, sizeof Info);
    Info.dwOSVersionInfoSize = sizeof Info;
    if (!GetVersionExA(&Info)) {
        // The fields were never filled in; a zeroed record would read as Win32s.
        return 0;
    }
    return ClassifyVersionFields(Info.dwPlatformId, Info.dwMajorVersion, Info.dwMinorVersion);
}

void InitialiseShellModule() {
    WindowsVersionFlags = ClassifyWindowsVersion();
}

} // namespace Velmora
