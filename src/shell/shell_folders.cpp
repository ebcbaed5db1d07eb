#include "shell/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "shell/shell_version.h"

namespace Velmora {

void GetSpecialFolder(bool CurrentUserOnly, int AllUsersFolder, int CurrentUserFolder,
                      char* PathBuffer) {
    IMalloc* Allocator = nullptr;
    if (SHGetMalloc(&Allocator) != S_OK || Allocator == nullptr) {
        return;
    }
    const bool AllUsers = !CurrentUserOnly && (WindowsVersionFlags & VersionNtMask) != 0;
    const int Folder = AllUsers ? AllUsersFolder : CurrentUserFolder;

    // Empty until a path is written, so that a failed lookup shows.
    PathBuffer[0] = '\0';
    LPITEMIDLIST ItemList = nullptr;
    SHGetSpecialFolderLocation(nullptr, Folder, &ItemList);
    if (ItemList != nullptr) {
        if (!SHGetPathFromIDListA(ItemList, PathBuffer)) {
            PathBuffer[0] = '\0';
        }
        Allocator->Free(ItemList);
    }
    Allocator->Release();
}

void GetDesktopFolder(bool CurrentUserOnly, char* PathBuffer) {
    GetSpecialFolder(CurrentUserOnly, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY,
                     PathBuffer);
}

void GetProgramsFolder(bool CurrentUserOnly, char* PathBuffer) {
    GetSpecialFolder(CurrentUserOnly, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, PathBuffer);
}

} // namespace Velmora
