#include "support/support_module.h"

#include <windows.h>

namespace Velmora {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesRoutine)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryRoutine)(LPCSTR);

// A routine of kernel32 that older systems lack: looked up rather than
// imported, since a system without an imported routine refuses to start the
// program at all. Null where it is missing.
static FARPROC FindKernelRoutine(const char* Name) {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel != nullptr ? GetProcAddress(kernel, Name) : nullptr;
}

void InitialiseSupportModule() {
    // Windows 8, and 7 and Vista with the update that brought it.
    const FARPROC restrict = FindKernelRoutine("SetDefaultDllDirectories");
    if (restrict != nullptr) {
        reinterpret_cast<SetDefaultDllDirectoriesRoutine>(reinterpret_cast<void (*)()>(restrict))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Windows XP SP1 and later: takes the current directory out of the search
    // order as well.
    const FARPROC directory = FindKernelRoutine("SetDllDirectoryA");
    if (directory != nullptr) {
        reinterpret_cast<SetDllDirectoryRoutine>(reinterpret_cast<void (*)()>(directory))("");
    }
}

} // namespace Velmora
