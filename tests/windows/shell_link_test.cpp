// CreateShellLink, first against a link object of the test's own that stands
// in for the shell's (registered for CLSID_ShellLink on the test thread) and
// records every call made on it, then once against the system's own link
// object, reading the written file back.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "shell/shell_link.h"

using namespace Velmora;

namespace {

typedef std::vector<uint8_t> Bytes;

const DWORD ConsoleSignature = 0xA0000002;
const DWORD FarEastSignature = 0xA0000004;

void PutWord(Bytes& Block, size_t Offset, uint16_t Value) {
    Block[Offset] = static_cast<uint8_t>(Value);
    Block[Offset + 1] = static_cast<uint8_t>(Value >> 8);
}

void PutLong(Bytes& Block, size_t Offset, uint32_t Value) {
    for (int Index = 0; Index < 4; ++Index) {
        Block[Offset + Index] = static_cast<uint8_t>(Value >> (8 * Index));
    }
}

// The console block a link without one receives, laid out by hand: the
// header, then the fields at their offsets in the 204-byte record.
Bytes FreshConsoleBlock() {
    Bytes Block(204, 0);
    PutLong(Block, 0, 204);
    PutLong(Block, 4, ConsoleSignature);
    PutWord(Block, 8, 7);     // fill attribute
    PutWord(Block, 10, 0x5F); // popup fill attribute
    PutWord(Block, 12, 80);   // screen buffer: columns
    PutWord(Block, 14, 500);  // rows
    PutWord(Block, 16, 70);   // window: columns
    PutWord(Block, 18, 40);   // rows
    // 20: window origin 0, 0; 24: font 0
    PutLong(Block, 28, 100); // input buffer size
    PutWord(Block, 32, 8);   // font width
    PutWord(Block, 34, 12);  // font height
    // 36 font family, 40 weight, 44..107 face name, 108 cursor size,
    // 112 full screen, 116 quick edit, 120 insert mode, 124 auto position: 0
    PutLong(Block, 128, 350); // history buffer size
    PutLong(Block, 132, 5);   // number of history buffers
    PutLong(Block, 136, 1);   // no duplicates in the history
    const uint8_t Colours[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                                    {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                                    {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                    {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    for (size_t Index = 0; Index < 16; ++Index) {
        Block[140 + 4 * Index] = Colours[Index][0]; // red in the low byte
        Block[141 + 4 * Index] = Colours[Index][1];
        Block[142 + 4 * Index] = Colours[Index][2];
    }
    return Block;
}

Bytes FreshFarEastBlock() {
    Bytes Block(12, 0);
    PutLong(Block, 0, 12);
    PutLong(Block, 4, FarEastSignature);
    PutLong(Block, 8, 437);
    return Block;
}

// A console block as some other program might have left it: every byte
// distinct from its neighbours, so that any field changed shows.
Bytes ForeignConsoleBlock() {
    Bytes Block(204);
    for (size_t Index = 0; Index < Block.size(); ++Index) {
        Block[Index] = static_cast<uint8_t>(Index * 37 + 11);
    }
    PutLong(Block, 0, 204);
    PutLong(Block, 4, ConsoleSignature);
    PutLong(Block, 112, 0);  // not full screen
    PutLong(Block, 116, 1);  // quick edit on
    PutLong(Block, 120, 77); // insert mode on, as any non-zero value
    return Block;
}

std::string Narrow(const std::wstring& Text) {
    std::string Result;
    for (wchar_t Unit : Text) {
        Result += Unit < 0x80 ? static_cast<char>(Unit) : '?';
    }
    return Result;
}

std::string Hex(DWORD Value) {
    char Text[16];
    std::snprintf(Text, sizeof Text, "%08lX", static_cast<unsigned long>(Value));
    return Text;
}

// What the recording link answers.
struct LinkBehaviour {
    bool GivesPersistFile = true;
    bool GivesDataList = true;
    Bytes ConsoleBlock;               // the link's own console block; empty for none
    Bytes FarEastBlock;               // the link's own Far-East block; empty for none
    std::vector<HRESULT> SaveResults; // one per Save in turn, S_OK beyond
    HRESULT AddResult = S_OK;
};

// What was done to it.
struct LinkRecord {
    std::vector<std::string> Calls;
    std::vector<Bytes> AddedBlocks;
    std::vector<void*> HandedCopies;              // blocks given out by CopyDataBlock
    int Objects = 0;                              // link objects made
    int Destroyed = 0;                            // link objects whose last reference went
    std::vector<std::string> RequestedInterfaces; // at the class factory
};

std::string InterfaceName(REFIID Id) {
    if (IsEqualIID(Id, IID_IUnknown)) {
        return "IUnknown";
    }
    if (IsEqualIID(Id, IID_IShellLinkA)) {
        return "IShellLinkA";
    }
    if (IsEqualIID(Id, IID_IPersistFile)) {
        return "IPersistFile";
    }
    if (IsEqualIID(Id, IID_IShellLinkDataList)) {
        return "IShellLinkDataList";
    }
    if (IsEqualIID(Id, IID_IShellLinkW)) {
        return "IShellLinkW";
    }
    return "other";
}

// Data blocks are handed out in a block large enough that the heap gives it
// pages of its own and returns them when it is freed: whether the routine
// freed a copy then shows in the pages' state.
const SIZE_T HandedCopySize = 4 * 1024 * 1024;

bool PagesCommitted(const void* Address) {
    MEMORY_BASIC_INFORMATION Info;
    if (VirtualQuery(Address, &Info, sizeof Info) == 0) {
        return false;
    }
    return Info.State == MEM_COMMIT;
}

class RecordingLink final : public IShellLinkA, public IPersistFile, public IShellLinkDataList {
  public:
    RecordingLink(const LinkBehaviour& Behaviour, LinkRecord& Record)
        : Behaviour(Behaviour), Record(Record) {
        ++Record.Objects;
    }

    // IUnknown (shared by the three interfaces)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
        *Object = nullptr;
        const std::string Name = InterfaceName(Id);
        if (Name == "IPersistFile" || Name == "IShellLinkDataList") {
            Record.Calls.push_back("QueryInterface(" + Name + ")");
        }
        if (Name == "IUnknown" || Name == "IShellLinkA") {
            *Object = static_cast<IShellLinkA*>(this);
        } else if (Name == "IPersistFile" && Behaviour.GivesPersistFile) {
            *Object = static_cast<IPersistFile*>(this);
        } else if (Name == "IShellLinkDataList" && Behaviour.GivesDataList) {
            *Object = static_cast<IShellLinkDataList*>(this);
        } else {
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
            ++Record.Destroyed;
            delete this;
        }
        return Left;
    }

    // IShellLinkA: the setters the routine uses
    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR Path) override {
        Record.Calls.push_back(std::string("SetPath(") + Path + ")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR Arguments) override {
        Record.Calls.push_back(std::string("SetArguments(") + Arguments + ")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR Description) override {
        Record.Calls.push_back(std::string("SetDescription(") + Description + ")");
        return E_FAIL; // the routine goes on whatever a setter says
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR File, int Index) override {
        Record.Calls.push_back(std::string("SetIconLocation(") + File + "," +
                               std::to_string(Index) + ")");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR Directory) override {
        Record.Calls.push_back(std::string("SetWorkingDirectory(") + Directory + ")");
        return S_OK;
    }

    // IShellLinkA: everything else is not expected of the routine
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR, int, WIN32_FIND_DATAA*, DWORD) override {
        return Unexpected("GetPath");
    }
    HRESULT STDMETHODCALLTYPE GetIDList(LPITEMIDLIST*) override {
        return Unexpected("GetIDList");
    }
    HRESULT STDMETHODCALLTYPE SetIDList(LPCITEMIDLIST) override {
        return Unexpected("SetIDList");
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR, int) override {
        return Unexpected("GetDescription");
    }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR, int) override {
        return Unexpected("GetWorkingDirectory");
    }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR, int) override {
        return Unexpected("GetArguments");
    }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD*) override {
        return Unexpected("GetHotkey");
    }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD) override {
        return Unexpected("SetHotkey");
    }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int*) override {
        return Unexpected("GetShowCmd");
    }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int) override {
        return Unexpected("SetShowCmd");
    }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR, int, int*) override {
        return Unexpected("GetIconLocation");
    }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR, DWORD) override {
        return Unexpected("SetRelativePath");
    }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override {
        return Unexpected("Resolve");
    }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override {
        return Unexpected("GetClassID");
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override {
        return Unexpected("IsDirty");
    }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override {
        return Unexpected("Load");
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR File, BOOL Remember) override {
        Record.Calls.push_back("Save(" + Narrow(File) + "," + std::to_string(Remember) + ")");
        const size_t Turn = SavesSoFar++;
        return Turn < Behaviour.SaveResults.size() ? Behaviour.SaveResults[Turn] : S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override {
        return Unexpected("SaveCompleted");
    }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override {
        return Unexpected("GetCurFile");
    }

    // IShellLinkDataList
    HRESULT STDMETHODCALLTYPE AddDataBlock(void* Block) override {
        DWORD Header[2];
        std::memcpy(Header, Block, sizeof Header);
        Record.Calls.push_back("AddDataBlock(" + Hex(Header[1]) + ")");
        size_t Length = sizeof Header;
        if (Header[1] == ConsoleSignature) {
            Length = 204;
        } else if (Header[1] == FarEastSignature) {
            Length = 12;
        }
        const uint8_t* First = static_cast<const uint8_t*>(Block);
        Record.AddedBlocks.push_back(Bytes(First, First + Length));
        return Behaviour.AddResult;
    }
    HRESULT STDMETHODCALLTYPE CopyDataBlock(DWORD Signature, void** Block) override {
        Record.Calls.push_back("CopyDataBlock(" + Hex(Signature) + ")");
        *Block = nullptr;
        const Bytes* Own = nullptr;
        if (Signature == ConsoleSignature && !Behaviour.ConsoleBlock.empty()) {
            Own = &Behaviour.ConsoleBlock;
        } else if (Signature == FarEastSignature && !Behaviour.FarEastBlock.empty()) {
            Own = &Behaviour.FarEastBlock;
        }
        if (Own == nullptr) {
            return E_FAIL;
        }
        void* Copy = LocalAlloc(LMEM_FIXED, HandedCopySize);
        if (Copy == nullptr || !PagesCommitted(Copy)) {
            ADD_FAILURE() << "a handed copy must sit in committed pages of its own";
            return E_OUTOFMEMORY;
        }
        std::memcpy(Copy, Own->data(), Own->size());
        Record.HandedCopies.push_back(Copy);
        *Block = Copy;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveDataBlock(DWORD) override {
        return Unexpected("RemoveDataBlock");
    }
    HRESULT STDMETHODCALLTYPE GetFlags(DWORD*) override {
        return Unexpected("GetFlags");
    }
    HRESULT STDMETHODCALLTYPE SetFlags(DWORD) override {
        return Unexpected("SetFlags");
    }

  private:
    HRESULT Unexpected(const char* Name) {
        Record.Calls.push_back(std::string("unexpected ") + Name);
        return E_NOTIMPL;
    }

    const LinkBehaviour& Behaviour;
    LinkRecord& Record;
    ULONG References = 0;
    size_t SavesSoFar = 0;
};

// Lives as long as the fixture; COM's references to it are not counted.
struct RecordingFactory : public IClassFactory {
    const LinkBehaviour* Behaviour = nullptr;
    LinkRecord* Record = nullptr;
    bool Refuses = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
        if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IClassFactory)) {
            *Object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *Object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* Outer, REFIID Id, void** Object) override {
        Record->RequestedInterfaces.push_back(InterfaceName(Id));
        *Object = nullptr;
        if (Refuses || Outer != nullptr) {
            return E_OUTOFMEMORY;
        }
        RecordingLink* Link = new RecordingLink(*Behaviour, *Record);
        Link->AddRef();
        const HRESULT Status = Link->QueryInterface(Id, Object);
        Link->Release();
        return Status;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override {
        return S_OK;
    }
};

// Whether COM is initialised on this thread, found by initialising it once
// more (S_FALSE: it already was) and undoing that at once.
bool ComInitialisedOnThread() {
    const HRESULT Status = CoInitialize(nullptr);
    CoUninitialize();
    return Status == S_FALSE;
}

// Runs Work with the process's standard output going into a pipe, and
// returns what was written to it.
template <typename Routine> std::string CaptureStandardOutput(Routine Work) {
    HANDLE ReadEnd = nullptr;
    HANDLE WriteEnd = nullptr;
    if (!CreatePipe(&ReadEnd, &WriteEnd, nullptr, 64 * 1024)) {
        ADD_FAILURE() << "no pipe";
        return std::string();
    }
    const HANDLE Previous = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, WriteEnd);
    Work();
    SetStdHandle(STD_OUTPUT_HANDLE, Previous);
    CloseHandle(WriteEnd);
    std::string Text;
    char Chunk[256];
    DWORD Count = 0;
    while (ReadFile(ReadEnd, Chunk, sizeof Chunk, &Count, nullptr) && Count > 0) {
        Text.append(Chunk, Count);
    }
    CloseHandle(ReadEnd);
    return Text;
}

