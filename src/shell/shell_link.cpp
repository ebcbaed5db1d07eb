#include "shell/shell_link.h"

#include <cstring>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace Velmora {

namespace {

const CLSID ShellLinkClassId = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID ShellLinkInterfaceId = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID PersistFileInterfaceId = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID ShellLinkDataListInterfaceId = {
    0x45E2B4AE, 0xB1C3, 0x11D0, {0xB9, 0x2F, 0x00, 0xA0, 0xC9, 0x03, 0x12, 0xE1}};

static_assert(sizeof(NT_CONSOLE_PROPS) == 204, "NT_CONSOLE_PROPS is a 204-byte block");
static_assert(sizeof(NT_FE_CONSOLE_PROPS) == 12, "NT_FE_CONSOLE_PROPS is a 12-byte block");

const UINT ConsoleFarEastCodePage = 437;

const COLORREF ConsoleColours[16] = {
    RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(0, 128, 128),
    RGB(128, 0, 0),     RGB(128, 0, 128), RGB(128, 128, 0), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),
    RGB(255, 0, 0),     RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};

void BuildConsoleRecord(NT_CONSOLE_PROPS& Record) {
    std::memset(&Record, 0, sizeof Record);
    Record.dbh.cbSize = sizeof Record;
    Record.dbh.dwSignature = NT_CONSOLE_PROPS_SIG;
    Record.wFillAttribute = 7;
    Record.wPopupFillAttribute = 0x5F;
    Record.dwScreenBufferSize.X = 80;
    Record.dwScreenBufferSize.Y = 500;
    Record.dwWindowSize.X = 70;
    Record.dwWindowSize.Y = 40;
    Record.nInputBufferSize = 100;
    Record.dwFontSize.X = 8;
    Record.dwFontSize.Y = 12;
    Record.uHistoryBufferSize = 350;
    Record.uNumberOfHistoryBuffers = 5;
    Record.bHistoryNoDup = TRUE;
    for (int Index = 0; Index < 16; ++Index) {
        Record.ColorTable[Index] = ConsoleColours[Index];
    }
}

// The diagnostic line for a link that already had console properties. A
// windowed program usually has no standard output; then the line is dropped.
void ReportExistingConsoleBlock() {
    HANDLE Output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (Output == nullptr || Output == INVALID_HANDLE_VALUE) {
        return;
    }
    static const char Line[] = "Has NT_CONSOLE_PROPS\r\n";
    DWORD Written = 0;
    WriteFile(Output, Line, sizeof Line - 1, &Written, nullptr);
}

// One save of the link under LinkFile. Result changes only when Save is
// called: not when the link gives no IPersistFile, nor when the path does
// not convert whole into the MAX_PATH buffer.
void SaveShellLink(IShellLinkA* Link, const char* LinkFile, HRESULT& Result) {
    IPersistFile* File = nullptr;
    if (Link->QueryInterface(PersistFileInterfaceId, reinterpret_cast<void**>(&File)) != S_OK ||
        File == nullptr) {
        return;
    }
    WCHAR WidePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, LinkFile, -1, WidePath, MAX_PATH) != 0) {
        Result = File->Save(WidePath, TRUE);
    }
    File->Release();
}

// Console block: the link's own with full screen on and quick edit and insert
// mode off, or a fresh one. Far-East block: a fresh one unless the link has
// one already.
void AddConsoleBlocks(IShellLinkDataList* DataList) {
    NT_CONSOLE_PROPS Console;
    void* Existing = nullptr;
    if (DataList->CopyDataBlock(NT_CONSOLE_PROPS_SIG, &Existing) == S_OK && Existing != nullptr) {
        std::memcpy(&Console, Existing, sizeof Console);
        ReportExistingConsoleBlock();
        Console.bFullScreen = TRUE;
        Console.bQuickEdit = FALSE;
        Console.bInsertMode = FALSE;
        LocalFree(Existing);
    } else {
        BuildConsoleRecord(Console);
    }
    DataList->AddDataBlock(&Console);

    Existing = nullptr;
    if (DataList->CopyDataBlock(NT_FE_CONSOLE_PROPS_SIG, &Existing) == S_OK &&
        Existing != nullptr) {
        LocalFree(Existing);
    } else {
        NT_FE_CONSOLE_PROPS FarEast;
        std::memset(&FarEast, 0, sizeof FarEast);
        FarEast.dbh.cbSize = sizeof FarEast;
        FarEast.dbh.dwSignature = NT_FE_CONSOLE_PROPS_SIG;
        FarEast.uCodePage = ConsoleFarEastCodePage;
        DataList->AddDataBlock(&FarEast);
    }
}

} // namespace

HRESULT CreateShellLink(const char* LinkFile, const char* LinkTarget, const char* Arguments,
                        const char* WorkingDirectory, const char* Description, const char* IconFile,
                        int IconIndex) {
    HRESULT Result = E_FAIL;
    // A thread that already lives in the multi-threaded apartment refuses
    // the single-threaded one; that refusal must not be "undone" below, or
    // the caller's own COM would be torn down.
    const HRESULT Initialised = CoInitialize(nullptr);

    IShellLinkA* Link = nullptr;
    if (CoCreateInstance(ShellLinkClassId, nullptr, CLSCTX_INPROC_SERVER, ShellLinkInterfaceId,
                         reinterpret_cast<void**>(&Link)) == S_OK &&
        Link != nullptr) {
        Link->SetPath(LinkTarget);
        if (Arguments != nullptr) {
            Link->SetArguments(Arguments);
        }
        Link->SetDescription(Description);
        Link->SetIconLocation(IconFile, IconIndex);
        Link->SetWorkingDirectory(WorkingDirectory);

        SaveShellLink(Link, LinkFile, Result);

        IShellLinkDataList* DataList = nullptr;
        if (Link->QueryInterface(ShellLinkDataListInterfaceId,
                                 reinterpret_cast<void**>(&DataList)) == S_OK &&
            DataList != nullptr) {
            AddConsoleBlocks(DataList);
            DataList->Release();
        }

        SaveShellLink(Link, LinkFile, Result);
        Link->Release();
    }

    if (SUCCEEDED(Initialised)) {
        CoUninitialize();
    }
    return Result;
}

} // namespace Velmora
