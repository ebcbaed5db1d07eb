// Which Windows the program runs on, as a small bit set. The start-up
// classifies the system once; the special-folder routines choose between the
// all-users and the per-user folders by it.
#pragma once

#include <cstdint>

namespace Velmora {

// Values of the classification; exactly one of them, or 0 for a platform
// that none of them names.
const uint32_t VersionWin32s = 0x01;          // Win32s, any version
const uint32_t VersionWindows95 = 0x02;       // 95 platform, minor version 0
const uint32_t VersionWindows95Minor1 = 0x04; // 95 platform, minor version 1
const uint32_t VersionWindows98 = 0x08;       // 95 platform, any other minor version
const uint32_t VersionNt3 = 0x10;             // NT platform, major version 3 or below
const uint32_t VersionNt4 = 0x20;             // NT platform, major version 4
const uint32_t VersionNt5 = 0x40;             // NT platform, major version 5 or above

// Every NT-platform value: a system inside it keeps all-users folders.
const uint32_t VersionNtMask = 0x70;

// The platform ids of OSVERSIONINFOA.dwPlatformId.
const uint32_t PlatformWin32s = 0;
const uint32_t PlatformWindows = 1;
const uint32_t PlatformNt = 2;

// Set by InitialiseShellModule, read-only afterwards.
extern uint32_t WindowsVersionFlags;

// The classification of one set of version fields. The major version counts
// only on the NT platform and the minor version only on the 95 platform.
uint32_t ClassifyVersionFields(uint32_t PlatformId, uint32_t MajorVersion, uint32_t MinorVersion);

// Asks Windows for its version and classifies it; 0 when the query fails.
uint32_t ClassifyWindowsVersion();

// The shell module's start-up step: WindowsVersionFlags := the running
// system's classification. Runs once, before the program's main body.
void InitialiseShellModule();

} // namespace Velmora
