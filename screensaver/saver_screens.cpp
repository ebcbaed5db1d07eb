#include "saver_screens.h"

namespace Velmora {

typedef BOOL(WINAPI* EnumerateMonitorsRoutine)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
typedef HANDLE(WINAPI* RegisterPowerRoutine)(HANDLE, const GUID*, DWORD);
typedef BOOL(WINAPI* UnregisterPowerRoutine)(HANDLE);

// The display's state: on, off or dimmed, from Windows 8 on; on or off on
// Vista and 7. Later systems tell both, in agreement.
static const GUID* const DisplaySettings[] = {&GUID_CONSOLE_DISPLAY_STATE, &GUID_MONITOR_POWER_ON};
static HANDLE DisplayNotes[2];

// user32 is loaded: the programs import from it.
static FARPROC FindUserRoutine(const char* Name) {
    return GetProcAddress(GetModuleHandleA("user32.dll"), Name);
}

template <typename Routine> static Routine AsRoutine(FARPROC Found) {
    return reinterpret_cast<Routine>(reinterpret_cast<void (*)()>(Found));
}

struct ScreenList {
    RECT* Screens;
    int Max;
    int Count;
    RECT Window;
};

// With no device context given, the area the system passes is the monitor's.
static BOOL CALLBACK TakeMonitor(HMONITOR, HDC, LPRECT Area, LPARAM List) {
    ScreenList& list = *reinterpret_cast<ScreenList*>(List);
    const RECT& window = list.Window;
    const RECT cut = {Area->left > window.left ? Area->left : window.left,
                      Area->top > window.top ? Area->top : window.top,
                      Area->right < window.right ? Area->right : window.right,
                      Area->bottom < window.bottom ? Area->bottom : window.bottom};
    if (cut.right > cut.left && cut.bottom > cut.top && list.Count < list.Max) {
        list.Screens[list.Count++] = {cut.left - window.left, cut.top - window.top,
                                      cut.right - window.left, cut.bottom - window.top};
    }
    return TRUE;
}

int FindSaverScreens(RECT* Screens, int Max, int Left, int Top, int Width, int Height) {
    ScreenList list = {Screens, Max, 0, {Left, Top, Left + Width, Top + Height}};
    const auto enumerate =
        AsRoutine<EnumerateMonitorsRoutine>(FindUserRoutine("EnumDisplayMonitors"));
    if (enumerate == nullptr ||
        !enumerate(nullptr, nullptr, TakeMonitor, reinterpret_cast<LPARAM>(&list)) ||
        list.Count == 0) {
        Screens[0] = {0, 0, Width, Height};
        return 1;
    }
    return list.Count;
}

void WatchDisplay(HWND Window) {
    const auto watch =
        AsRoutine<RegisterPowerRoutine>(FindUserRoutine("RegisterPowerSettingNotification"));
    for (int i = 0; i < 2 && watch != nullptr; ++i) {
        DisplayNotes[i] = watch(Window, DisplaySettings[i], DEVICE_NOTIFY_WINDOW_HANDLE);
    }
}

void StopWatchingDisplay() {
    const auto stop =
        AsRoutine<UnregisterPowerRoutine>(FindUserRoutine("UnregisterPowerSettingNotification"));
    for (HANDLE& note : DisplayNotes) {
        if (note != nullptr && stop != nullptr) {
            stop(note);
        }
        note = nullptr;
    }
}

static bool SameGuid(const GUID& A, const GUID& B) {
    const BYTE* a = reinterpret_cast<const BYTE*>(&A);
    const BYTE* b = reinterpret_cast<const BYTE*>(&B);
    for (size_t i = 0; i < sizeof(GUID); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

DisplayState DisplayStateIn(LPARAM Setting) {
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(Setting);
    if (setting == nullptr || setting->DataLength < sizeof(DWORD)) {
        return DisplayUntold;
    }
    DWORD value = 0;
    const BYTE* data = setting->Data;
    for (size_t i = 0; i < sizeof value; ++i) {
        value |= static_cast<DWORD>(data[i]) << (8 * i);
    }
    for (const GUID* known : DisplaySettings) {
        if (SameGuid(setting->PowerSetting, *known) && value <= DisplayDimmed) {
            return static_cast<DisplayState>(value);
        }
    }
    return DisplayUntold;
}

} // namespace Velmora
