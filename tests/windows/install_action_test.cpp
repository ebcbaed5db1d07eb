// The install and uninstall actions and the installation check, on real files
// in the Windows directory and the real system.ini, with every message box
// they show read back and answered.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "actions/install_action.h"
#include "actions/uninstall_action.h"
#include "app/install_location.h"
#include "data/payload_table.h"
#include "message_box_watch.h"
#include "ui/menu_model.h"

using namespace Velmora;
using namespace VelmoraTest;

namespace {

typedef std::vector<unsigned char> Bytes;

std::string WindowsDirectory() {
    char path[MAX_PATH] = "";
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string InWindows(const std::string& Name) {
    return WindowsDirectory() + "\\" + Name;
}

bool ReadBytes(const std::string& Path, Bytes& Out) {
    const HANDLE file = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    Out.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL ok = Out.empty() || ReadFile(file, Out.data(), DWORD(Out.size()), &read, nullptr);
    CloseHandle(file);
    return ok && read == Out.size();
}

void WriteBytes(const std::string& Path, const Bytes& Data) {
    const HANDLE file = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << Path;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, Data.data(), DWORD(Data.size()), &written, nullptr));
    CloseHandle(file);
}

// The screensaver as built beside this test program.
const Bytes& BuiltScreensaver() {
    static Bytes built;
    if (built.empty()) {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string path = self;
        path = path.substr(0, path.find_last_of('\\') + 1) + "Velmora.scr";
        EXPECT_TRUE(ReadBytes(path, built)) << path;
    }
    return built;
}

std::string ScreensaverSetting() {
    char value[256] = "";
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
    return value;
}

bool FileExists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTarget() {
    const std::string path = InWindows("Velmora.scr");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
}

void ExpectSuccessBox(const SeenBox& Box) {
    EXPECT_EQ(" Program installed in desired manner", Box.Text);
    EXPECT_EQ(" Installation completed ", Box.Caption);
    EXPECT_EQ(std::vector<int>{IDOK}, Box.Buttons);
    EXPECT_EQ(NoIcon, Box.Icon);
}

void ExpectErrorBox(const SeenBox& Box, const std::string& Text) {
    EXPECT_EQ(Text, Box.Text);
    EXPECT_EQ(" Error", Box.Caption);
    EXPECT_EQ(std::vector<int>{IDOK}, Box.Buttons);
    EXPECT_EQ(ExclamationIcon, Box.Icon);
}

// What every install run leaves, whatever happened to the file.
void ExpectInstalledState() {
    EXPECT_EQ(0, InstallCheckStatus);
    EXPECT_STREQ("Reinstall", MenuCaptions[1]);
    EXPECT_EQ("Velmora.scr", ScreensaverSetting());
}

std::vector<SeenBox> RunInstall(const std::vector<BoxAnswer>& Answers = {}) {
    WatchMessageBoxes(Answers);
    InstallAction();
    return StopWatching();
}

std::vector<SeenBox> RunUninstall(const std::vector<BoxAnswer>& Answers = {}) {
    WatchMessageBoxes(Answers);
    UninstallAction();
    return StopWatching();
}

class Actions : public testing::Test {
  protected:
    void SetUp() override {
        LoadPayloadTable();
        RemoveTarget();
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "before.scr", "system.ini");
        AssignString(MenuCaptions[1], "Install");
        InstallCheckStatus = ERROR_FILE_NOT_FOUND;
        AssignString(TargetPath, "C:\\elsewhere\\Velmora.scr"); // install must set it
    }
    void TearDown() override {
        StopWatching();
        LoadPayloadTable();
        RemoveTarget();
    }
    const std::string Target = InWindows("Velmora.scr");
};