const char LinkPath[] = "C:\\links\\Velmora.lnk";
const char Target[] = "C:\\WINDOWS\\Velmora.scr";
const char Arguments[] = "/s";
const char Directory[] = "C:\\WINDOWS";
const char Description[] = "Velmora screensaver";
const char IconFile[] = "C:\\WINDOWS\\setup.exe";
const int IconIndex = -3;

const char* const SetterCalls[] = {
    "SetPath(C:\\WINDOWS\\Velmora.scr)",   "SetArguments(/s)",
    "SetDescription(Velmora screensaver)", "SetIconLocation(C:\\WINDOWS\\setup.exe,-3)",
    "SetWorkingDirectory(C:\\WINDOWS)",
};
const char SaveCall[] = "Save(C:\\links\\Velmora.lnk,1)";

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> Parts) {
    std::vector<std::string> Result;
    for (const std::vector<std::string>& Part : Parts) {
        Result.insert(Result.end(), Part.begin(), Part.end());
    }
    return Result;
}

std::vector<std::string> Setters() {
    return std::vector<std::string>(std::begin(SetterCalls), std::end(SetterCalls));
}

std::vector<std::string> OneSave() {
    return {"QueryInterface(IPersistFile)", SaveCall};
}

std::string LastCall(const LinkRecord& Record) {
    return Record.Calls.empty() ? std::string("(no call)") : Record.Calls.back();
}

