#include "actions/install_action.h"

#include <windows.h>
#include <zlib.h>

#include "actions/screensaver_name.h"
#include "actions/screensaver_setting.h"
#include "app/install_location.h"
#include "data/payload_inflate.h"
#include "data/payload_table.h"
#include "support/support_memory.h"

namespace Velmora {

static const char FailureCaption[] = " Error";

// Shows one failure of the run and counts it.
static void ReportFailure(uint32_t& Errors, const char* Text) {
    ++Errors;
    MessageBoxA(nullptr, Text, FailureCaption, MB_OK | MB_ICONEXCLAMATION);
}

// Lead, a carriage return and the path.
static void ReportPathFailure(uint32_t& Errors, const char* Lead, const char* Path) {
    ShortString text;
    AssignString(text, Lead);
    AppendString(text, "\r");
    AppendString(text, Path);
    ReportFailure(Errors, text);
}

static void ReportDecompressFailure(uint32_t& Errors, const char* Path, int Result) {
    ShortString text;
    AssignString(text, " Failed to decompress the file :\r");
    AppendString(text, Path);
    AppendString(text, " (");
    AppendDecimal(text, Result);
    AppendString(text, ")");
    ReportFailure(Errors, text);
}

static void ReportWrongSize(uint32_t& Errors, const char* Path) {
    ShortString text;
    AssignString(text, Path);
    AppendString(text, " has wrong size .\r");
    ReportFailure(Errors, text);
}

// Puts the whole, closed file Fresh in the place of Path. Windows 95, 98 and
// ME have no replacing move (they answer that it is not implemented): there
// the old file is moved aside, and back again if the new one cannot follow
// it, and deleted only once the new one is in place.
static bool PutFileInPlace(const char* Fresh, const char* Path) {
    if (MoveFileExA(Fresh, Path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ShortString aside;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED || !AssignString(aside, Path) ||
        !AppendString(aside, ".old")) {
        return false;
    }
    DeleteFileA(aside); // left by an earlier run that could not delete it
    const bool hadOld = GetFileAttributesA(Path) != INVALID_FILE_ATTRIBUTES;
    if (hadOld && !MoveFileA(Path, aside)) {
        return false;
    }
    if (!MoveFileA(Fresh, Path)) {
        if (hadOld) {
            MoveFileA(aside, Path);
        }
        return false;
    }
    // The new file is whole in place; an old copy that cannot go yet is
    // removed by the next run.
    if (hadOld) {
        DeleteFileA(aside);
    }
    return true;
}

// Inflates one entry into Buffer, writes it to a new file beside its target and
// puts that in place only when it is whole and closed. Every failure is told
// and counted, removes the new file and leaves the target as it was.
static void WritePayloadFile(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                             uint32_t& Errors) {
    static const char CreateFailure[] = " Failed to create the file :";
    static const char WriteFailure[] = " Failed to write the file :";
    ShortString path;
    ShortString fresh;
    if (!FormInstallPath(path, Entry.Name)) {
        // No Windows directory, or a path that would be cut: nothing is
        // created, and no shortened name is kept for the uninstall action.
        TargetPath[0] = '\0';
        ReportPathFailure(Errors, CreateFailure, path);
        return;
    }
    AssignString(TargetPath, path);
    uint32_t length = 0;
    if (Entry.CompressedSize != 0) {
        const int result = InflatePayload(Entry, Buffer, BufferSize, &length);
        if (result != Z_OK) {
            ReportDecompressFailure(Errors, path, result);
            return;
        }
        if (length != Entry.Size) {
            ReportWrongSize(Errors, path);
            return;
        }
    }
    if (!AssignString(fresh, path) || !AppendString(fresh, ".new")) {
        ReportPathFailure(Errors, CreateFailure, path);
        return;
    }
    const HANDLE file = CreateFileA(fresh, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportPathFailure(Errors, CreateFailure, path);
        return;
    }
    DWORD written = 0;
    const bool whole =
        length == 0 || (WriteFile(file, Buffer, length, &written, nullptr) && written == length);
    // The data on the disk before the name points at it: a rename may reach
    // the disk before the data does, and a power cut would leave a file of
    // zeros in the place of the good old copy.
    const bool durable = whole && FlushFileBuffers(file) != 0;
    const bool closed = CloseHandle(file) != 0;
    if (!durable || !closed) {
        DeleteFileA(fresh);
        ReportPathFailure(Errors, WriteFailure, path);
    } else if (!PutFileInPlace(fresh, path)) {
        DeleteFileA(fresh);
        ReportPathFailure(Errors, CreateFailure, path);
    }
}

void InstallAction() {
    uint32_t errors = 0;
    QueryInstallDirectory();

    uint32_t bufferSize = 0;
    for (uint16_t i = 0; i < PayloadCount; ++i) {
        if (PayloadTable[i].Size > bufferSize) {
            bufferSize = PayloadTable[i].Size;
        }
    }
    uint8_t* buffer = static_cast<uint8_t*>(AllocateBlock(bufferSize));
    for (uint16_t i = 0; i < PayloadCount; ++i) {
        WritePayloadFile(PayloadTable[i], buffer, bufferSize, errors);
    }
    FreeBlock(buffer);

    // The screensaver is made the active one, and the screen saver switched
    // on, only when every file is in place.
    const bool screensaver = IsScreensaverName(PayloadTable[0].Name);
    if (errors == 0 && screensaver) {
        if (!WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", PayloadTable[0].Name,
                                        "system.ini")) {
            ReportFailure(errors, " Failed to write system.ini");
        }
        // The flush answers FALSE even when it worked.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
        if (errors == 0 && !SwitchScreensaverOn()) {
            ReportFailure(errors, " Failed to switch the screen saver on");
        }
    }
    if (errors == 0) {
        MessageBoxA(nullptr, " Program installed in desired manner", " Installation completed ",
                    MB_OK);
        if (screensaver && PolicyOverridesScreensaver(PayloadTable[0].Name)) {
            MessageBoxA(nullptr,
                        " Your organisation's settings choose the screen saver: Velmora will not "
                        "start by itself.",
                        " Screen saver", MB_OK | MB_ICONINFORMATION);
        }
    }
    // Installed or not is what the disk now says.
    CheckInstallation();
}

} // namespace Velmora
