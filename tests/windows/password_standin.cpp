// Stands in for the system's password.cpl and mpr.dll of Windows 95, 98 and
// ME in end-to-end tests: the password box answers what C:\password-answer.txt
// begins with ('1': the right password, anything else: Cancel), and each call
// adds a line to C:\password-calls.txt.
#include <windows.h>

static void Note(const char* Line) {
    const HANDLE notes = CreateFileA("C:\\password-calls.txt", FILE_APPEND_DATA, 0, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(notes, Line, lstrlenA(Line), &written, nullptr);
    WriteFile(notes, "\r\n", 2, &written, nullptr);
    CloseHandle(notes);
}

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND Window) {
    Note(IsWindow(Window) ? "VerifyScreenSavePwd window" : "VerifyScreenSavePwd no window");
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
    char line[64] = "PwdChangePasswordA ";
    lstrcpynA(line + lstrlenA(line), Key, 32);
    lstrcatA(line, IsWindow(Owner) ? " window" : " no window");
    Note(line);
    return 0;
}
