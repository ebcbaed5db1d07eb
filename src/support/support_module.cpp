#include "support/support_module.h"

#include <windows.h>

namespace Velmora {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesRoutine)(DWORD);

void InitialiseSupportModule() {
    // Looked up rather than imported: older systems lack it and would refuse
    // to start the program.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const FARPROC routine =
        kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (routine != nullptr) {
        reinterpret_cast<SetDefaultDllDirectoriesRoutine>(reinterpret_cast<void (*)()>(routine))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Takes the current directory out of the search order as well.
    SetDllDirectoryA("");
}

} // namespace Velmora
