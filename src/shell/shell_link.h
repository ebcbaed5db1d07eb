// Shortcut files written through the shell's link object.
#pragma once

#include <windows.h>

namespace Velmora {

// Writes the shortcut LinkFile (at most 259 characters) pointing at
// LinkTarget, and gives it console properties: a fresh console block, or the
// link's own one switched to full screen with quick edit and insert mode off,
// plus a Far-East block for code page 437 unless the link has one. Arguments
// may be null for none; IconIndex is passed on as it is.
//
// The link is saved twice: with its fields only, then once more after the
// data blocks. The result is the status of the last save performed, or E_FAIL
// when no save was attempted: the link object could not be created, it gave
// no IPersistFile, or LinkFile does not fit a MAX_PATH UTF-16 buffer (such a
// path is never saved under a cut name).
//
// Brackets its work with CoInitialize / CoUninitialize on the calling thread
// (no CoUninitialize when CoInitialize failed, e.g. on a thread already in the
// multi-threaded apartment).
// When the link already holds a console block, the line "Has NT_CONSOLE_PROPS"
// goes to the process's standard output if it has one.
HRESULT CreateShellLink(const char* LinkFile, const char* LinkTarget, const char* Arguments,
                        const char* WorkingDirectory, const char* Description, const char* IconFile,
                        int IconIndex);

} // namespace Velmora
