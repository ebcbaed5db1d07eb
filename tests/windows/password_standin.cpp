// Stands in for the system's password.cpl and mpr.dll of Windows 95, 98 and
// ME in end-to-end tests: the password box answers what C:\password-answer.txt
// begins with ('1': the right password, anything else: Cancel), and each call
// adds a line to C:\password-calls.txt.
#include <windows.h>

static void Note(const char* Call, HWND Window) {
    char line[80];
    DWORD written = wsprintfA(line, "%s%s window\r\n", Call, IsWindow(Window) ? "" : " no");
    const HANDLE notes = CreateFileA("C:\\password-calls.txt", FILE_APPEND_DATA, 0, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    WriteFile(notes, line, written, &written, nullptr);
    CloseHandle(notes);
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND Window) {
    Note("VerifyScreenSavePwd", Window);
    char answer = 0;
    DWORD read = 0;
    const HANDLE file = CreateFileA("C:\\password-answer.txt", GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ReadFile(file, &answer, 1, &read, nullptr);
    CloseHandle(file);
    return answer == '1';
}

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR Key, HWND Owner, DWORD, DWORD) {
    char call[64];
    wsprintfA(call, "PwdChangePasswordA %.32s", Key);
    Note(call, Owner);
    return 0;
}
