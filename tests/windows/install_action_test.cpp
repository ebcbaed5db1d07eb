// The install and uninstall actions on real files and the real system.ini, and
// the start-up (the DLL search restricted first, its failures), with every
// message box read back and answered.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <process.h>
#include <cstring>
#include <fstream>
#include <iterator>

#include "actions/install_action.h"
#include "actions/uninstall_action.h"
#include "app/app_startup.h"
#include "app/install_location.h"
#include "data/payload_table.h"
#include "import_slot.h"
#include "message_box_watch.h"
#include "ui/menu_model.h"
#include "ui/menu_window.h"

using namespace Velmora;
using namespace VelmoraTest;

IMPORT_SLOT(CreateFileA, 28);
IMPORT_SLOT(WriteFile, 20);
IMPORT_SLOT(CloseHandle, 4);
IMPORT_SLOT(MoveFileExA, 12);
IMPORT_SLOT(MoveFileA, 8);
IMPORT_SLOT(GlobalAlloc, 8);
IMPORT_SLOT(WritePrivateProfileStringA, 16);
IMPORT_SLOT(FlushFileBuffers, 4);
IMPORT_SLOT(SystemParametersInfoA, 16);
IMPORT_SLOT(RegisterClassA, 4);
IMPORT_SLOT(CreateWindowExA, 48);
IMPORT_SLOT(GetDC, 4);
IMPORT_SLOT(ExitProcess, 4);
IMPORT_SLOT(GetVersionExA, 4);

namespace {

const std::string Absent = "(no file)";

std::string Contents(const std::string& Path) { // a file's bytes, or Absent
    std::ifstream in(Path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : Absent;
}

const std::string Self = _pgmptr; // this program
const std::string Directory = std::string(std::getenv("windir")) + "\\";
const std::string Target = Directory + "Velmora.scr";
const std::string Built = Contents(Self.substr(0, Self.rfind('\\') + 1) + "Velmora.scr");
const std::string Old(100000, '\xEE'); // larger than the screensaver

size_t DirectoryEntries() {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((Directory + "*").c_str(), &found);
    size_t count = search != INVALID_HANDLE_VALUE;
    while (count != 0 && FindNextFileA(search, &found)) {
        ++count;
    }
    FindClose(search);
    return count;
}

const char Desktop[] = "Control Panel\\Desktop";
const char Policy[] = "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";

// The saver that system.ini names, and " on" or " off" as the user's profile
// keeps the screen saver's switch.
std::string ScreensaverSetting() {
    char value[256] = "", active[8] = "";
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
    HKEY key;
    DWORD size = sizeof active;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Desktop, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        RegQueryValueExA(key, "ScreenSaveActive", nullptr, nullptr, (BYTE*)active, &size);
        RegCloseKey(key);
    }
    return value + std::string(active == std::string("1") ? " on" : " off");
}

// A value of the organisation's policy for the screen saver, until SetUp.
void SetPolicy(const char* Name, const char* Value) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, Policy, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, Name, 0, REG_SZ, (const BYTE*)Value, strlen(Value) + 1);
    RegCloseKey(key);
}

Boxes ErrorBox(const std::string& Text, const char* Caption = " Error") {
    return {Caption + ("|" + Text) + "|OK|exclamation"};
}
const Boxes Success = {" Installation completed | Program installed in desired manner|OK|none"};
// And then: a policy decides the screen saver against Velmora.
const Boxes Overridden = {Success[0],
                          " Screen saver| Your organisation's settings choose the "
                          "screen saver: Velmora will not start by itself.|OK|information"};
const Boxes NotFound =
    ErrorBox(" Setup did not find the installed file(s) on your system", " File not found");
const std::string Question =
    " Uninstallation|This will remove Velmora from the system.|OK,Cancel|question";

Boxes Shown(void (*Action)(), const std::vector<int>& Answers = {}) {
    WatchMessageBoxes(Answers);
    Action();
    return StopWatching();
}

template <typename Routine> void* Stand(Routine* In) {
    return reinterpret_cast<void*>(In);
}

class Actions : public testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        // As Windows leaves it after "(None)" in the screen saver settings.
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", nullptr, "system.ini");
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_UPDATEINIFILE);
        RegDeleteKeyA(HKEY_CURRENT_USER, Policy);
        AssignString(MenuCaptions[1], "Unknown");
        InstallCheckStatus = 0xBAD;
    }
    void TearDown() override {
        LoadPayloadTable();
        DeleteFileA(Target.c_str());
    }
};