class ShellLinkWithRecordingObject : public ::testing::Test {
  protected:
    void SetUp() override {
        // The thread starts without COM; the registration needs it, and it has
        // to outlast the routine's own CoInitialize / CoUninitialize.
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
        ComStarted = true;
        Factory.Behaviour = &Behaviour;
        Factory.Record = &Record;
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_ShellLink, &Factory, CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &Cookie));
    }

    void TearDown() override {
        if (Cookie != 0) {
            EXPECT_EQ(S_OK, CoRevokeClassObject(Cookie));
        }
        if (ComStarted) {
            CoUninitialize();
            // Ours was the only initialisation left: the routine undid its own.
            EXPECT_FALSE(ComInitialisedOnThread());
        }
        for (void* Copy : Record.HandedCopies) {
            if (PagesCommitted(Copy)) {
                LocalFree(Copy); // not freed by the routine; the test has failed already
            }
        }
    }

    HRESULT Run(const char* Link = LinkPath, const char* LinkArguments = Arguments) {
        const HRESULT Result = CreateShellLink(Link, Target, LinkArguments, Directory, Description,
                                               IconFile, IconIndex);
        // Still initialised, so the routine did not undo more than it did.
        EXPECT_TRUE(ComInitialisedOnThread());
        // Every reference the routine took was given back.
        EXPECT_EQ(Record.Objects, Record.Destroyed);
        return Result;
    }

    void ExpectCopiesFreed() {
        for (void* Copy : Record.HandedCopies) {
            EXPECT_FALSE(PagesCommitted(Copy)) << "a copy of a data block was not freed";
        }
    }

    LinkBehaviour Behaviour;
    LinkRecord Record;
    RecordingFactory Factory;
    DWORD Cookie = 0;
    bool ComStarted = false;
};

