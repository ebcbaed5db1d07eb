// Which carried file is the screensaver that system.ini should name.
#pragma once

namespace Velmora {

// True when the last four characters of Name, left-padded with blanks to four,
// read ".SCR" in any letter case (ASCII letters only).
bool IsScreensaverName(const char* Name);

} // namespace Velmora