// Stand-ins for the platform: a refused file, a lost write, a full disk.
void* Real; // what the swapped import slot held
// One that fails: answers 0 (FALSE, null) whatever it is asked, in place of Routine.
template <typename Result, typename... Arguments> Result WINAPI Fails(Arguments...) {
    return Result();
}
template <typename Result, typename... Arguments> void* Failing(Result(WINAPI*)(Arguments...)) {
    return reinterpret_cast<void*>(&Fails<Result, Arguments...>);
}
HANDLE WINAPI RefusedCreate(LPCSTR Path, DWORD Access, DWORD Share, LPSECURITY_ATTRIBUTES Security,
                            DWORD Disposition, DWORD Attributes, HANDLE Template) {
    return Disposition != OPEN_EXISTING
               ? INVALID_HANDLE_VALUE // but let the check look
               : reinterpret_cast<decltype(&CreateFileA)>(Real)(Path, Access, Share, Security,
                                                                Disposition, Attributes, Template);
}
// Writes half and says it went well.
BOOL WINAPI ShortWrite(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Written, LPOVERLAPPED At) {
    return reinterpret_cast<decltype(&WriteFile)>(Real)(File, Data, Size / 2, Written, At);
}
BOOL WINAPI FailedClose(HANDLE Object) {
    return !reinterpret_cast<decltype(&CloseHandle)>(Real)(Object);
}
// Windows 95, 98 and ME: no replacing move; moves that fail there.
BOOL WINAPI NoReplacingMove(LPCSTR, LPCSTR, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
BOOL WINAPI RefusedMoveOfNew(LPCSTR From, LPCSTR To) {
    return !std::strstr(From, ".new") && reinterpret_cast<decltype(&MoveFileA)>(Real)(From, To);
}

// The file calls of an install, in order, each passed on to the system.
std::string Calls;
void* RealFileCalls[5];
template <int N, typename Result, typename... Arguments> Result WINAPI Noted(Arguments... Values) {
    static const char* const names[] = {"write ", "flush ", "close ", "move ", "move "};
    Calls += names[N];
    return reinterpret_cast<Result(WINAPI*)(Arguments...)>(RealFileCalls[N])(Values...);
}
template <int N, typename Result, typename... Arguments>
void* Noting(Result(WINAPI*)(Arguments...)) {
    return reinterpret_cast<void*>(&Noted<N, Result, Arguments...>);
}

// Each row runs on the NT family and as on 95/98/ME, where the old file is
// moved aside and back instead of replaced in one move.
TEST_F(Actions, InstallPutsTheWholeFileInPlaceOrLeavesWhatWasThere) {
    const std::string inflate = " Failed to decompress the file :\r" + Target;
    const std::string create = " Failed to create the file :\r" + Target;
    const std::string write = " Failed to write the file :\r" + Target;
    enum { Nt = 1, Nine = 2, Both = 3 };
    const struct {
        Boxes Shown;
        bool Installs;
        const char* Setting;                     // SCRNSAVE.EXE and the switch afterwards
        void (*Change)(PayloadEntry&) = nullptr; // to the carried entry
        void** Slot = nullptr;                   // pointed at StandIn for the run
        void* StandIn = nullptr;
        int Systems = Both;
    } cases[] = {
        {Success, true, "Velmora.scr on"},
        {Success, true, "Velmora.scr on", [](PayloadEntry& E) { E.CompressedSize = 0; }},
        {Success, true, " off", [](PayloadEntry& E) { E.Name = "Velmora.txt"; }},
        // Installed all the same where a policy decides, and told.
        {Overridden, true, "Velmora.scr on",
         [](PayloadEntry&) { SetPolicy("ScreenSaveActive", "0"); }},
        {Success, true, "Velmora.scr on",
         [](PayloadEntry&) { SetPolicy("ScreenSaveActive", "1"); }},
        {Overridden, true, "Velmora.scr on",
         [](PayloadEntry&) { SetPolicy("SCRNSAVE.EXE", "C:\\WINDOWS\\system32\\scrnsave.scr"); }},
        {Success, true, "Velmora.scr on",
         [](PayloadEntry&) { SetPolicy("SCRNSAVE.EXE", "C:\\Windows\\VELMORA.SCR"); }},
        {ErrorBox(create), false, " off", nullptr, &CreateFileASlot, Stand(&RefusedCreate)},
        {ErrorBox(write), false, " off", nullptr, &WriteFileSlot, Stand(&ShortWrite)},
        {ErrorBox(write), false, " off", nullptr, &CloseHandleSlot, Stand(&FailedClose)},
        {ErrorBox(write), false, " off", nullptr, &FlushFileBuffersSlot,
         Failing(&FlushFileBuffers)},
        {ErrorBox(create), false, " off", nullptr, &MoveFileExASlot, Failing(&MoveFileExA), Nt},
        {ErrorBox(create), false, " off", nullptr, &MoveFileASlot, Failing(&MoveFileA), Nine},
        {ErrorBox(create), false, " off", nullptr, &MoveFileASlot, Stand(&RefusedMoveOfNew), Nine},
        {ErrorBox(inflate + " (-4)"), false, " off", nullptr, &GlobalAllocSlot,
         Failing(&GlobalAlloc)},
        {ErrorBox(inflate + " (-3)"), false, " off", // a stream without its header
         [](PayloadEntry& E) { E.Data += 2, E.CompressedSize -= 2; }},
        {ErrorBox(inflate + " (-3)"), false, " off", // cut short, with room left
         [](PayloadEntry& E) { E.CompressedSize /= 2; }},
        {ErrorBox(inflate + " (-5)"), false, " off", [](PayloadEntry& E) { E.Size -= 100; }},
        {ErrorBox(Target + " has wrong size .\r"), false, " off",
         [](PayloadEntry& E) { E.Size += 100; }},
        {ErrorBox(" Failed to write system.ini"), true, " off", nullptr,
         &WritePrivateProfileStringASlot, Failing(&WritePrivateProfileStringA)},
        {ErrorBox(" Failed to switch the screen saver on"), true, "Velmora.scr off", nullptr,
         &SystemParametersInfoASlot, Failing(&SystemParametersInfoA)},
    };
    void** const noted[] = {&WriteFileSlot, &FlushFileBuffersSlot, &CloseHandleSlot,
                            &MoveFileExASlot, &MoveFileASlot};
    void* const notes[] = {Noting<0>(&WriteFile), Noting<1>(&FlushFileBuffers),
                           Noting<2>(&CloseHandle), Noting<3>(&MoveFileExA), Noting<4>(&MoveFileA)};
    for (int i = 0; i < 5; ++i) {
        RealFileCalls[i] = SwapImport(noted[i], notes[i]);
    }
    for (const int system : {Nt, Nine}) {
        void* const replacingMove =
            system == Nine ? SwapImport(&MoveFileExASlot, Stand(&NoReplacingMove)) : nullptr;
        for (const auto& c : cases) {
            for (const std::string& before : {Absent, Old}) { // a later install rewrites
                if (!(c.Systems & system)) {
                    continue;
                }
                if (c.Change) {
                    c.Change(PayloadTable[0]);
                }
                const std::string path = Directory + PayloadTable[0].Name;
                const std::string installed = PayloadTable[0].CompressedSize ? Built : "";
                SCOPED_TRACE("row " + std::to_string(&c - cases) +
                             (before == Old ? " over an old " : " new ") + path +
                             (system == Nine ? " on 9x" : ""));
                if (before == Old) {
                    std::ofstream(path, std::ios::binary) << Old;
                }
                const size_t entries = DirectoryEntries() + (c.Installs && before == Absent);
                Calls.clear();
                Real = c.Slot ? SwapImport(c.Slot, c.StandIn) : nullptr;
                const Boxes boxes = Shown(InstallAction);
                if (c.Slot) {
                    SwapImport(c.Slot, Real);
                }
                EXPECT_EQ(c.Shown, boxes);
                const std::string now = Contents(path);
                EXPECT_TRUE(now == (c.Installs ? installed : before)) << now.size();
                EXPECT_EQ(entries, DirectoryEntries()); // and nothing else beside it
                EXPECT_EQ(c.Setting, ScreensaverSetting());
                if (c.Installs) { // its data on the disk before it takes the name
                    EXPECT_EQ(installed.empty() ? "flush close move" : "write flush close move",
                              Calls.substr(0, Calls.find("move") + 4));
                }
                // The menu's state is what the disk holds.
                EXPECT_STREQ(now != Absent ? "Reinstall" : "Install", MenuCaptions[1]);
                DeleteFileA(path.c_str());
                SetUp();
            }
        }
        if (system == Nine) {
            SwapImport(&MoveFileExASlot, replacingMove);
        }
    }
    for (int i = 0; i < 5; ++i) {
        SwapImport(noted[i], RealFileCalls[i]);
    }
}

TEST_F(Actions, UninstallAsksAndRemovesOnlyAnInstalledFileOnOk) {
    CheckInstallation(); // nothing there
    EXPECT_EQ(NotFound, Shown(UninstallAction, {IDOK, IDOK}));
    ASSERT_EQ(Success, Shown(InstallAction));
    for (const int answer : {IDCANCEL, PressEscape, PressEnter}) { // Cancel is the default
        SCOPED_TRACE(answer);
        EXPECT_EQ(Boxes{Question}, Shown(UninstallAction, {answer, IDOK}));
        EXPECT_TRUE(Contents(Target) == Built);
    }
    const Boxes removed = {Question, " Completed| Software removed from your system.|OK|none"};
    EXPECT_EQ(removed, Shown(UninstallAction, {IDOK, IDOK}));
    EXPECT_EQ(Absent, Contents(Target));
    EXPECT_EQ(NotFound, Shown(UninstallAction, {IDOK, IDOK}));

    ASSERT_EQ(Success, Shown(InstallAction));
    ASSERT_TRUE(DeleteFileA(Target.c_str())); // removed by other means
    const Boxes failed = {Question, ErrorBox(" Failed to remove the file.")[0]};
    EXPECT_EQ(failed, Shown(UninstallAction, {IDOK, IDOK}));
    EXPECT_EQ(0, InstallCheckStatus);
}

// Whether the DLL search is restricted when the start-up's next step, the
// version's classification, begins: velmora_planted.dll beside this program
// no longer loads.
BOOL WINAPI VersionOnceRestricted(LPOSVERSIONINFOA Version) {
    const HMODULE planted = LoadLibraryA("velmora_planted.dll");
    Calls += Calls.empty() ? (planted ? "unrestricted" : "restricted") : "";
    FreeLibrary(planted);
    return reinterpret_cast<decltype(&GetVersionExA)>(Real)(Version);
}

// Start-ups run in a copy of this program ("--startup-child CASE REPORT"),
// which injects a failure or looks at the DLL search, runs the start-up steps
// with its boxes answered, writes them and what it saw to REPORT and ends with
// 0 once start-up is through.
const struct {
    const char *Name, *Text;
    void** Slot;
    void* StandIn;
    DWORD ExitCode;
} StartupCases[] = {
    {"class", "Can not Register Class", &RegisterClassASlot, Failing(&RegisterClassA), 1},
    {"window", "Can not create window", &CreateWindowExASlot, Failing(&CreateWindowExA), 1},
    {"picture", "Not enough memory to show the setup picture", &GlobalAllocSlot,
     Failing(&GlobalAlloc), 1},
    {"dc", "Can not get DC", &GetDCSlot, Failing(&GetDC), 0},
    // No box: the DLL search is restricted before any other step of the start-up.
    {"search", nullptr, &GetVersionExASlot, Stand(&VersionOnceRestricted), 0}};

const char* ReportPath;
void* RealExitProcess;
void WINAPI WriteReportAndExit(UINT Code) { // in place of ExitProcess
    {
        std::ofstream report(ReportPath, std::ios::binary);
        for (const std::string& box : StopWatching()) {
            report << box << "\n";
        }
        report << Calls;
    }
    reinterpret_cast<decltype(&ExitProcess)>(RealExitProcess)(Code);
}

[[noreturn]] void RunStartupChild(const std::string& Name) {
    for (const auto& c : StartupCases) {
        if (Name == c.Name) {
            Real = SwapImport(c.Slot, c.StandIn);
        }
    }
    WatchMessageBoxes({IDOK});
    RealExitProcess = SwapImport(&ExitProcessSlot, Stand(&WriteReportAndExit));
    StartSetup();
    ExitProcess(MainWindow != nullptr ? 0 : 3);
}

TEST(Startup, RestrictsTheDllSearchFirstAndEndsOnFailuresButAMissingDC) {
    for (const auto& c : StartupCases) {
        SCOPED_TRACE(c.Name);
        const std::string report = Self + "." + c.Name + ".txt";
        const std::string quoted = "\"" + Self + "\"", to = "\"" + report + "\"";
        EXPECT_EQ(intptr_t(c.ExitCode), _spawnl(_P_WAIT, Self.c_str(), quoted.c_str(),
                                                "--startup-child", c.Name, to.c_str(), nullptr));
        EXPECT_EQ(c.Text ? std::string("Error |") + c.Text + "|OK|none\n" : "restricted",
                  Contents(report));
        DeleteFileA(report.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--startup-child") {
        ReportPath = argv[3];
        RunStartupChild(argv[2]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
