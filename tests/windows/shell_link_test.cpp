// CreateShellLink, first against a link object of the test's own that stands
// in for the shell's (registered for CLSID_ShellLink on the test thread) and
// logs every call made on it, then against the system's own link object.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "shell/shell_link.h"

using namespace Velmora;

namespace {

typedef std::vector<uint8_t> Bytes;
typedef std::vector<std::string> Calls;

const DWORD ConsoleSignature = 0xA0000002;
const DWORD FarEastSignature = 0xA0000004;

// Size bytes of Value, little-endian, at Offset.
void Put(Bytes& Block, size_t Offset, size_t Size, uint32_t Value) {
    std::memcpy(&Block[Offset], &Value, Size); // x86 is little-endian
}

// The console block a link without one receives, laid out by hand as offset,
// size, value: header; fill and popup fill attributes; screen buffer and
// window sizes; input buffer size; font size; history buffer size, number of
// buffers, no duplicates. Then the 16 colours as 0x00BBGGRR; all else is 0.
Bytes FreshConsoleBlock() {
    Bytes Block(204, 0);
    const uint32_t Fields[] = {0,   4, 204, 4,   4, ConsoleSignature,
                               8,   2, 7,   10,  2, 0x5F,
                               12,  2, 80,  14,  2, 500,
                               16,  2, 70,  18,  2, 40,
                               28,  4, 100, 32,  2, 8,
                               34,  2, 12,  128, 4, 350,
                               132, 4, 5,   136, 4, 1};
    for (size_t Index = 0; Index < sizeof Fields / sizeof Fields[0]; Index += 3) {
        Put(Block, Fields[Index], Fields[Index + 1], Fields[Index + 2]);
    }
    const uint32_t Colours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (size_t Index = 0; Index < 16; ++Index) {
        Put(Block, 140 + 4 * Index, 4, Colours[Index]);
    }
    return Block;
}

// A console block as another program might have left it, every byte distinct
// from its neighbours so that any field changed shows: full screen off, quick
// edit on, insert mode on as any non-zero value. Changed: what the routine
// should make of it.
Bytes ForeignConsoleBlock(bool Changed) {
    Bytes Block(204);
    for (size_t Index = 0; Index < Block.size(); ++Index) {
        Block[Index] = static_cast<uint8_t>(Index * 37 + 11);
    }
    Put(Block, 0, 4, 204);
    Put(Block, 4, 4, ConsoleSignature);
    Put(Block, 112, 4, Changed ? 1 : 0);
    Put(Block, 116, 4, Changed ? 0 : 1);
    Put(Block, 120, 4, Changed ? 0 : 77);
    return Block;
}

// Far-East blocks: the fresh one (code page 437) and one with code page 932.
const Bytes FreshFarEast = {12, 0, 0, 0, 0x04, 0, 0, 0xA0, 0xB5, 0x01, 0, 0};
const Bytes OtherFarEast = {12, 0, 0, 0, 0x04, 0, 0, 0xA0, 0xA4, 0x03, 0, 0};

// Copies of data blocks are handed out in allocations large enough to get
// pages of their own that go back to the system when freed: whether the
// routine freed a copy shows in the pages' state.
bool PagesCommitted(const void* Address) {
    MEMORY_BASIC_INFORMATION Info;
    return VirtualQuery(Address, &Info, sizeof Info) != 0 && Info.State == MEM_COMMIT;
}

// What the recording link answers.
struct LinkAnswers {
    bool GivesPersistFile = true;
    bool GivesDataList = true;
    bool Refuses = false;             // the factory makes no link object
    Bytes ConsoleBlock, FarEastBlock; // the link's own; empty for none
    std::vector<HRESULT> SaveResults; // one per Save in turn, S_OK beyond
} Answers;

// What one call of the routine did. Data blocks are named in the log by the
// low bits of their signature: 2 console, 4 Far-East.
struct LinkRecord {
    Calls Log;
    std::vector<Bytes> Added;
    std::vector<void*> Copies; // handed out by CopyDataBlock
    std::string Output;        // what reached standard output
} Record;

HRESULT Call(const std::string& Text, HRESULT Status = S_OK) {
    Record.Log.push_back(Text);
    return Status;
}

#define UNEXPECTED(Name, ...)                                                                      \
    HRESULT STDMETHODCALLTYPE Name(__VA_ARGS__) override {                                         \
        return Call("unexpected " #Name, E_NOTIMPL);                                               \
    }

struct RecordingLink final : IShellLinkA, IPersistFile, IShellLinkDataList {
    ULONG References = 0;
    size_t Saves = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
        *Object = nullptr;
        if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IShellLinkA)) {
            *Object = static_cast<IShellLinkA*>(this);
        } else if (IsEqualIID(Id, IID_IPersistFile) && Answers.GivesPersistFile) {
            *Object = static_cast<IPersistFile*>(this);
        } else if (IsEqualIID(Id, IID_IShellLinkDataList) && Answers.GivesDataList) {
            *Object = static_cast<IShellLinkDataList*>(this);
        }
        if (*Object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return ++References;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG Left = --References;
        if (Left == 0) {
            Call("destroyed");
            delete this;
        }
        return Left;
    }
    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR Path) override {
        return Call(std::string("SetPath(") + Path + ")");
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR Arguments) override {
        return Call(std::string("SetArguments(") + Arguments + ")");
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR Description) override {
        // The routine goes on whatever a setter answers.
        return Call(std::string("SetDescription(") + Description + ")", E_FAIL);
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR File, int Index) override {
        return Call(std::string("SetIconLocation(") + File + "," + std::to_string(Index) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR Directory) override {
        return Call(std::string("SetWorkingDirectory(") + Directory + ")");
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR File, BOOL Remember) override {
        const std::string Path(File, File + lstrlenW(File)); // the test's paths are ASCII
        return Call("Save(" + Path + "," + std::to_string(Remember) + ")",
                    Saves < Answers.SaveResults.size() ? Answers.SaveResults[Saves++] : S_OK);
    }
    HRESULT STDMETHODCALLTYPE AddDataBlock(void* Block) override {
        const DWORD* Header = static_cast<const DWORD*>(Block); // size, signature
        const uint8_t* First = static_cast<const uint8_t*>(Block);
        Record.Added.push_back(Bytes(First, First + Header[0]));
        // What Wine's own link object answers; the routine must not mind.
        return Call("AddDataBlock(" + std::to_string(Header[1] & 0xFF) + ")", E_NOTIMPL);
    }
    HRESULT STDMETHODCALLTYPE CopyDataBlock(DWORD Signature, void** Block) override {
        Call("CopyDataBlock(" + std::to_string(Signature & 0xFF) + ")");
        const Bytes Own = Signature == ConsoleSignature   ? Answers.ConsoleBlock
                          : Signature == FarEastSignature ? Answers.FarEastBlock
                                                          : Bytes();
        *Block = Own.empty() ? nullptr : LocalAlloc(LMEM_FIXED, 4 * 1024 * 1024);
        if (*Block == nullptr) {
            return E_FAIL;
        }
        EXPECT_TRUE(PagesCommitted(*Block));
        std::memcpy(*Block, Own.data(), Own.size());
        Record.Copies.push_back(*Block);
        return S_OK;
    }
    UNEXPECTED(GetPath, LPSTR, int, WIN32_FIND_DATAA*, DWORD)
    UNEXPECTED(GetIDList, LPITEMIDLIST*)
    UNEXPECTED(SetIDList, LPCITEMIDLIST)
    UNEXPECTED(GetDescription, LPSTR, int)
    UNEXPECTED(GetWorkingDirectory, LPSTR, int)
    UNEXPECTED(GetArguments, LPSTR, int)
    UNEXPECTED(GetHotkey, WORD*)
    UNEXPECTED(SetHotkey, WORD)
    UNEXPECTED(GetShowCmd, int*)
    UNEXPECTED(SetShowCmd, int)
    UNEXPECTED(GetIconLocation, LPSTR, int, int*)
    UNEXPECTED(SetRelativePath, LPCSTR, DWORD)
    UNEXPECTED(Resolve, HWND, DWORD)
    UNEXPECTED(GetClassID, CLSID*)
    UNEXPECTED(IsDirty)
    UNEXPECTED(Load, LPCOLESTR, DWORD)
    UNEXPECTED(SaveCompleted, LPCOLESTR)
    UNEXPECTED(GetCurFile, LPOLESTR*)
    UNEXPECTED(RemoveDataBlock, DWORD)
    UNEXPECTED(GetFlags, DWORD*)
    UNEXPECTED(SetFlags, DWORD)
};