TEST(CarriedPayload, InflatesFromExactlyItsStreamToExactlyTheBuiltScreensaver) {
    LoadPayloadTable();
    const PayloadEntry& entry = PayloadTable[0];
    EXPECT_STREQ("Velmora.scr", entry.Name);
    ASSERT_GT(entry.CompressedSize, 2u);
    EXPECT_EQ(0x78, entry.Data[0]);
    EXPECT_EQ(0x9C, entry.Data[1]);
    EXPECT_EQ(BuiltScreensaver().size(), entry.Size);

    Bytes out(entry.Size + 64);
    uLongf outLength = uLongf(out.size());
    uLong used = entry.CompressedSize;
    EXPECT_EQ(Z_OK, uncompress2(out.data(), &outLength, entry.Data, &used));
    EXPECT_EQ(entry.CompressedSize, used) << "the stream must end exactly at its last byte";
    out.resize(outLength);
    EXPECT_TRUE(out == BuiltScreensaver());

    // One byte short of the stream is not a whole stream.
    outLength = uLongf(entry.Size);
    EXPECT_NE(Z_OK, uncompress(out.data(), &outLength, entry.Data, entry.CompressedSize - 1));
}

TEST_F(Actions, InstallWritesTheScreensaverAndMakesItTheActiveOne) {
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectSuccessBox(boxes[0]);
    Bytes written;
    ASSERT_TRUE(ReadBytes(Target, written));
    EXPECT_TRUE(written == BuiltScreensaver());
    EXPECT_STREQ(Target.c_str(), TargetPath);
    ExpectInstalledState();

    // The setting reached the file on disk, in section [boot].
    Bytes ini;
    ASSERT_TRUE(ReadBytes(InWindows("system.ini"), ini));
    const std::string text(ini.begin(), ini.end());
    const size_t boot = text.find("[boot]");
    ASSERT_NE(std::string::npos, boot);
    const size_t key = text.find("SCRNSAVE.EXE=Velmora.scr", boot);
    ASSERT_NE(std::string::npos, key);
    EXPECT_EQ(std::string::npos, text.substr(boot + 1, key - boot).find('['));

    // The file is closed again: another open without sharing succeeds.
    const HANDLE file = CreateFileA(Target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
}

TEST_F(Actions, ASecondInstallTruncatesAndRewrites) {
    WriteBytes(Target, Bytes(100000, 0xEE));
    for (int run = 0; run < 2; ++run) {
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "other.scr", "system.ini");
        const std::vector<SeenBox> boxes = RunInstall();
        ASSERT_EQ(1u, boxes.size());
        ExpectSuccessBox(boxes[0]);
        Bytes written;
        ASSERT_TRUE(ReadBytes(Target, written));
        EXPECT_TRUE(written == BuiltScreensaver()) << "run " << run << ": " << written.size();
        ExpectInstalledState();
    }
}

TEST_F(Actions, StreamsThatDoNotInflateLeaveAnEmptyFileAndNoSuccess) {
    const PayloadEntry carried = PayloadTable[0];
    Bytes corrupt(carried.Data, carried.Data + carried.CompressedSize);
    for (size_t i = 100; i < 140; ++i) {
        corrupt[i] ^= 0x5A;
    }
    const struct {
        const uint8_t* data;
        uint32_t size;
        int code;
    } cases[] = {
        {corrupt.data(), carried.Size, Z_DATA_ERROR},
        {carried.Data, carried.Size - 100, Z_BUF_ERROR}, // the file is larger than the buffer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        WriteBytes(Target, Bytes(500, 0xEE));
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "before.scr", "system.ini");
        PayloadTable[0].Data = c.data;
        PayloadTable[0].Size = c.size;
        const std::vector<SeenBox> boxes = RunInstall();
        ASSERT_EQ(1u, boxes.size());
        ExpectErrorBox(boxes[0], " Failed to decompress the file :\r" + Target + " (" +
                                     std::to_string(c.code) + ")");
        Bytes written;
        ASSERT_TRUE(ReadBytes(Target, written));
        EXPECT_EQ(0u, written.size());
        ExpectInstalledState();
    }
}

TEST_F(Actions, AFileShorterThanExpectedIsKeptAndReported) {
    PayloadTable[0].Size += 100;
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectErrorBox(boxes[0], Target + " has wrong size .\r");
    Bytes written;
    ASSERT_TRUE(ReadBytes(Target, written));
    EXPECT_TRUE(written == BuiltScreensaver());
    ExpectInstalledState();
}

