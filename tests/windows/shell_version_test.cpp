// The version query: a failed one, and the running system's answer under
// Wine posing as other Windows versions.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/shell_version.h"

using namespace Velmora;

// The import slot through which every call of GetVersionExA in this program
// goes (so named by the mingw-w64 import libraries).
extern "C" void* __imp_GetVersionExA;

namespace {

BOOL WINAPI FailingVersionQuery(OSVERSIONINFOA*) {
    return FALSE; // and the record is left as it was
}

TEST(WindowsVersion, FailedQueryGivesZero) {
    DWORD Protection = 0;
    ASSERT_TRUE(VirtualProtect(&__imp_GetVersionExA, sizeof(void*), PAGE_READWRITE, &Protection));
    void* const Real = __imp_GetVersionExA;
    __imp_GetVersionExA = reinterpret_cast<void*>(&FailingVersionQuery);
    InitialiseShellModule();
    EXPECT_EQ(0u, WindowsVersionFlags);
    EXPECT_EQ(0u, ClassifyWindowsVersion());
    __imp_GetVersionExA = Real;
    InitialiseShellModule();
    EXPECT_EQ(0x40u, WindowsVersionFlags) << "Wine reports NT 6.1 unless told otherwise";
}

// Wine poses as another Windows for a program of a given name (value Version
// under HKCU\Software\Wine\AppDefaults\<name>.exe). The test runs a renamed
// copy of itself once per version; the copy's probe exits with the platform,
// major and minor version and WindowsVersionFlags after start-up, a byte each.
TEST(WindowsVersionProbe, Report) {
    if (std::getenv("VELMORA_VERSION_PROBE") == nullptr) {
        GTEST_SKIP() << "runs only as the child of PosingAsOtherVersionsUnderWine";
    }
    OSVERSIONINFOA Info = {sizeof Info, 0, 0, 0, 0, ""};
    GetVersionExA(&Info);
    InitialiseShellModule();
    ExitProcess(Info.dwPlatformId << 24 | Info.dwMajorVersion << 16 | Info.dwMinorVersion << 8 |
                WindowsVersionFlags);
}

TEST(WindowsVersion, PosingAsOtherVersionsUnderWine) {
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr) {
        GTEST_SKIP() << "needs Wine's per-program version setting";
    }
    char Self[MAX_PATH], Temp[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, Self, MAX_PATH));
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, Temp));
    const std::string Name = "velmora-version-" + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::string Copy = Temp + Name, Key = "Software\\Wine\\AppDefaults\\" + Name;
    ASSERT_TRUE(CopyFileA(Self, Copy.c_str(), FALSE));
    SetEnvironmentVariableA("VELMORA_VERSION_PROBE", "1");
    const char* const Versions[] = {"win95", "win98", "nt40", "winxp", "win7"};
    const DWORD Reports[] = {0x01040002, 0x01040A08, 0x02040020, 0x02050140, 0x02060140};
    for (size_t Index = 0; Index < 5; ++Index) {
        RegSetKeyValueA(HKEY_CURRENT_USER, Key.c_str(), "Version", REG_SZ, Versions[Index],
                        static_cast<DWORD>(std::strlen(Versions[Index]) + 1));
        STARTUPINFOA Startup = {};
        Startup.cb = sizeof Startup;
        Startup.dwFlags = STARTF_USESTDHANDLES; // and no handles: the copy prints nothing
        PROCESS_INFORMATION Process = {};
        std::string Command = Copy + " --gtest_filter=WindowsVersionProbe.Report";
        DWORD Report = 0;
        if (CreateProcessA(Copy.c_str(), &Command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &Startup, &Process)) {
            WaitForSingleObject(Process.hProcess, 60000);
            TerminateProcess(Process.hProcess, 0); // fails once the copy has ended by itself
            WaitForSingleObject(Process.hProcess, 10000);
            GetExitCodeProcess(Process.hProcess, &Report);
            CloseHandle(Process.hThread);
            CloseHandle(Process.hProcess);
        }
        EXPECT_EQ(Reports[Index], Report) << Versions[Index] << ": 0x" << std::hex << Report;
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, Key.c_str());
    DeleteFileA(Copy.c_str());
    SetEnvironmentVariableA("VELMORA_VERSION_PROBE", nullptr);
}

} // namespace
