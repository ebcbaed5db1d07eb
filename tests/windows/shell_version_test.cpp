// The version classification against the running system's own answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/shell_version.h"

using namespace Velmora;

namespace {

OSVERSIONINFOA SystemVersion() {
    OSVERSIONINFOA Info;
    std::memset(&Info, 0, sizeof Info);
    Info.dwOSVersionInfoSize = sizeof Info;
    EXPECT_TRUE(GetVersionExA(&Info));
    return Info;
}

TEST(WindowsVersion, ClassificationAgreesWithGetVersionEx) {
    const OSVERSIONINFOA Info = SystemVersion();
    EXPECT_EQ(ClassifyVersionFields(Info.dwPlatformId, Info.dwMajorVersion, Info.dwMinorVersion),
              ClassifyWindowsVersion())
        << Info.dwPlatformId << " " << Info.dwMajorVersion << "." << Info.dwMinorVersion;
}

TEST(WindowsVersion, WineDefaultIsNewestNtClass) {
    // Wine reports NT 6.1 unless it is told to pose as another version.
    const OSVERSIONINFOA Info = SystemVersion();
    ASSERT_EQ(2u, Info.dwPlatformId);
    ASSERT_GE(Info.dwMajorVersion, 6u);
    EXPECT_EQ(0x40u, ClassifyWindowsVersion());
}

TEST(WindowsVersion, InitialisationStoresTheClassification) {
    const uint32_t Saved = WindowsVersionFlags;
    WindowsVersionFlags = 0xA5A5A5A5;
    InitialiseShellModule();
    EXPECT_EQ(ClassifyWindowsVersion(), WindowsVersionFlags);
    EXPECT_EQ(0x40u, WindowsVersionFlags);
    WindowsVersionFlags = Saved;
}

// Wine can pose as other Windows versions for a program of a given name
// (HKCU\Software\Wine\AppDefaults\<name>.exe, value Version), read when the
// program starts. The test copies its own executable under a name of its own,
// runs the copy once per version with only WindowsVersionProbe.Report
// selected, and reads back what the copy found.

const char ProbeVariable[] = "VELMORA_VERSION_PROBE";

TEST(WindowsVersionProbe, Report) {
    const char* Output = std::getenv(ProbeVariable);
    if (Output == nullptr) {
        GTEST_SKIP() << "runs only as the child of PosingAsOtherVersionsUnderWine";
    }
    const OSVERSIONINFOA Info = SystemVersion();
    const uint32_t Saved = WindowsVersionFlags;
    InitialiseShellModule();
    const uint32_t Initialised = WindowsVersionFlags;
    WindowsVersionFlags = Saved;
    FILE* File = std::fopen(Output, "w");
    ASSERT_NE(nullptr, File);
    std::fprintf(File, "%lu %lu %lu %lu %lu\n", static_cast<unsigned long>(Info.dwPlatformId),
                 static_cast<unsigned long>(Info.dwMajorVersion),
                 static_cast<unsigned long>(Info.dwMinorVersion),
                 static_cast<unsigned long>(ClassifyWindowsVersion()),
                 static_cast<unsigned long>(Initialised));
    std::fclose(File);
}

bool RunningUnderWine() {
    const HMODULE Ntdll = GetModuleHandleA("ntdll.dll");
    return Ntdll != nullptr && GetProcAddress(Ntdll, "wine_get_version") != nullptr;
}

// Removes what one run of the probe left behind, however the test ends.
struct ProbeCleanup {
    std::string Copy;
    std::string Report;
    std::string Key;
    ~ProbeCleanup() {
        if (!Key.empty()) {
            RegDeleteKeyA(HKEY_CURRENT_USER, Key.c_str());
        }
        DeleteFileA(Copy.c_str());
        DeleteFileA(Report.c_str());
        SetEnvironmentVariableA(ProbeVariable, nullptr);
    }
};

// Runs the copy posing as Version and returns its report line, or "" when it
// did not finish within a minute.
std::string RunProbe(const ProbeCleanup& Files, const char* Version, const std::string& Key) {
    HKEY Handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &Handle, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create " << Key;
        return std::string();
    }
    RegSetValueExA(Handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(Version),
                   static_cast<DWORD>(std::strlen(Version) + 1));
    RegCloseKey(Handle);
    DeleteFileA(Files.Report.c_str());

    SECURITY_ATTRIBUTES Inherit = {sizeof Inherit, nullptr, TRUE};
    const HANDLE Nowhere =
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &Inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA Startup;
    std::memset(&Startup, 0, sizeof Startup);
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdOutput = Nowhere;
    Startup.hStdError = Nowhere;
    Startup.hStdInput = nullptr;
    std::string Command = "\"" + Files.Copy + "\" --gtest_filter=WindowsVersionProbe.Report";
    PROCESS_INFORMATION Process;
    std::memset(&Process, 0, sizeof Process);
    const BOOL Started = CreateProcessA(nullptr, &Command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &Startup, &Process);
    CloseHandle(Nowhere);
    if (!Started) {
        ADD_FAILURE() << "cannot start " << Command;
        return std::string();
    }
    DWORD ExitCode = 1;
    if (WaitForSingleObject(Process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(Process.hProcess, 1);
        WaitForSingleObject(Process.hProcess, 10000);
        ADD_FAILURE() << Version << ": the probe did not finish";
    }
    GetExitCodeProcess(Process.hProcess, &ExitCode);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    EXPECT_EQ(0u, ExitCode) << Version;

    char Line[128] = "";
    FILE* File = std::fopen(Files.Report.c_str(), "r");
    if (File != nullptr) {
        if (std::fgets(Line, sizeof Line, File) == nullptr) {
            Line[0] = '\0';
        }
        std::fclose(File);
    }
    std::string Text = Line;
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) {
        Text.pop_back();
    }
    return Text;
}

TEST(WindowsVersion, PosingAsOtherVersionsUnderWine) {
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "needs Wine's per-program version setting";
    }
    char Self[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, Self, MAX_PATH));
    char Temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, Temp));
    const std::string Name = "velmora-version-probe-" + std::to_string(GetCurrentProcessId());

    ProbeCleanup Files;
    Files.Copy = std::string(Temp) + Name + ".exe";
    Files.Report = std::string(Temp) + Name + ".txt";
    ASSERT_TRUE(CopyFileA(Self, Files.Copy.c_str(), FALSE));
    const std::string Key = "Software\\Wine\\AppDefaults\\" + Name + ".exe";
    Files.Key = Key;
    ASSERT_TRUE(SetEnvironmentVariableA(ProbeVariable, Files.Report.c_str()));

    // Wine's version names with the fields it reports for them, and the
    // classification expected: platform major minor classification, and
    // WindowsVersionFlags after the module initialisation.
    const struct {
        const char* Version;
        const char* Report;
    } Cases[] = {
        {"win95", "1 4 0 2 2"},     {"win98", "1 4 10 8 8"},  {"winme", "1 4 90 8 8"},
        {"nt351", "2 3 51 16 16"},  {"nt40", "2 4 0 32 32"},  {"win2k", "2 5 0 64 64"},
        {"winxp64", "2 5 2 64 64"}, {"vista", "2 6 0 64 64"}, {"win7", "2 6 1 64 64"},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(Case.Report, RunProbe(Files, Case.Version, Key)) << Case.Version;
    }
}

} // namespace
