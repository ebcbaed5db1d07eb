// Where the screensaver goes and whether it is there.
#pragma once

#include <cstdint>

#include "support/support_strings.h"

namespace Velmora {

// The Windows directory as the system reports it; empty when it could not be
// had whole.
extern ShortString InstallDirectory;
// The installed screensaver's full path; empty when there is none to name.
extern ShortString TargetPath;
// 0 = the file at TargetPath could be opened (installed); otherwise the error
// of the failed open.
extern uint16_t InstallCheckStatus;

// Reads the Windows directory into InstallDirectory. A directory that does not
// fit, or none at all, leaves it empty and returns false.
bool QueryInstallDirectory();

// Path = InstallDirectory + "\" + Name. Returns false when InstallDirectory is
// empty or the path does not fit; Path then holds what could be formed and
// must not be used as a file name.
bool FormInstallPath(ShortString Path, const char* Name);

// At start-up: works out TargetPath, tests whether the file is there and
// sets caption 1 to "Install" or "Reinstall".
void CheckInstallation();

} // namespace Velmora
