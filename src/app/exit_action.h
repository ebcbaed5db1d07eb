// The one orderly end of the program.
#pragma once

namespace Velmora {

// Destroys the window, frees the picture and ends the process with exit
// code 0. Does not return.
[[noreturn]] void ExitAction();

} // namespace Velmora