TEST_F(ShellLinkWithRecordingObject, NewLinkGetsItsFieldsTwoSavesAndBothFreshBlocks) {
    Behaviour.SaveResults = {S_OK, S_OK};
    HRESULT Result = E_UNEXPECTED;
    const std::string Output = CaptureStandardOutput([&] { Result = Run(); });
    EXPECT_EQ(S_OK, Result);

    EXPECT_EQ(std::vector<std::string>{"IShellLinkA"}, Record.RequestedInterfaces);
    EXPECT_EQ(1, Record.Objects);
    const std::vector<std::string> Expected =
        Join({Setters(),
              OneSave(),
              {"QueryInterface(IShellLinkDataList)", "CopyDataBlock(A0000002)",
               "AddDataBlock(A0000002)", "CopyDataBlock(A0000004)", "AddDataBlock(A0000004)"},
              OneSave()});
    EXPECT_EQ(Expected, Record.Calls);

    ASSERT_EQ(2u, Record.AddedBlocks.size());
    EXPECT_EQ(FreshConsoleBlock(), Record.AddedBlocks[0]);
    EXPECT_EQ(FreshFarEastBlock(), Record.AddedBlocks[1]);
    EXPECT_EQ("", Output) << "nothing is written for a link without a console block";
}

TEST_F(ShellLinkWithRecordingObject, ArgumentsAreSetOnlyWhenGiven) {
    Run(LinkPath, nullptr);
    std::vector<std::string> WithoutArguments = Setters();
    WithoutArguments.erase(WithoutArguments.begin() + 1);
    ASSERT_GE(Record.Calls.size(), WithoutArguments.size());
    EXPECT_EQ(WithoutArguments,
              std::vector<std::string>(Record.Calls.begin(),
                                       Record.Calls.begin() + WithoutArguments.size()));

    Record.Calls.clear();
    Run(LinkPath, "");
    std::vector<std::string> EmptyArguments = Setters();
    EmptyArguments[1] = "SetArguments()";
    ASSERT_GE(Record.Calls.size(), EmptyArguments.size());
    EXPECT_EQ(EmptyArguments,
              std::vector<std::string>(Record.Calls.begin(),
                                       Record.Calls.begin() + EmptyArguments.size()));
}