// A static object: COM's references to it are not counted.
struct RecordingFactory : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
        const bool Known = IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IClassFactory);
        *Object = Known ? this : nullptr;
        return Known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* Outer, REFIID Id, void** Object) override {
        Call(IsEqualIID(Id, IID_IShellLinkA) ? "create(IShellLinkA)" : "create(other)");
        if (Answers.Refuses || Outer != nullptr) {
            return E_OUTOFMEMORY;
        }
        return (new RecordingLink)->QueryInterface(Id, Object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override {
        return S_OK;
    }
} Factory;

// Whether COM is initialised on this thread: initialising it once more
// answers S_FALSE then; the extra initialisation is undone at once.
bool ComInitialisedOnThread() {
    const HRESULT Status = CoInitialize(nullptr);
    CoUninitialize();
    return Status == S_FALSE;
}

const char LinkPath[] = "C:\\links\\Velmora.lnk";
const Calls Setters = {
    "SetPath(C:\\WINDOWS\\Velmora.scr)", "SetArguments(/s)", "SetDescription(Velmora screensaver)",
    "SetIconLocation(C:\\WINDOWS\\setup.exe,-3)", "SetWorkingDirectory(C:\\WINDOWS)"};
const Calls Saving = {"Save(C:\\links\\Velmora.lnk,1)"};

// The block calls on a link without a Far-East block of its own, or with one.
Calls BlockCalls(bool HasFarEast = false) {
    Calls Result = {"CopyDataBlock(2)", "AddDataBlock(2)", "CopyDataBlock(4)"};
    if (!HasFarEast) {
        Result.push_back("AddDataBlock(4)");
    }
    return Result;
}

// Every call on a link object that could be made: the setters, the save (if
// any), the block calls, the save once more, and the last Release.
Calls Expected(const Calls& Save, const Calls& Blocks, const Calls& Set = Setters) {
    Calls Result = {"create(IShellLinkA)"};
    for (const Calls* Piece : {&Set, &Save, &Blocks, &Save}) {
        Result.insert(Result.end(), Piece->begin(), Piece->end());
    }
    Result.push_back("destroyed");
    return Result;
}

// Marks the standard output that MakeLink captures in a pipe.
const HANDLE Pipe = reinterpret_cast<HANDLE>(1);

// One call of the routine on a fresh record, with the recording link
// registered in place of the system's and standard output going into a pipe,
// or set to Output.
HRESULT MakeLink(const char* Link = LinkPath, const char* Arguments = "/s", HANDLE Output = Pipe) {
    Record = LinkRecord();
    // The registration needs COM on the thread, and it has to outlast the
    // routine's own CoInitialize / CoUninitialize.
    DWORD Cookie = 0;
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_OK, CoRegisterClassObject(CLSID_ShellLink, &Factory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &Cookie));
    HANDLE ReadEnd = nullptr;
    if (Output == Pipe) {
        EXPECT_TRUE(CreatePipe(&ReadEnd, &Output, nullptr, 64 * 1024));
    }
    const HANDLE Previous = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, Output);
    const HRESULT Result =
        CreateShellLink(Link, "C:\\WINDOWS\\Velmora.scr", Arguments, "C:\\WINDOWS",
                        "Velmora screensaver", "C:\\WINDOWS\\setup.exe", -3);
    SetStdHandle(STD_OUTPUT_HANDLE, Previous);
    if (ReadEnd != nullptr) {
        CloseHandle(Output);
        char Text[256];
        DWORD Count = 0;
        ReadFile(ReadEnd, Text, sizeof Text, &Count, nullptr); // all the pipe holds
        Record.Output.assign(Text, Count);
        CloseHandle(ReadEnd);
    }
    // Still initialised: the routine undid no more than it did...
    EXPECT_TRUE(ComInitialisedOnThread());
    EXPECT_EQ(S_OK, CoRevokeClassObject(Cookie));
    CoUninitialize();
    // ...and no less: ours was the only initialisation left.
    EXPECT_FALSE(ComInitialisedOnThread());
    for (void* Copy : Record.Copies) {
        EXPECT_FALSE(PagesCommitted(Copy)) << "a copy of a data block was not freed";
    }
    return Result;
}

