// The desktop and Start-menu Programs folders, for all users or for the
// current user.
#pragma once

namespace Velmora {

// Write the folder's path into PathBuffer (at least MAX_PATH bytes). The
// all-users folder is chosen on an NT-platform system (WindowsVersionFlags
// inside VersionNtMask) unless CurrentUserOnly is true; otherwise the
// current user's. When the shell allocator cannot be had, PathBuffer is left
// untouched; when the folder has no path, it holds an empty string.
void GetDesktopFolder(bool CurrentUserOnly, char* PathBuffer);
void GetProgramsFolder(bool CurrentUserOnly, char* PathBuffer);

// The routine behind both: AllUsersFolder and CurrentUserFolder are CSIDL
// values.
void GetSpecialFolder(bool CurrentUserOnly, int AllUsersFolder, int CurrentUserFolder,
                      char* PathBuffer);

} // namespace Velmora