TEST_F(ShellLinkWithRecordingObject, ResultIsTheStatusOfTheSecondSave) {
    Behaviour.SaveResults = {E_ACCESSDENIED, S_OK};
    EXPECT_EQ(S_OK, Run());

    Behaviour.SaveResults = {S_OK, STG_E_WRITEFAULT};
    EXPECT_EQ(STG_E_WRITEFAULT, Run());

    Behaviour.SaveResults = {S_FALSE, E_ACCESSDENIED};
    EXPECT_EQ(E_ACCESSDENIED, Run());
    EXPECT_EQ(3, Record.Objects);
}

TEST_F(ShellLinkWithRecordingObject, StatusesOfTheDataBlockCallsDoNotMatter) {
    Behaviour.AddResult = E_NOTIMPL; // what Wine's own link object answers
    Behaviour.SaveResults = {S_OK, S_OK};
    EXPECT_EQ(S_OK, Run());
    EXPECT_EQ(2u, Record.AddedBlocks.size());
    EXPECT_EQ(SaveCall, LastCall(Record));
}

TEST_F(ShellLinkWithRecordingObject, ExistingConsoleBlockChangesInThreeFieldsAndIsReported) {
    Behaviour.ConsoleBlock = ForeignConsoleBlock();
    HRESULT Result = E_UNEXPECTED;
    const std::string Output = CaptureStandardOutput([&] { Result = Run(); });
    EXPECT_EQ(S_OK, Result);
    EXPECT_EQ("Has NT_CONSOLE_PROPS\r\n", Output);

    const std::vector<std::string> Expected =
        Join({Setters(),
              OneSave(),
              {"QueryInterface(IShellLinkDataList)", "CopyDataBlock(A0000002)",
               "AddDataBlock(A0000002)", "CopyDataBlock(A0000004)", "AddDataBlock(A0000004)"},
              OneSave()});
    EXPECT_EQ(Expected, Record.Calls);

    Bytes Changed = ForeignConsoleBlock();
    PutLong(Changed, 112, 1); // full screen
    PutLong(Changed, 116, 0); // quick edit off
    PutLong(Changed, 120, 0); // insert mode off
    ASSERT_EQ(2u, Record.AddedBlocks.size());
    EXPECT_EQ(Changed, Record.AddedBlocks[0]);
    EXPECT_EQ(FreshFarEastBlock(), Record.AddedBlocks[1]);
    ASSERT_EQ(1u, Record.HandedCopies.size());
    ExpectCopiesFreed();
}

