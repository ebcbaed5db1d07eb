// The version classification proper, free of Windows headers so that it
// builds and is tested on any host.
#include "shell/shell_version.h"

namespace Velmora {

uint32_t ClassifyVersionFields(uint32_t PlatformId, uint32_t MajorVersion, uint32_t MinorVersion) {
    switch (PlatformId) {
    case PlatformWin32s:
        return VersionWin32s;
    case PlatformWindows:
        if (MinorVersion == 0) {
            return VersionWindows95;
        }
        if (MinorVersion == 1) {
            return VersionWindows95Minor1;
        }
        return VersionWindows98;
    case PlatformNt:
        // Below 3 there was no NT release; take it as the oldest NT class.
        // 6 and above are every later NT: the newest class, so that they keep
        // the all-users folders.
        if (MajorVersion <= 3) {
            return VersionNt3;
        }
        if (MajorVersion == 4) {
            return VersionNt4;
        }
        return VersionNt5;
    default:
        return 0;
    }
}

} // namespace Velmora
