#include "saver_password.h"

namespace Velmora {

typedef BOOL(WINAPI* VerifyPasswordRoutine)(HWND);
typedef DWORD(WINAPI* ChangePasswordRoutine)(LPCSTR, HWND, DWORD, DWORD);

static HMODULE PasswordModule;               // password.cpl while a password is on
static VerifyPasswordRoutine VerifyPassword; // null: no password to ask for
static bool Locked;                          // task switching is locked
static bool Asking;                          // the password box is open

// A DLL of the system directory, by its full path: never one of the same name
// that the usual search would find first, beside the screensaver or in the
// current directory.
static HMODULE LoadSystemLibrary(const char* Name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    path[length++] = '\\';
    for (; *Name != '\0'; ++Name) {
        if (length + 1 >= MAX_PATH) {
            return nullptr;
        }
        path[length++] = *Name;
    }
    path[length] = '\0';
    return LoadLibraryA(path);
}

static FARPROC FindRoutine(HMODULE Module, const char* Name) {
    return Module != nullptr ? GetProcAddress(Module, Name) : nullptr;
}

static bool NinetyFiveFamily() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// "Password protected" in the display settings: a number under the desktop's
// settings, off when missing, unreadable or 0.
static bool PasswordTicked() {
    HKEY desktop = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &desktop) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(desktop);
    return result == ERROR_SUCCESS && (type == REG_DWORD || type == REG_BINARY) &&
           size == sizeof value && value != 0;
}

void StartSaverPassword() {
    EndSaverPassword();
    if (!NinetyFiveFamily() || !PasswordTicked()) {
        return;
    }
    // Without the system's routine no password can have been set.
    PasswordModule = LoadSystemLibrary("password.cpl");
    const FARPROC verify = FindRoutine(PasswordModule, "VerifyScreenSavePwd");
    if (verify == nullptr) {
        EndSaverPassword();
        return;
    }
    VerifyPassword = reinterpret_cast<VerifyPasswordRoutine>(reinterpret_cast<void (*)()>(verify));
    UINT previous = 0;
    Locked = SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0) != 0;
}

bool SaverPasswordLetsGo(HWND Window) {
    if (VerifyPassword == nullptr) {
        return true;
    }
    if (Asking) {
        return false;
    }
    // The pointer shows over the box, and hides again after it.
    Asking = true;
    ShowCursor(TRUE);
    const bool given = VerifyPassword(Window) != FALSE;
    ShowCursor(FALSE);
    Asking = false;
    return given;
}

void EndSaverPassword() {
    if (Locked) {
        UINT previous = 0;
        SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
        Locked = false;
    }
    VerifyPassword = nullptr;
    if (PasswordModule != nullptr) {
        FreeLibrary(PasswordModule);
        PasswordModule = nullptr;
    }
}

int ChangeSaverPassword(HWND Owner) {
    if (Owner == nullptr || !IsWindow(Owner)) {
        Owner = GetForegroundWindow();
    }
    const HMODULE mpr = LoadSystemLibrary("mpr.dll");
    const FARPROC change = FindRoutine(mpr, "PwdChangePasswordA");
    if (change != nullptr) {
        reinterpret_cast<ChangePasswordRoutine>(reinterpret_cast<void (*)()>(change))("SCRSAVE",
                                                                                      Owner, 0, 0);
    } else {
        MessageBoxA(Owner,
                    "The screen saver password cannot be changed here: this version of Windows "
                    "has no dialog for it.",
                    "Velmora", MB_OK | MB_ICONEXCLAMATION);
    }
    if (mpr != nullptr) {
        FreeLibrary(mpr);
    }
    return change != nullptr ? 0 : 1;
}

} // namespace Velmora