TEST_F(ShellLinkWithRecordingObject, ExistingConsoleBlockWithoutStandardOutputGoesQuietly) {
    Behaviour.ConsoleBlock = ForeignConsoleBlock();
    Bytes Changed = ForeignConsoleBlock();
    PutLong(Changed, 112, 1);
    PutLong(Changed, 116, 0);
    PutLong(Changed, 120, 0);

    const HANDLE Previous = GetStdHandle(STD_OUTPUT_HANDLE);
    for (HANDLE None : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        Record.AddedBlocks.clear();
        SetStdHandle(STD_OUTPUT_HANDLE, None);
        const HRESULT Result = Run();
        SetStdHandle(STD_OUTPUT_HANDLE, Previous);
        EXPECT_EQ(S_OK, Result);
        ASSERT_EQ(2u, Record.AddedBlocks.size());
        EXPECT_EQ(Changed, Record.AddedBlocks[0]);
        EXPECT_EQ(SaveCall, LastCall(Record));
    }
    ExpectCopiesFreed();
}

TEST_F(ShellLinkWithRecordingObject, ExistingFarEastBlockIsLeftAlone) {
    Bytes Own = FreshFarEastBlock();
    PutLong(Own, 8, 932);
    Behaviour.FarEastBlock = Own;
    HRESULT Result = E_UNEXPECTED;
    const std::string Output = CaptureStandardOutput([&] { Result = Run(); });
    EXPECT_EQ(S_OK, Result);
    EXPECT_EQ("", Output);

    const std::vector<std::string> Expected =
        Join({Setters(),
              OneSave(),
              {"QueryInterface(IShellLinkDataList)", "CopyDataBlock(A0000002)",
               "AddDataBlock(A0000002)", "CopyDataBlock(A0000004)"},
              OneSave()});
    EXPECT_EQ(Expected, Record.Calls);
    ASSERT_EQ(1u, Record.AddedBlocks.size());
    EXPECT_EQ(FreshConsoleBlock(), Record.AddedBlocks[0]);
    ASSERT_EQ(1u, Record.HandedCopies.size());
    ExpectCopiesFreed();
}

