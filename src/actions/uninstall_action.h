// Menu entry 2: removes the installed screensaver after asking.
#pragma once

namespace Velmora {

void UninstallAction();

} // namespace Velmora
