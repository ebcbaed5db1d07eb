// The screensaver's windows run in this process, the system answering at
// import slots as each Windows does: its frames on several monitors against
// fresh paints, the display off, the input that ends it, the 9x password.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>

#include "import_slot.h"
#include "message_box_watch.h"
#include "saver_scene.h"
#include "saver_scene_state.h"
#include "saver_window.h"

using namespace Velmora;
using VelmoraTest::SwapImport;

IMPORT_SLOT(GetSystemMetrics, 4);
IMPORT_SLOT(GetTickCount, 0);
IMPORT_SLOT(GetDC, 4);
IMPORT_SLOT(ReleaseDC, 8);
IMPORT_SLOT(CreateWindowExA, 48);
IMPORT_SLOT(GetVersionExA, 4);
IMPORT_SLOT(LoadLibraryA, 4);
IMPORT_SLOT(GetProcAddress, 8);
IMPORT_SLOT(CreateSolidBrush, 4);
IMPORT_SLOT(CreatePen, 12);
IMPORT_SLOT(CreateCompatibleDC, 4);
IMPORT_SLOT(CreateDIBSection, 24);
IMPORT_SLOT(CreateRectRgn, 16);
IMPORT_SLOT(CreateEllipticRgn, 16);
IMPORT_SLOT(CreatePolygonRgn, 12);
IMPORT_SLOT(DeleteObject, 4);
IMPORT_SLOT(DeleteDC, 4);

namespace {

// A routine answered by another through its import slot while this lives (by
// default the system's, counting Sign for each object made); Real: the system's.
int Live; // GDI objects made less those deleted
template <void** Slot, int Sign, typename Routine> struct StandIn;
template <void** Slot, int Sign, typename Result, typename... Arguments>
struct StandIn<Slot, Sign, Result(WINAPI*)(Arguments...)> {
    typedef Result(WINAPI* Routine)(Arguments...);
    static inline Routine Real;
    static Result WINAPI Counted(Arguments... In) {
        const Result result = Real(In...);
        Live += result ? Sign : 0;
        return result;
    }
    StandIn(Routine By = &Counted) {
        Real = Routine(SwapImport(Slot, reinterpret_cast<void*>(By)));
    }
    ~StandIn() {
        SwapImport(Slot, reinterpret_cast<void*>(Real));
    }
};
#define STAND_IN(Name, By) const StandIn<&Name##Slot, 0, decltype(&Name)> Name##StandIn = By
#define COUNTED(Name, Sign) StandIn<&Name##Slot, Sign, decltype(&Name)>
#define REAL(Name) StandIn<&Name##Slot, 0, decltype(&Name)>::Real
typedef std::tuple<COUNTED(CreateSolidBrush, 1), COUNTED(CreatePen, 1),
                   COUNTED(CreateCompatibleDC, 1), COUNTED(CreateDIBSection, 1),
                   COUNTED(CreateRectRgn, 1), COUNTED(CreateEllipticRgn, 1),
                   COUNTED(CreatePolygonRgn, 1), COUNTED(DeleteObject, -1), COUNTED(DeleteDC, -1)>
    CountObjects;

// A picture standing in for the saver's window: while Shown, the device
// contexts the saver takes for its frames draw here.
struct Canvas {
    const int Width, Height;
    BITMAPINFO Info = {{sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                       {}};
    uint32_t* Bits = nullptr;
    HDC Dc = CreateCompatibleDC(nullptr);
    HBITMAP Bitmap =
        CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, reinterpret_cast<void**>(&Bits), nullptr, 0);
    HGDIOBJ Plain = SelectObject(Dc, Bitmap);
    ~Canvas() {
        DeleteDC(Dc);
        DeleteObject(Bitmap);
    }
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        return std::vector<uint32_t>(Bits, Bits + Width * Height);
    }
};
HDC Shown;
int DcsOut; // taken and not given back

// The system as the saver asks it: which Windows (GetVersionExA as strict about
// the size as each), the clock, the monitors (the first the main one; 95 and
// NT 4.0, Old, know no virtual screen, monitors nor display state), the
// lookups, password.cpl, the window and the pictures it makes.
const DWORD Nine = VER_PLATFORM_WIN32_WINDOWS, Nt = VER_PLATFORM_WIN32_NT;
DWORD Platform, Clock;
bool Old, NoPasswordCpl, NoWindow, NoPictures;
std::vector<RECT> Desk;
std::vector<std::string> Loaded, Calls, Notes; // paths, calls to the password routines, notes

