// Where the program's DLLs and the routines it looks up come from.
#pragma once

#include <windows.h>

namespace Velmora {

// A routine of Module that older systems lack: looked up rather than imported,
// since a system without an imported routine refuses to start the program at
// all. Null where the module or the routine is missing.
void (*FindRoutine(HMODULE Module, const char* Name))();

// A DLL of the system directory, by its full path: never one of the same name
// that the usual search would find first. Null where it cannot be loaded.
HMODULE LoadSystemLibrary(const char* Name);

// Restricts where the process loads DLLs from to the system directory, where
// the system offers that: an installer usually runs from a downloads folder,
// where a planted DLL may be waiting. Runs first of all.
void InitialiseSupportModule();

} // namespace Velmora
