#include "actions/install_action.h"

#include <windows.h>
#include <zlib.h>

#include "actions/screensaver_name.h"
#include "app/install_location.h"
#include "data/payload_inflate.h"
#include "data/payload_table.h"
#include "support/support_memory.h"
#include "ui/menu_model.h"

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

// Creates one file, inflates its stream into Buffer and writes it out.
// Every failure is told and counted; the run goes on with the next entry.
static void WritePayloadFile(const PayloadEntry& Entry, uint8_t* Buffer, uint32_t BufferSize,
                             uint32_t& Errors) {
    ShortString path;
    if (!FormInstallPath(path, Entry.Name)) {
        // No Windows directory, or a path that would be cut: nothing is
        // created, and no shortened name is kept for the uninstall action.
        TargetPath[0] = '\0';
        ReportPathFailure(Errors, " Failed to create the file :", path);
        return;
    }
    AssignString(TargetPath, path);
    const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportPathFailure(Errors, " Failed to create the file :", path);
        return;
    }

    bool writeFailed = false;
    if (Entry.CompressedSize != 0) {
        uint32_t length = 0;
        const int result = InflatePayload(Entry, Buffer, BufferSize, &length);
        if (result == Z_OK) {
            DWORD written = 0;
            if (!WriteFile(file, Buffer, length, &written, nullptr) || written != length) {
                writeFailed = true;
                ReportPathFailure(Errors, " Failed to write the file :", path);
            }
            if (length != Entry.Size) {
                ReportWrongSize(Errors, path);
            }
        } else {
            ReportDecompressFailure(Errors, path, result);
        }
    }
    // Buffered data that cannot be flushed shows up here.
    if (!CloseHandle(file) && !writeFailed) {
        ReportPathFailure(Errors, " Failed to write the file :", path);
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
    if (buffer != nullptr) {
        FreeBlock(buffer);
    }

    // The screensaver is made the active one whatever happened above.
    if (IsScreensaverName(PayloadTable[0].Name)) {
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", PayloadTable[0].Name, "system.ini");
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
    }
    if (errors == 0) {
        MessageBoxA(nullptr, " Program installed in desired manner", " Installation completed ",
                    MB_OK);
    }
    InstallCheckStatus = 0;
    AssignString(MenuCaptions[1], "Reinstall");
}

} // namespace Velmora