RECT Box() {
    RECT box = Desk[0];
    for (const RECT& m : Desk) {
        box = {std::min(box.left, m.left), std::min(box.top, m.top), std::max(box.right, m.right),
               std::max(box.bottom, m.bottom)};
    }
    return box;
}
int WINAPI Metrics(int Index) {
    const RECT box = Box();
    const LONG answers[] = {Desk[0].right, Desk[0].bottom,       box.left,
                            box.top,       box.right - box.left, box.bottom - box.top};
    return Index < 2 ? answers[Index]
           : Index >= SM_XVIRTUALSCREEN && Index <= SM_CYVIRTUALSCREEN
               ? (Old ? 0 : answers[Index - SM_XVIRTUALSCREEN + 2])
               : REAL(GetSystemMetrics)(Index);
}
BOOL WINAPI EnumerateDesk(HDC, LPCRECT, MONITORENUMPROC Take, LPARAM Data) {
    for (RECT area : Desk) {
        Take(HMONITOR(&area), nullptr, &area, Data);
    }
    return TRUE;
}
HANDLE WINAPI Watch(HANDLE, LPCGUID Setting, DWORD) {
    Notes.push_back(std::to_string(Setting->Data1));
    return HANDLE(Notes.size());
}
BOOL WINAPI PoseAs(LPOSVERSIONINFOA Info) {
    const DWORD size = Info->dwOSVersionInfoSize;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return (size == sizeof *Info || (Platform == Nt && size == sizeof(OSVERSIONINFOEXA))) &&
           (Info->dwPlatformId = Platform);
}
HMODULE WINAPI LoadRecorded(LPCSTR Path) {
    Loaded.push_back(Path);
    return NoPasswordCpl ? nullptr : REAL(LoadLibraryA)("kernel32.dll"); // a module to give back
}
bool PointerShown() {
    CURSORINFO cursor = {sizeof cursor, 0, nullptr, {}};
    return GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) != 0;
}
BOOL WINAPI Verify(HWND Window) { // refuses the first time
    Calls.push_back(std::string("verify") +
                    (Window == FindWindowA(SaverClassName, nullptr) ? " saver" : "") +
                    (PointerShown() ? " pointer" : ""));
    PostMessageA(Window, WM_KEYDOWN, 'B', 0); // typed while the box is open
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
    return Calls.size() > 1;
}
template <typename Routine> FARPROC Address(Routine* Of, bool There = true) {
    return There ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Of)) : nullptr;
}
FARPROC WINAPI FindStandIn(HMODULE Module, LPCSTR Name) {
    const std::string name = reinterpret_cast<uintptr_t>(Name) > 0xFFFF ? Name : "";
    return name == "VerifyScreenSavePwd"                ? Address(&Verify)
           : name == "EnumDisplayMonitors"              ? Address(&EnumerateDesk, !Old)
           : name == "RegisterPowerSettingNotification" ? Address(&Watch, !Old)
                                                        : REAL(GetProcAddress)(Module, Name);
}
DWORD WINAPI Now() {
    return Clock;
}
HDC WINAPI TakeDc(HWND Window) {
    return Shown != nullptr ? (++DcsOut, Shown) : REAL(GetDC)(Window);
}
int WINAPI GiveDc(HWND Window, HDC Dc) {
    return Dc == Shown ? (--DcsOut, 1) : REAL(ReleaseDC)(Window, Dc);
}
HWND WINAPI MakeWindow(DWORD Extended, LPCSTR Class, LPCSTR Title, DWORD Style, int X, int Y, int W,
                       int H, HWND Parent, HMENU Menu, HINSTANCE Instance, LPVOID Data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NoWindow ? nullptr
                    : REAL(CreateWindowExA)(Extended, Class, Title, Style, X, Y, W, H, Parent, Menu,
                                            Instance, Data);
}
HBITMAP WINAPI MakePicture(HDC Dc, const BITMAPINFO* Info, UINT Usage, void** Bits, HANDLE Section,
                           DWORD Offset) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NoPictures ? nullptr : REAL(CreateDIBSection)(Dc, Info, Usage, Bits, Section, Offset);
}
struct System {
    STAND_IN(GetSystemMetrics, &Metrics);
    STAND_IN(GetTickCount, &Now);
    STAND_IN(GetDC, &TakeDc);
    STAND_IN(ReleaseDC, &GiveDc);
    STAND_IN(CreateWindowExA, &MakeWindow);
    STAND_IN(GetVersionExA, &PoseAs);
    STAND_IN(LoadLibraryA, &LoadRecorded);
    STAND_IN(GetProcAddress, &FindStandIn);
    System(DWORD Windows, bool OldOne, std::vector<RECT> Monitors = {{0, 0, 1024, 768}}) {
        Platform = Windows, Old = OldOne, Desk = std::move(Monitors), Shown = nullptr, Clock = 0;
        NoPasswordCpl = NoWindow = NoPictures = false;
        Loaded.clear(), Calls.clear(), Notes.clear();
    }
};

