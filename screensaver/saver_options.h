// The settings dialog a screensaver offers: Velmora has none to offer.
#pragma once

#include <windows.h>

namespace Velmora {

// Says so in a message box owned by Owner (none when null or not a window).
void ShowSaverOptions(HWND Owner);

} // namespace Velmora
