// Menu entry 1: writes the carried files into the Windows directory and makes
// the screensaver the active one.
#pragma once

namespace Velmora {

void InstallAction();

} // namespace Velmora