// A saver run here: from 300 ms on, every 50 ms, the next phase is called with
// the saver's window until it is done; the last should end the run. Gives the
// exit code, -1 for a run ended after a minute.
std::vector<std::function<bool(HWND)>> Phases;
size_t Phase;
ULONGLONG Start;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const ULONGLONG elapsed = GetTickCount64() - Start;
    if (elapsed > 60000) {
        DestroyWindow(FindWindowA(SaverClassName, nullptr));
    } else if (elapsed > 300 && Phase < Phases.size()) {
        Phase += Phases[Phase](FindWindowA(SaverClassName, SaverTitle));
    }
}
int RunPhases(const std::function<int()>& Run, std::vector<std::function<bool(HWND)>> Steps) {
    Phases = std::move(Steps), Phase = 0, Start = GetTickCount64();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    const int code = Run();
    KillTimer(nullptr, timer);
    return GetTickCount64() - Start > 60000 ? -1 : code;
}
std::vector<LONG> Corners(const RECT& Area) {
    return {Area.left, Area.top, Area.right, Area.bottom};
}

// The monitors as fresh scenes of the saver's variety paint them at a moment
// on a picture of the virtual screen (made anew in spare slots, then freed).
std::vector<uint32_t> PaintAfresh(DWORD Moment) {
    const RECT box = Box();
    const Canvas fresh{box.right - box.left, box.bottom - box.top};
    const int spare = MaxScreens - int(Desk.size());
    for (int i = 0; i < int(Desk.size()); ++i) {
        UseSaverScene(i);
        const uint32_t variety = Scene->Variety;
        UseSaverScene(spare + i);
        Scene->Variety = variety;
        const RECT& m = Desk[i];
        PrepareSaverScene(
            fresh.Dc, {m.left - box.left, m.top - box.top, m.right - box.left, m.bottom - box.top});
        UpdateSaverSky(nullptr, Moment);
        UpdateSaverWater(nullptr, Moment);
        PresentSaverFrame(fresh.Dc);
    }
    FreeSaverScenes(spare);
    return fresh.Pixels();
}

// How many pixels two pictures of one size differ in.
size_t Differing(const std::vector<uint32_t>& A, const std::vector<uint32_t>& B) {
    return std::inner_product(A.begin(), A.end(), B.begin(), size_t(0), std::plus<>(),
                              std::not_equal_to<>());
}