TEST(ShellLinkWithRecordingObject, AddsTheBlocksTheLinkLacksBetweenTwoSaves) {
    Answers = LinkAnswers();
    const struct {
        bool HasConsole, HasFarEast;
        HANDLE Output;
    } Cases[] = {{false, false, Pipe}, {true, false, Pipe},    {false, true, Pipe},
                 {true, true, Pipe},   {true, false, nullptr}, {true, false, INVALID_HANDLE_VALUE}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message() << "console " << Case.HasConsole << ", far east "
                                        << Case.HasFarEast << ", output " << Case.Output);
        Answers.ConsoleBlock = Case.HasConsole ? ForeignConsoleBlock(false) : Bytes();
        Answers.FarEastBlock = Case.HasFarEast ? OtherFarEast : Bytes();
        EXPECT_EQ(S_OK, MakeLink(LinkPath, "/s", Case.Output));
        EXPECT_EQ(Case.HasConsole && Case.Output == Pipe ? "Has NT_CONSOLE_PROPS\r\n" : "",
                  Record.Output);
        EXPECT_EQ(Expected(Saving, BlockCalls(Case.HasFarEast)), Record.Log);
        std::vector<Bytes> Added = {Case.HasConsole ? ForeignConsoleBlock(true)
                                                    : FreshConsoleBlock()};
        if (!Case.HasFarEast) {
            Added.push_back(FreshFarEast);
        }
        EXPECT_EQ(Added, Record.Added);
        EXPECT_EQ(size_t(Case.HasConsole) + Case.HasFarEast, Record.Copies.size());
    }
}