TEST_F(ShellLinkWithRecordingObject, BothBlocksExisting) {
    Behaviour.ConsoleBlock = ForeignConsoleBlock();
    Behaviour.FarEastBlock = FreshFarEastBlock();
    HRESULT Result = E_UNEXPECTED;
    const std::string Output = CaptureStandardOutput([&] { Result = Run(); });
    EXPECT_EQ(S_OK, Result);
    EXPECT_EQ("Has NT_CONSOLE_PROPS\r\n", Output);
    ASSERT_EQ(1u, Record.AddedBlocks.size());
    EXPECT_EQ(ConsoleSignature, Record.AddedBlocks[0][4] | Record.AddedBlocks[0][5] << 8 |
                                    Record.AddedBlocks[0][6] << 16 |
                                    static_cast<DWORD>(Record.AddedBlocks[0][7]) << 24);
    EXPECT_EQ(2u, Record.HandedCopies.size());
    ExpectCopiesFreed();
}

TEST_F(ShellLinkWithRecordingObject, WithoutDataListStillTwoSavesAndNoBlocks) {
    Behaviour.GivesDataList = false;
    Behaviour.SaveResults = {S_OK, E_ACCESSDENIED};
    EXPECT_EQ(E_ACCESSDENIED, Run());
    const std::vector<std::string> Expected =
        Join({Setters(), OneSave(), {"QueryInterface(IShellLinkDataList)"}, OneSave()});
    EXPECT_EQ(Expected, Record.Calls);
    EXPECT_TRUE(Record.AddedBlocks.empty());
}

TEST_F(ShellLinkWithRecordingObject, WithoutPersistFileNothingIsSavedAndTheResultIsFail) {
    Behaviour.GivesPersistFile = false;
    EXPECT_EQ(E_FAIL, Run());
    const std::vector<std::string> Expected =
        Join({Setters(),
              {"QueryInterface(IPersistFile)", "QueryInterface(IShellLinkDataList)",
               "CopyDataBlock(A0000002)", "AddDataBlock(A0000002)", "CopyDataBlock(A0000004)",
               "AddDataBlock(A0000004)", "QueryInterface(IPersistFile)"}});
    EXPECT_EQ(Expected, Record.Calls);
}

TEST_F(ShellLinkWithRecordingObject, LinkObjectThatCannotBeMadeGivesFail) {
    Factory.Refuses = true;
    EXPECT_EQ(E_FAIL, Run());
    EXPECT_EQ(std::vector<std::string>{"IShellLinkA"}, Record.RequestedInterfaces);
    EXPECT_EQ(0, Record.Objects);
    EXPECT_TRUE(Record.Calls.empty());
}

TEST_F(ShellLinkWithRecordingObject, LinkFileMustFitTheConversionBufferWhole) {
    // 259 characters and the terminator fill the 260 units exactly.
    const std::string Longest = "C:\\" + std::string(252, 'a') + ".lnk";
    ASSERT_EQ(259u, Longest.size());
    Behaviour.SaveResults = {S_OK, S_OK};
    EXPECT_EQ(S_OK, Run(Longest.c_str()));
    const std::string Saved = "Save(" + Longest + ",1)";
    const std::vector<std::string> Expected =
        Join({Setters(),
              {"QueryInterface(IPersistFile)", Saved, "QueryInterface(IShellLinkDataList)",
               "CopyDataBlock(A0000002)", "AddDataBlock(A0000002)", "CopyDataBlock(A0000004)",
               "AddDataBlock(A0000004)", "QueryInterface(IPersistFile)", Saved}});
    EXPECT_EQ(Expected, Record.Calls);

    // One more character, and nothing may be saved, in particular not under
    // the first 259 of them.
    for (size_t Length : {260u, 261u, 1000u}) {
        Record.Calls.clear();
        const std::string TooLong = "C:\\" + std::string(Length - 7, 'b') + ".lnk";
        ASSERT_EQ(Length, TooLong.size());
        EXPECT_EQ(E_FAIL, Run(TooLong.c_str())) << Length;
        for (const std::string& Call : Record.Calls) {
            EXPECT_NE(0u, Call.find("Save(")) << Length << ": " << Call;
        }
        EXPECT_EQ(std::ptrdiff_t(2), std::count(Record.Calls.begin(), Record.Calls.end(),
                                                std::string("QueryInterface(IPersistFile)")));
    }
}