TEST_F(Actions, AnEmptyEntryGivesAnEmptyFileAndSuccess) {
    WriteBytes(Target, Bytes(500, 0xEE));
    PayloadTable[0].CompressedSize = 0;
    PayloadTable[0].Size = 0;
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectSuccessBox(boxes[0]);
    Bytes written;
    ASSERT_TRUE(ReadBytes(Target, written));
    EXPECT_EQ(0u, written.size());
    ExpectInstalledState();
}

TEST_F(Actions, AFileThatCannotBeCreatedIsReportedButTheScreensaverIsStillNamed) {
    ASSERT_TRUE(CreateDirectoryA(Target.c_str(), nullptr));
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectErrorBox(boxes[0], " Failed to create the file :\r" + Target);
    EXPECT_TRUE(GetFileAttributesA(Target.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ExpectInstalledState();
}

TEST_F(Actions, OnlyAScreensaverNameIsWrittenToSystemIni) {
    const std::string other = InWindows("Velmora.txt");
    PayloadTable[0].Name = "Velmora.txt";
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectSuccessBox(boxes[0]);
    EXPECT_TRUE(FileExists(other));
    EXPECT_EQ("before.scr", ScreensaverSetting());
    DeleteFileA(other.c_str());

    PayloadTable[0].Name = "VELMORA.SCR"; // any letter case
    RunInstall();
    EXPECT_EQ("VELMORA.SCR", ScreensaverSetting());
}

TEST_F(Actions, APathThatWouldBeCutCreatesNothing) {
    const std::string longName = std::string(260, 'q') + ".scr";
    PayloadTable[0].Name = longName.c_str();
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    const std::string lead = " Failed to create the file :\r" + WindowsDirectory() + "\\qqq";
    EXPECT_EQ(lead, boxes[0].Text.substr(0, lead.size()));
    EXPECT_EQ(" Error", boxes[0].Caption);
    EXPECT_STREQ("", TargetPath);
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(InWindows("qqq*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
    FindClose(search);

    // Nothing named, nothing removed.
    const std::vector<SeenBox> removal = RunUninstall({Click(IDOK)});
    ASSERT_EQ(2u, removal.size());
    EXPECT_EQ(" Failed to remove the file.", removal[1].Text);
}

// Whether a directory entry of that name exists, whatever it points to.
bool EntryExists(const std::string& Path) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(Path.c_str(), &found);
    FindClose(search);
    return search != INVALID_HANDLE_VALUE;
}

// Runs a Unix program on Path's Unix name through Wine, then waits until the
// entry exists or not, as Expected says: a Unix process cannot be waited for
// from here. False when not under Wine.
bool RunOnUnixName(const char* Program, const char* Options, const std::string& Path,
                   bool Expected) {
    typedef char*(CDECL * UnixNameRoutine)(LPCWSTR);
    const UnixNameRoutine unixName = reinterpret_cast<UnixNameRoutine>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) {
        return false;
    }
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, Path.c_str(), -1, wide, MAX_PATH);
    char* unixPath = unixName(wide);
    std::string command = std::string(Program) + " " + Options + " " + unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    const std::string application = std::string("Z:") + Program;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 1000 && EntryExists(Path) != Expected; ++i) {
        Sleep(10);
    }
    return EntryExists(Path) == Expected;
}

TEST_F(Actions, AFailedWriteIsReportedAndNotFollowedBySuccess) {
    // A link to the full device: the file opens, every write fails for want of space.
    if (!RunOnUnixName("/bin/ln", "-sf /dev/full", Target, true)) {
        GTEST_SKIP() << "needs Wine and /dev/full";
    }
    const std::vector<SeenBox> boxes = RunInstall();
    ASSERT_TRUE(RunOnUnixName("/bin/rm", "-f", Target, false));
    ASSERT_EQ(1u, boxes.size());
    ExpectErrorBox(boxes[0], " Failed to write the file :\r" + Target);
    ExpectInstalledState();
}

// Failures that real files do not produce here, injected by pointing this
// program's own import slots (shared by the code under test) elsewhere.
extern "C" void* __imp_WriteFile;
extern "C" void* __imp_CloseHandle;
extern "C" void* __imp_CreateFileA;
extern "C" void* __imp_GlobalAlloc;