TEST(ShellLinkWithRecordingObject, ArgumentsAreSetOnlyWhenGiven) {
    Answers = LinkAnswers();
    Calls Set = Setters;
    Set[1] = "SetArguments()";
    MakeLink(LinkPath, "");
    EXPECT_EQ(Expected(Saving, BlockCalls(), Set), Record.Log);
    Set.erase(Set.begin() + 1);
    MakeLink(LinkPath, nullptr);
    EXPECT_EQ(Expected(Saving, BlockCalls(), Set), Record.Log);
}

TEST(ShellLinkWithRecordingObject, ResultIsTheSecondSavesStatusOrFailWithoutASave) {
    Answers = LinkAnswers();
    const struct {
        bool Creatable, GivesPersistFile, GivesDataList;
        HRESULT First, Second, Expected;
    } Cases[] = {{true, true, true, E_ACCESSDENIED, S_OK, S_OK},
                 {true, true, true, S_OK, STG_E_WRITEFAULT, STG_E_WRITEFAULT},
                 {true, true, true, S_FALSE, E_ACCESSDENIED, E_ACCESSDENIED},
                 {true, true, false, S_OK, E_ACCESSDENIED, E_ACCESSDENIED},
                 {true, true, false, E_ACCESSDENIED, S_FALSE, S_FALSE},
                 {true, false, true, S_OK, S_OK, E_FAIL},
                 {false, true, true, S_OK, S_OK, E_FAIL}};
    for (const auto& Case : Cases) {
        Answers.Refuses = !Case.Creatable;
        Answers.GivesPersistFile = Case.GivesPersistFile;
        Answers.GivesDataList = Case.GivesDataList;
        Answers.SaveResults = {Case.First, Case.Second};
        EXPECT_EQ(Case.Expected, MakeLink());
        EXPECT_EQ(Case.Creatable ? Expected(Case.GivesPersistFile ? Saving : Calls(),
                                            Case.GivesDataList ? BlockCalls() : Calls())
                                 : Calls{"create(IShellLinkA)"},
                  Record.Log);
    }
}

