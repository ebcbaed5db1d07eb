// The support module's start-up step.
#pragma once

namespace Velmora {

// Restricts where the process loads DLLs from to the system directory, where
// the system offers that: an installer usually runs from a downloads folder,
// where a planted DLL may be waiting. Runs first of all.
void InitialiseSupportModule();

} // namespace Velmora