void* SwapImport(void** Slot, void* Replacement) {
    DWORD protection = 0;
    VirtualProtect(Slot, sizeof *Slot, PAGE_READWRITE, &protection);
    void* previous = *Slot;
    *Slot = Replacement;
    VirtualProtect(Slot, sizeof *Slot, protection, &protection);
    return previous;
}

decltype(&WriteFile) RealWriteFile;
decltype(&CloseHandle) RealCloseHandle;

BOOL WINAPI ShortWrite(HANDLE File, LPCVOID Data, DWORD Size, LPDWORD Written, LPOVERLAPPED At) {
    return RealWriteFile(File, Data, Size / 2, Written, At); // half, and says it went well
}

BOOL WINAPI FailingClose(HANDLE Object) {
    RealCloseHandle(Object);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

HANDLE WINAPI FailWithWideError(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(0x10000);
    return INVALID_HANDLE_VALUE;
}

TEST_F(Actions, AShortWriteOrAFailedCloseIsReported) {
    RealWriteFile = WriteFile;
    RealCloseHandle = CloseHandle;
    const struct {
        void** slot;
        void* replacement;
    } cases[] = {{&__imp_WriteFile, reinterpret_cast<void*>(&ShortWrite)},
                 {&__imp_CloseHandle, reinterpret_cast<void*>(&FailingClose)}};
    for (const auto& c : cases) {
        void* const real = SwapImport(c.slot, c.replacement);
        const std::vector<SeenBox> boxes = RunInstall();
        SwapImport(c.slot, real);
        ASSERT_EQ(1u, boxes.size());
        ExpectErrorBox(boxes[0], " Failed to write the file :\r" + Target);
        ExpectInstalledState();
    }
}

HGLOBAL WINAPI NoMemory(UINT, SIZE_T) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(Actions, ABufferThatCannotBeHadIsReportedAsZlibReportsALackOfMemory) {
    WriteBytes(Target, Bytes(500, 0xEE));
    void* const real = SwapImport(&__imp_GlobalAlloc, reinterpret_cast<void*>(&NoMemory));
    const std::vector<SeenBox> boxes = RunInstall();
    SwapImport(&__imp_GlobalAlloc, real);
    ASSERT_EQ(1u, boxes.size());
    ExpectErrorBox(boxes[0], " Failed to decompress the file :\r" + Target + " (-4)");
    Bytes written;
    ASSERT_TRUE(ReadBytes(Target, written));
    EXPECT_EQ(0u, written.size());
    ExpectInstalledState();
}

TEST_F(Actions, AnOpenErrorThatReadsAsZeroIn16BitsStillMeansNotInstalled) {
    WriteBytes(Target, Bytes(10, 1));
    void* const real = SwapImport(&__imp_CreateFileA, reinterpret_cast<void*>(&FailWithWideError));
    CheckInstallation();
    SwapImport(&__imp_CreateFileA, real);
    EXPECT_NE(0, InstallCheckStatus);
    EXPECT_STREQ("Install", MenuCaptions[1]);
}

TEST_F(Actions, AFileThatCanBeReadButNotWrittenIsNotInstalled) {
    // A link to a file that even root may only read.
    if (!RunOnUnixName("/bin/ln", "-sf /proc/sys/kernel/ostype", Target, true)) {
        GTEST_SKIP() << "needs Wine and /proc/sys";
    }
    CheckInstallation();
    ASSERT_TRUE(RunOnUnixName("/bin/rm", "-f", Target, false));
    EXPECT_NE(0, InstallCheckStatus);
    EXPECT_STREQ("Install", MenuCaptions[1]);
}

TEST_F(Actions, TheCheckCountsOnlyAFileItCanOpenAsInstalled) {
    CheckInstallation();
    EXPECT_NE(0, InstallCheckStatus);
    EXPECT_STREQ("Install", MenuCaptions[1]);
    EXPECT_STREQ(Target.c_str(), TargetPath);

    WriteBytes(Target, Bytes(10, 1));
    CheckInstallation();
    EXPECT_EQ(0, InstallCheckStatus);
    EXPECT_STREQ("Reinstall", MenuCaptions[1]);
    // ... and closed it again. Held open by another handle that shares no
    // access, or only reading, it cannot be opened for reading and writing.
    for (const DWORD sharing : {DWORD(0), DWORD(FILE_SHARE_READ)}) {
        const HANDLE held =
            CreateFileA(Target.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        CheckInstallation();
        EXPECT_NE(0, InstallCheckStatus) << sharing;
        EXPECT_STREQ("Install", MenuCaptions[1]);
        CloseHandle(held);
    }
}

TEST(InstallPaths, APathIsFormedOnlyWhenItFitsWhole) {
    ShortString path;
    AssignString(InstallDirectory, "");
    EXPECT_FALSE(FormInstallPath(path, "Velmora.scr")); // never the root of the drive
    AssignString(InstallDirectory, "C:\\");
    EXPECT_TRUE(FormInstallPath(path, "Velmora.scr"));
    EXPECT_STREQ("C:\\\\Velmora.scr", path);
    const std::string directory(243, 'd');
    AssignString(InstallDirectory, directory.c_str());
    EXPECT_TRUE(FormInstallPath(path, "Velmora.scr")); // exactly 255
    EXPECT_FALSE(FormInstallPath(path, "Velmora.scr2"));
    EXPECT_TRUE(QueryInstallDirectory());
    EXPECT_EQ(WindowsDirectory(), std::string(InstallDirectory));
}

void ExpectQuestionBox(const SeenBox& Box) {
    EXPECT_EQ("This will remove Velmora from the system.", Box.Text);
    EXPECT_EQ(" Uninstallation", Box.Caption);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), Box.Buttons);
    EXPECT_EQ(IDCANCEL, Box.DefaultButton);
    EXPECT_EQ(QuestionIcon, Box.Icon);
}

