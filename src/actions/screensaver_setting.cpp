#include "actions/screensaver_setting.h"

#include <windows.h>

#include "support/support_strings.h"

namespace Velmora {

bool SwitchScreensaverOn() {
    if (!SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_UPDATEINIFILE)) {
        return false;
    }
    // The announcement that SPIF_SENDCHANGE would make is sent to each
    // top-level window in turn and waits for it: one hung program would hang
    // the installer. A notification returns at once for windows of other
    // threads, and carries no pointer, which it could not take across.
    SendNotifyMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETSCREENSAVEACTIVE, 0);
    return true;
}

// One string value of the policy key, empty when it is missing or no string.
// A value too long for the buffer names no file of ours: it reads as "?".
static void ReadPolicyValue(HKEY Key, const char* Value, ShortString Text) {
    DWORD type = 0;
    DWORD size = ShortStringLimit;
    const LONG result =
        RegQueryValueExA(Key, Value, nullptr, &type, reinterpret_cast<BYTE*>(Text), &size);
    if (result == ERROR_MORE_DATA) {
        AssignString(Text, "?");
        return;
    }
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        size = 0;
    }
    Text[size < ShortStringLimit ? size : ShortStringLimit] = '\0';
}

bool PolicyOverridesScreensaver(const char* Name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    ShortString active;
    ShortString chosen;
    ReadPolicyValue(key, "ScreenSaveActive", active);
    ReadPolicyValue(key, "SCRNSAVE.EXE", chosen);
    RegCloseKey(key);
    // The policy names a path; its last part is the file.
    const char* file = chosen;
    for (const char* c = chosen; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/' || *c == ':') {
            file = c + 1;
        }
    }
    const bool switchedOff = active[0] == '0' && active[1] == '\0';
    return switchedOff || (chosen[0] != '\0' && lstrcmpiA(file, Name) != 0);
}

} // namespace Velmora