// The system's own link object, on a thread that has no COM of its own.
std::string TempFolder() {
    char Base[MAX_PATH];
    GetTempPathA(MAX_PATH, Base);
    std::string Folder =
        std::string(Base) + "velmora-link-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(Folder.c_str(), nullptr);
    return Folder;
}

TEST(ShellLinkWithSystemObject, WrittenLinkLoadsBackWithItsFields) {
    const std::string Folder = TempFolder();
    const std::string LinkFile = Folder + "\\Velmora.lnk";
    const std::string TargetFile = Folder + "\\Velmora.scr";
    const HANDLE Created = CreateFileA(TargetFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Created);
    CloseHandle(Created);
    DeleteFileA(LinkFile.c_str());

    HRESULT Result = E_UNEXPECTED;
    bool ComLeftBehind = true;
    HRESULT Loaded = E_UNEXPECTED;
    char Path[MAX_PATH] = "";
    char LinkArguments[MAX_PATH] = "";
    char LinkDescription[MAX_PATH] = "";
    char LinkDirectory[MAX_PATH] = "";
    char Icon[MAX_PATH] = "";
    int Index = 0;
    std::thread Worker([&] {
        Result = CreateShellLink(LinkFile.c_str(), TargetFile.c_str(), "/s /x", Folder.c_str(),
                                 "Velmora screensaver", "C:\\windows\\system32\\shell32.dll", 7);
        ComLeftBehind = ComInitialisedOnThread();

        CoInitialize(nullptr);
        IShellLinkA* Link = nullptr;
        if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&Link)) == S_OK) {
            IPersistFile* File = nullptr;
            if (Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File)) == S_OK) {
                std::wstring WidePath(LinkFile.begin(), LinkFile.end());
                Loaded = File->Load(WidePath.c_str(), STGM_READ);
                File->Release();
            }
            Link->GetPath(Path, MAX_PATH, nullptr, SLGP_RAWPATH);
            Link->GetArguments(LinkArguments, MAX_PATH);
            Link->GetDescription(LinkDescription, MAX_PATH);
            Link->GetWorkingDirectory(LinkDirectory, MAX_PATH);
            Link->GetIconLocation(Icon, MAX_PATH, &Index);
            Link->Release();
        }
        CoUninitialize();
    });
    Worker.join();

    EXPECT_EQ(S_OK, Result);
    EXPECT_FALSE(ComLeftBehind) << "COM is still initialised on the calling thread";
    EXPECT_EQ(S_OK, Loaded);
    EXPECT_STRCASEEQ(TargetFile.c_str(), Path);
    EXPECT_STREQ("/s /x", LinkArguments);
    EXPECT_STREQ("Velmora screensaver", LinkDescription);
    EXPECT_STRCASEEQ(Folder.c_str(), LinkDirectory);
    EXPECT_STRCASEEQ("C:\\windows\\system32\\shell32.dll", Icon);
    EXPECT_EQ(7, Index);

    DeleteFileA(LinkFile.c_str());
    DeleteFileA(TargetFile.c_str());
    RemoveDirectoryA(Folder.c_str());
}

TEST(ShellLinkWithSystemObject, LeavesTheCallersMultiThreadedComAlone) {
    const std::string Folder = TempFolder();
    const std::string LinkFile = Folder + "\\Threaded.lnk";
    HRESULT StillInitialised = E_UNEXPECTED;
    std::thread Worker([&] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CreateShellLink(LinkFile.c_str(), "C:\\windows\\notepad.exe", nullptr, Folder.c_str(),
                        "Threaded", "C:\\windows\\notepad.exe", 0);
        // S_FALSE: the thread's own apartment is still there.
        StillInitialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(StillInitialised)) {
            CoUninitialize();
        }
        CoUninitialize();
    });
    Worker.join();
    EXPECT_EQ(S_FALSE, StillInitialised);
    DeleteFileA(LinkFile.c_str());
    RemoveDirectoryA(Folder.c_str());
}

} // namespace
