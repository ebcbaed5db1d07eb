// A helper of the screensaver benchmark: tells the running screensaver that
// the display went off, came on or was dimmed, as Windows does from Vista on
// (WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, the console display state).
// The setting is written into the screensaver's own memory: a pointer sent
// in a message to another process is not carried over with it.
//
//   display_state.exe off|on|dimmed     exit code 0 once the screensaver took it
#include <windows.h>

#include <cstring>

int main(int Count, char** Arguments) {
    const char* names[] = {"off", "on", "dimmed"};
    DWORD state = 3;
    for (DWORD i = 0; i < 3 && Count == 2; ++i) {
        state = std::strcmp(Arguments[1], names[i]) == 0 ? i : state;
    }
    HWND saver = FindWindowA("VelmoraSaver", nullptr);
    DWORD id = 0;
    GetWindowThreadProcessId(saver, &id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, id);
    if (state > 2 || saver == nullptr || process == nullptr) {
        return 2;
    }
    struct {
        GUID Setting;
        DWORD Length;
        DWORD State;
    } setting = {GUID_CONSOLE_DISPLAY_STATE, sizeof(DWORD), state};
    void* there = VirtualAllocEx(process, nullptr, sizeof setting, MEM_COMMIT, PAGE_READWRITE);
    const bool sent =
        there != nullptr && WriteProcessMemory(process, there, &setting, sizeof setting, nullptr) &&
        SendMessageA(saver, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, LPARAM(there)) == TRUE;
    if (there != nullptr) {
        VirtualFreeEx(process, there, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return sent ? 0 : 1;
}
