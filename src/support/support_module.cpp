#include "support/support_module.h"

#include "support/support_strings.h"

namespace Velmora {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesRoutine)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryRoutine)(LPCSTR);

void (*FindRoutine(HMODULE Module, const char* Name))() {
    return reinterpret_cast<void (*)()>(Module != nullptr ? GetProcAddress(Module, Name) : nullptr);
}

HMODULE LoadSystemLibrary(const char* Name) {
    ShortString path;
    const UINT count = GetSystemDirectoryA(path, ShortStringLimit);
    if (count == 0 || count >= ShortStringLimit) {
        return nullptr;
    }
    path[count] = '\0';
    return AppendString(path, "\\") && AppendString(path, Name) ? LoadLibraryA(path) : nullptr;
}

static void (*FindKernelRoutine(const char* Name))() {
    return FindRoutine(GetModuleHandleA("kernel32.dll"), Name);
}

void InitialiseSupportModule() {
    // Windows 8, and 7 and Vista with the update that brought it.
    const auto restrict = FindKernelRoutine("SetDefaultDllDirectories");
    if (restrict != nullptr) {
        reinterpret_cast<SetDefaultDllDirectoriesRoutine>(restrict)(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Windows XP SP1 and later: takes the current directory out of the search
    // order as well.
    const auto directory = FindKernelRoutine("SetDllDirectoryA");
    if (directory != nullptr) {
        reinterpret_cast<SetDllDirectoryRoutine>(directory)("");
    }
}

} // namespace Velmora
