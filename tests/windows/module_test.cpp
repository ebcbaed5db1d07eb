// The shell and support modules. CreateShellLink works on a link object of the
// test's own, registered for CLSID_ShellLink, that logs every call made on it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <thread>

#include "shell/shell_link.h"
#include "shell/shell_version.h"
#include "support/support_module.h"
#include "import_slot.h"
#include "message_box_watch.h"

using namespace Velmora;
using namespace VelmoraTest;

IMPORT_SLOT(GetProcAddress, 8);

namespace {

// What the link answers: no link object, no data list, its two saves.
struct LinkAnswers {
    bool Refuses, NoDataList;
    HRESULT FirstSave = S_OK, SecondSave = S_OK;
} Answers;

std::string Log; // the calls made on link objects
HRESULT Call(const std::string& Text, HRESULT Status = S_OK) {
    Log += Text + " ";
    return Status;
}

// clang-format off
#define LOGGED(Name, Status) HRESULT STDMETHODCALLTYPE Name(LPCSTR Text) override { \
        return Call(#Name "(" + std::string(Text) + ")", Status); }
#define UNEXPECTED(Name, ...) HRESULT STDMETHODCALLTYPE Name(__VA_ARGS__) override { \
        return Call("unexpected " #Name, E_NOTIMPL); }
// clang-format on

// The link object; the static one, Factory, makes the others.
struct RecordingLink final : IShellLinkA, IPersistFile, IShellLinkDataList, IClassFactory {
    ULONG References = 0;
    int Saves = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
        IShellLinkDataList* const list = Answers.NoDataList ? nullptr : this;
        *Object = Id == IID_IUnknown || Id == IID_IShellLinkA ? static_cast<IShellLinkA*>(this)
                  : Id == IID_IClassFactory                   ? static_cast<IClassFactory*>(this)
                  : Id == IID_IPersistFile                    ? static_cast<IPersistFile*>(this)
                  : Id == IID_IShellLinkDataList              ? static_cast<void*>(list)
                                                              : nullptr;
        return *Object == nullptr ? E_NOINTERFACE : (AddRef(), S_OK);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --References;
        if (left == 0) {
            Call("destroyed");
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID Id, void** Object) override {
        Call("create");
        return Answers.Refuses ? E_OUTOFMEMORY : (new RecordingLink)->QueryInterface(Id, Object);
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR File, int Index) override {
        return Call(std::string("SetIconLocation(") + File + "," + std::to_string(Index) + ")");
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR File, BOOL Remember) override {
        const std::string path(File, File + lstrlenW(File)); // the test's paths are ASCII
        return Call("Save(" + path + "," + std::to_string(Remember) + ")",
                    Saves++ == 0 ? Answers.FirstSave : Answers.SecondSave);
    }
    // As Wine's own link object: the link has no data block to copy and adding
    // one is refused; the routine must not mind. Blocks are named by the low
    // byte of their signature (2 console, 4 Far-East): "c2" asked for, "a2/204"
    // added with its size, and the code page of a Far-East block.
    HRESULT STDMETHODCALLTYPE CopyDataBlock(DWORD Signature, void** Block) override {
        *Block = nullptr;
        return Call("c" + std::to_string(Signature & 0xFF), E_FAIL);
    }
    HRESULT STDMETHODCALLTYPE AddDataBlock(void* Block) override {
        const NT_FE_CONSOLE_PROPS& block = *static_cast<NT_FE_CONSOLE_PROPS*>(Block);
        const bool farEast = block.dbh.dwSignature == NT_FE_CONSOLE_PROPS_SIG;
        return Call("a" + std::to_string(block.dbh.dwSignature & 0xFF) + "/" +
                        std::to_string(block.dbh.cbSize) +
                        (farEast ? "/" + std::to_string(block.uCodePage) : ""),
                    E_NOTIMPL);
    }
    // clang-format off
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    LOGGED(SetPath, S_OK) LOGGED(SetArguments, S_OK) LOGGED(SetWorkingDirectory, S_OK)
    LOGGED(SetDescription, E_FAIL) // the routine goes on whatever a setter answers
    UNEXPECTED(GetPath, LPSTR, int, WIN32_FIND_DATAA*, DWORD) UNEXPECTED(GetIDList, LPITEMIDLIST*)
    UNEXPECTED(SetIDList, LPCITEMIDLIST) UNEXPECTED(GetDescription, LPSTR, int)
    UNEXPECTED(GetWorkingDirectory, LPSTR, int) UNEXPECTED(GetArguments, LPSTR, int)
    UNEXPECTED(GetHotkey, WORD*) UNEXPECTED(SetHotkey, WORD) UNEXPECTED(GetShowCmd, int*)
    UNEXPECTED(SetShowCmd, int) UNEXPECTED(GetIconLocation, LPSTR, int, int*)
    UNEXPECTED(SetRelativePath, LPCSTR, DWORD) UNEXPECTED(Resolve, HWND, DWORD)
    UNEXPECTED(GetClassID, CLSID*) UNEXPECTED(IsDirty) UNEXPECTED(Load, LPCOLESTR, DWORD)
    UNEXPECTED(SaveCompleted, LPCOLESTR) UNEXPECTED(GetCurFile, LPOLESTR*)
    UNEXPECTED(RemoveDataBlock, DWORD) UNEXPECTED(GetFlags, DWORD*) UNEXPECTED(SetFlags, DWORD)
    // clang-format on
} Factory;

TEST(ShellLink, SetsTheFieldsSavesAddsTheMissingBlocksAndSavesAgain) {
    const DWORD Sta = COINIT_APARTMENTTHREADED, Mta = COINIT_MULTITHREADED;
    const struct {
        LinkAnswers Answers;
        const char* Arguments;
        size_t Length; // of the link file's name
        DWORD Mode;
        HRESULT Result;
    } rows[] = {
        {{}, "/s", 20, Sta, S_OK},
        {{}, "/s", 20, Mta, S_OK}, // the routine's CoInitialize is refused
        {{}, nullptr, 20, Sta, S_OK},
        {{0, 0, S_OK, STG_E_WRITEFAULT}, "/s", 20, Sta, STG_E_WRITEFAULT},
        {{0, 1, STG_E_WRITEFAULT, S_OK}, "/s", 20, Sta, S_OK}, // the second save counts
        {{1, 0}, "/s", 20, Sta, E_FAIL},
        {{}, "/s", 259, Sta, S_OK},   // the name and its terminator fill MAX_PATH
        {{}, "/s", 260, Sta, E_FAIL}, // never saved under a name cut short
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        const LinkAnswers& link = Answers = row.Answers;
        const std::string name = "C:\\" + std::string(row.Length - 7, 'a') + ".lnk";
        Log.clear();
        Factory.References = 1; // never destroyed
        // One call on a thread of its own, in the row's apartment, the recording link registered.
        std::thread([&] {
            DWORD cookie = 0;
            APTTYPE apartment;
            APTTYPEQUALIFIER qualifier;
            EXPECT_EQ(S_OK, CoInitializeEx(nullptr, row.Mode));
            CoRegisterClassObject(CLSID_ShellLink, static_cast<IClassFactory*>(&Factory),
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
            EXPECT_EQ(row.Result,
                      CreateShellLink(name.c_str(), "C:\\WINDOWS\\Velmora.scr", row.Arguments,
                                      "C:\\WINDOWS", "Velmora screensaver",
                                      "C:\\WINDOWS\\setup.exe", -3));
            EXPECT_EQ(S_OK, CoGetApartmentType(&apartment, &qualifier))
                << "the caller's COM was torn down";
            CoRevokeClassObject(cookie);
            CoUninitialize();
            EXPECT_EQ(CO_E_NOTINITIALIZED, CoGetApartmentType(&apartment, &qualifier))
                << "COM was left initialised";
        }).join();

        // A console block and a Far-East one for code page 437 between the saves.
        const std::string save = row.Length >= MAX_PATH ? "" : "Save(" + name + ",1) ";
        const std::string blocks = link.NoDataList ? "" : "c2 a2/204 c4 a4/12/437 ";
        const std::string arguments = row.Arguments ? "SetArguments(/s) " : "";
        EXPECT_EQ(link.Refuses
                      ? "create "
                      : "create SetPath(C:\\WINDOWS\\Velmora.scr) " + arguments +
                            "SetDescription(Velmora screensaver) SetIconLocation("
                            "C:\\WINDOWS\\setup.exe,-3) SetWorkingDirectory(C:\\WINDOWS) " +
                            save + blocks + save + "destroyed ",
                  Log);
    }
}

std::string DllDirectory; // what the support module asked SetDllDirectoryA for
bool OldSystem;           // whether GetProcAddress answers as Windows 95 and NT 4.0 do
decltype(&GetProcAddress) RealGetProcAddress;

BOOL WINAPI RecordDllDirectory(LPCSTR Directory) {
    DllDirectory += Directory != nullptr ? "\"" + std::string(Directory) + "\"" : "null";
    return TRUE;
}
FARPROC WINAPI LookUp(HMODULE Module, LPCSTR Name) {
    const FARPROC real = OldSystem ? nullptr : RealGetProcAddress(Module, Name);
    return real && std::string(Name) == "SetDllDirectoryA"
               ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&RecordDllDirectory))
               : real;
}

// The start-up's modules: the version classified; the DLL search restricted to
// the system directory (that a DLL planted beside the program no longer loads
// is the action tests' start-up case), its own DLLs still found; systems
// without the routines that restrict it still start.
TEST(StartedModules, ClassifyTheVersionAndTakeDllsOnlyFromTheSystemDirectoryWhereTheSystemCan) {
    EXPECT_EQ(VersionNt5, WindowsVersionFlags) << "the start-up's class for Wine's NT 6.1";
    EXPECT_NE(nullptr, LoadLibraryA("version.dll")) << "the system's own DLLs still load";
    for (const bool old : {false, true}) {
        OldSystem = old;
        DllDirectory = "";
        RealGetProcAddress = reinterpret_cast<decltype(&GetProcAddress)>(
            SwapImport(&GetProcAddressSlot, reinterpret_cast<void*>(&LookUp)));
        InitialiseSupportModule();
        SwapImport(&GetProcAddressSlot, reinterpret_cast<void*>(RealGetProcAddress));
        // Wine takes an empty DLL directory for none, so the request to take the
        // current directory out of the search is checked where it is made.
        EXPECT_EQ(old ? "" : "\"\"", DllDirectory);
    }
}

} // namespace