// Over four minutes of frames through the window's timers (the sky half a frame
// before the water), the window, sent what changed, shows each 30 s a whole
// scene per monitor, as fresh paints of the moment: a main one 1920 x 1080, one
// in portrait, one above and left of it; half way the main one shrinks and the
// portrait one goes. Device contexts are given back, the GDI objects kept,
// then all given back. On 95 and NT 4.0 (no virtual screen) the one screen
// shrinks. Told the display is off (both settings are asked for), the timers
// stop; dimmed or on, a whole paint is asked for and they go on.
TEST(SaverWindow, ShowsAWholeSceneOnEachMonitorAndNothingWhileTheDisplayIsOff) {
    const std::vector<RECT> desks[2][2] = {
        {{{0, 0, 1920, 1080}, {-1280, -300, 0, 724}, {1920, -200, 2820, 1900}},
         {{0, 0, 1280, 720}, {-1280, -300, 0, 724}}},
        {{{0, 0, 800, 600}}, {{0, 0, 640, 480}}}};
    const GUID &console = GUID_CONSOLE_DISPLAY_STATE, &monitor = GUID_MONITOR_POWER_ON;
    const struct {
        GUID Setting;
        DWORD Length, State;
        bool Drawing, Afresh;
    } told[] = {{console, 4, 0, false, false},
                {monitor, 4, 1, true, true},
                {monitor, 4, 2, true, false},
                {console, 4, 0, false, false},
                {console, 4, 2, true, true}};
    for (const bool old : {false, true}) {
        const System system(Nt, old, desks[old][0]);
        std::unique_ptr<Canvas> window;
        auto count = std::make_unique<CountObjects>();
        const auto frames = [&](HWND Saver) {
            for (DWORD frame = 0; frame <= 6000; ++frame) {
                const bool check = frame % 750 == 0 && frame > 0;
                Clock = frame * 40;
                SendMessageA(Saver, WM_TIMER, 1, 0);
                Clock += check ? 0 : 20;
                SendMessageA(Saver, WM_TIMER, 2, 0);
                if (check) {
                    EXPECT_EQ(0, DcsOut);
                    const std::vector<uint32_t> shown = window->Pixels(), now = PaintAfresh(Clock);
                    EXPECT_EQ(0u, Differing(now, shown)) << Clock;
                }
                if (frame % 3000 == 0) { // the desk (changed), the window painted whole
                    Desk = desks[old][frame / 3000 % 2];
                    SendMessageA(Saver, WM_DISPLAYCHANGE, 32, 0);
                    const RECT box = Box();
                    RECT place = {};
                    EXPECT_TRUE(UpdateWindow(Saver) && GetWindowRect(Saver, &place));
                    EXPECT_EQ(Corners(box), Corners(place));
                    window.reset(new Canvas{box.right - box.left, box.bottom - box.top});
                    Shown = window->Dc;
                    for (int i = 0; i < MaxScreens; ++i) { // each scene where the saver put it
                        UseSaverScene(i);
                        PresentSaverFrame(window->Dc);
                    }
                }
            }
            for (const auto& t : told) {
                ValidateRect(Saver, nullptr);
                SendMessageA(Saver, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, LPARAM(&t));
                const bool timers = KillTimer(Saver, 1) + KillTimer(Saver, 2) == 2 && // set again:
                                    SetTimer(Saver, 1, 40, nullptr) &&
                                    SetTimer(Saver, 2, 40, nullptr);
                EXPECT_EQ(t.Drawing, timers);
                EXPECT_EQ(t.Afresh, GetUpdateRect(Saver, nullptr, FALSE) != FALSE);
            }
            return PostMessageA(Saver, WM_CLOSE, 0, 0);
        };
        Live = 0;
        EXPECT_EQ(0, RunPhases(RunFullScreenSaver, {frames}));
        window.reset();
        count.reset();
        EXPECT_EQ(0, Live);
        const std::vector<std::string> notes = {std::to_string(console.Data1),
                                                std::to_string(monitor.Data1)};
        EXPECT_EQ(old ? std::vector<std::string>() : notes, Notes);
    }
}

// The preview draws in its parent and ends with it, not on input.
TEST(SaverWindow, PreviewDrawsInItsParentAndEndsWithIt) {
    const System system(Nt, false);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 30, 152, 114, nullptr,
                                  nullptr, nullptr, nullptr),
         child = nullptr;
    std::set<COLORREF> colours; // seen at 19 x 14 points of its client area
    RECT area = {};
    const auto input = [&](HWND) {
        child = FindWindowExA(parent, nullptr, SaverClassName, nullptr);
        for (const UINT message : {WM_MOUSEMOVE, WM_KEYDOWN, WM_LBUTTONDOWN, WM_MOUSEMOVE}) {
            PostMessageA(child, message, 0, MAKELPARAM(message, 9));
        }
        return true;
    };
    const auto look = [&](HWND) {
        HDC dc = GetDC(parent);
        for (int i = 0; i < 19 * 14; ++i) {
            colours.insert(GetPixel(dc, 4 + i % 19 * 8, 4 + i / 19 * 8));
        }
        ReleaseDC(parent, dc);
        return GetWindowRect(child, &area) && DestroyWindow(parent);
    };
    EXPECT_EQ(0, RunPhases([&] { return RunPreviewSaver(parent); }, {input, look}));
    EXPECT_GT(colours.size(), 8u);
    EXPECT_EQ(std::vector<LONG>({40, 30, 192, 144}), Corners(area));
}

bool TaskSwitchingLocked() {
    BOOL running = FALSE;
    return SystemParametersInfoA(0x0072, 0, &running, 0) && running; // SPI_GETSCREENSAVERRUNNING
}