TEST(ShellLinkWithRecordingObject, LinkFileMustFitTheConversionBufferWhole) {
    Answers = LinkAnswers();
    // 259 characters and the terminator fill the 260 units exactly; a longer
    // name is never saved, in particular not under its first 259 characters.
    for (size_t Length : {259u, 260u, 261u, 1000u}) {
        const std::string Name = "C:\\" + std::string(Length - 7, 'a') + ".lnk";
        const Calls Save = Length < 260 ? Calls{"Save(" + Name + ",1)"} : Calls();
        EXPECT_EQ(Length < 260 ? S_OK : E_FAIL, MakeLink(Name.c_str())) << Length;
        EXPECT_EQ(Expected(Save, BlockCalls()), Record.Log) << Length;
    }
}

// The system's own link object, on threads of their own.
std::string TempFolder() {
    char Base[MAX_PATH];
    GetTempPathA(MAX_PATH, Base);
    const std::string Folder =
        std::string(Base) + "velmora-link-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(Folder.c_str(), nullptr);
    return Folder;
}

// What the system's link object reads back from LinkFile, on a thread
// without COM: target, arguments, description, working directory, icon file
// and index.
Calls ReadLink(const std::string& LinkFile) {
    char Fields[5][MAX_PATH] = {};
    int Index = -1;
    CoInitialize(nullptr);
    IShellLinkA* Link = nullptr;
    IPersistFile* File = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&Link)) == S_OK) {
        if (Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File)) == S_OK) {
            EXPECT_EQ(S_OK, File->Load(std::wstring(LinkFile.begin(), LinkFile.end()).c_str(), 0));
            File->Release();
        }
        Link->GetPath(Fields[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        Link->GetArguments(Fields[1], MAX_PATH);
        Link->GetDescription(Fields[2], MAX_PATH);
        Link->GetWorkingDirectory(Fields[3], MAX_PATH);
        Link->GetIconLocation(Fields[4], MAX_PATH, &Index);
        Link->Release();
    }
    CoUninitialize();
    return {Fields[0], Fields[1], Fields[2], Fields[3], Fields[4], std::to_string(Index)};
}

TEST(ShellLinkWithSystemObject, WrittenLinkLoadsBackWithItsFields) {
    const std::string Folder = TempFolder();
    const std::string LinkFile = Folder + "\\Velmora.lnk";
    const std::string Target = Folder + "\\Velmora.scr";
    const char Icon[] = "C:\\windows\\system32\\shell32.dll";
    CloseHandle(CreateFileA(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DeleteFileA(LinkFile.c_str());
    HRESULT Result = E_UNEXPECTED;
    bool ComLeftBehind = true;
    std::thread([&] {
        Result = CreateShellLink(LinkFile.c_str(), Target.c_str(), "/s /x", Folder.c_str(),
                                 "Velmora screensaver", Icon, 7);
        ComLeftBehind = ComInitialisedOnThread();
    }).join();
    EXPECT_EQ(S_OK, Result);
    EXPECT_FALSE(ComLeftBehind) << "COM is still initialised on the calling thread";
    EXPECT_EQ((Calls{Target, "/s /x", "Velmora screensaver", Folder, Icon, "7"}),
              ReadLink(LinkFile));
    DeleteFileA(LinkFile.c_str());
    DeleteFileA(Target.c_str());
    RemoveDirectoryA(Folder.c_str());
}

TEST(ShellLinkWithSystemObject, LeavesTheCallersMultiThreadedComAlone) {
    const std::string Folder = TempFolder();
    const std::string LinkFile = Folder + "\\Threaded.lnk";
    HRESULT StillInitialised = E_UNEXPECTED;
    std::thread([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CreateShellLink(LinkFile.c_str(), "C:\\windows\\notepad.exe", nullptr, Folder.c_str(),
                        "Threaded", "C:\\windows\\notepad.exe", 0);
        // S_FALSE: the thread's own apartment is still there. Two
        // uninitialisations balance either answer.
        StillInitialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(S_FALSE, StillInitialised);
    DeleteFileA(LinkFile.c_str());
    RemoveDirectoryA(Folder.c_str());
}

} // namespace