TEST_F(Actions, UninstallWithoutAnInstalledFileOnlySaysSo) {
    WriteBytes(Target, Bytes(10, 1));
    const std::vector<SeenBox> boxes = RunUninstall({Click(IDOK)});
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(" Setup did not find the installed file(s) on your system", boxes[0].Text);
    EXPECT_EQ(" File not found", boxes[0].Caption);
    EXPECT_EQ(ExclamationIcon, boxes[0].Icon);
    EXPECT_TRUE(FileExists(Target));
}

TEST_F(Actions, UninstallAsksFirstAndCancelOrEnterKeepsTheFile) {
    RunInstall();
    for (const BoxAnswer& answer : {Click(IDCANCEL), PressKey(VK_RETURN)}) {
        const std::vector<SeenBox> boxes = RunUninstall({answer});
        ASSERT_EQ(1u, boxes.size());
        ExpectQuestionBox(boxes[0]);
        EXPECT_TRUE(FileExists(Target));
        EXPECT_EQ(0, InstallCheckStatus);
    }
}

TEST_F(Actions, UninstallRemovesWhatInstallWroteOnce) {
    RunInstall();
    std::vector<SeenBox> boxes = RunUninstall({Click(IDOK), Click(IDOK)});
    ASSERT_EQ(2u, boxes.size());
    ExpectQuestionBox(boxes[0]);
    EXPECT_EQ(" Software removed from your system.", boxes[1].Text);
    EXPECT_EQ(" Completed", boxes[1].Caption);
    EXPECT_EQ(NoIcon, boxes[1].Icon);
    EXPECT_FALSE(FileExists(Target));
    EXPECT_EQ(1, InstallCheckStatus);
    EXPECT_STREQ("Reinstall", MenuCaptions[1]);
    EXPECT_EQ("Velmora.scr", ScreensaverSetting());

    boxes = RunUninstall({Click(IDOK)});
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(" File not found", boxes[0].Caption);

    // Installing again works as the first time.
    boxes = RunInstall();
    ASSERT_EQ(1u, boxes.size());
    ExpectSuccessBox(boxes[0]);
    EXPECT_TRUE(FileExists(Target));
}

TEST_F(Actions, AFileRemovedByOtherMeansCannotBeUninstalled) {
    RunInstall();
    ASSERT_TRUE(DeleteFileA(Target.c_str()));
    const std::vector<SeenBox> boxes = RunUninstall({Click(IDOK), Click(IDOK)});
    ASSERT_EQ(2u, boxes.size());
    ExpectErrorBox(boxes[1], " Failed to remove the file.");
    EXPECT_EQ(0, InstallCheckStatus);
}

} // namespace