// A key, a click, a lost activation, a close or a pointer moved further than a
// resting hand moves it ends the saver. With "Password protected" ticked (a
// number of either type) 95, 98 and ME leave the password to it: once its
// window is made it locks task switching, and such input asks the system's box
// (once while open); refused, it runs on, the pointer hidden and resting where
// the box left it. Not on the NT family, nor without the box or a window.
// Without memory for its pictures it runs on without them.
TEST(SaverInput, EndsItOnceThePasswordIsGivenWhereOnlyTheSaverAsksForIt) {
    struct Input {
        UINT Message;
        int Dx = 0, Dy = 0; // where the pointer goes from its rest
    };
    const UINT key = WM_KEYDOWN, move = WM_MOUSEMOVE, lost = WM_ACTIVATEAPP, close = WM_CLOSE;
    const struct {
        DWORD System, Type;
        int Ticked; // -1 for none
        bool* Fails;
        std::vector<Input> Inputs; // the last ends it
        size_t Asked;
    } cases[] = {
        {Nt, REG_DWORD, 1, nullptr, {{move}, {move, 4, -4}, {move, -4, 3}, {move, 20}}, 0},
        {Nt, REG_DWORD, -1, &NoPictures, {{move}, {move, 0, -20}}, 0},
        {Nt, REG_DWORD, 1, nullptr, {{lost}}, 0},
        {Nine, REG_DWORD, 1, nullptr, {{move}, {key}, {move, 40}, {lost}}, 2},
        {Nine, REG_BINARY, 1, nullptr, {{close}, {WM_SYSCOMMAND, SC_CLOSE}}, 2},
        {Nine, REG_DWORD, 1, &NoWindow, {}, 0},
        {Nine, REG_BINARY, 0, nullptr, {{key}}, 0},
        {Nine, REG_DWORD, -1, nullptr, {{WM_LBUTTONDOWN}}, 0},
        {Nine, REG_DWORD, 1, &NoPasswordCpl, {{key}}, 0},
    };
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop));
    char directory[MAX_PATH] = "";
    GetSystemDirectoryA(directory, MAX_PATH);
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const DWORD value = c.Ticked;
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
        RegSetValueExA(desktop, c.Ticked < 0 ? "" : "ScreenSaveUsePassword", 0, c.Type,
                       reinterpret_cast<const BYTE*>(&value), sizeof value);
        POINT rest = {};
        GetCursorPos(&rest);
        bool locked = false, hidden = true;
        const System system(c.System, false);
        STAND_IN(CreateDIBSection, &MakePicture);
        c.Fails != nullptr ? void(*c.Fails = true) : void();
        std::vector<std::function<bool(HWND)>> phases;
        for (const Input& in : c.Inputs) {
            phases.push_back([&](HWND Saver) {
                locked = Phase == 0 ? TaskSwitchingLocked() : locked;
                hidden = hidden && !PointerShown();
                return PostMessageA(Saver, in.Message, in.Message == key ? 'A' : in.Dx,
                                    MAKELPARAM(rest.x + in.Dx, rest.y + in.Dy));
            });
        }
        EXPECT_EQ(c.Fails == &NoWindow ? 1 : 0, RunPhases(RunFullScreenSaver, phases));
        UseSaverScene(0); // pictures that cannot be made, noticed
        EXPECT_NE(c.Fails == &NoPictures, PrepareSaverScene(nullptr, {0, 0, 640, 480}));
        FreeSaverScenes();
        EXPECT_EQ(c.Inputs.size(), Phase);
        EXPECT_EQ(std::vector<std::string>(c.Asked, "verify saver pointer"), Calls);
        EXPECT_EQ(c.Asked > 0, locked);
        EXPECT_TRUE(hidden);
        EXPECT_FALSE(TaskSwitchingLocked());
        EXPECT_TRUE(PointerShown()); // again, once it ended
        const bool looks = c.System == Nine && c.Ticked > 0 && c.Fails != &NoWindow;
        EXPECT_EQ(looks ? std::vector<std::string>{directory + std::string("\\password.cpl")}
                        : std::vector<std::string>(),
                  Loaded);
    }
    RegDeleteValueA(desktop, "ScreenSaveUsePassword");
    RegDeleteValueA(desktop, "");
    RegCloseKey(desktop);
}

} // namespace
