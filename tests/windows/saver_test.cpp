// The screensaver on the Windows side, its windows run in this process with
// the system answering at import slots as the systems do: minutes of frames
// at 1920 x 1080 through the window's own timers, what the window was sent
// against fresh paints of the same moments; a whole scene on each of several
// monitors as the desk changes, and on the one screen of 95; the display
// turned off and on; the input that ends it and the password of 95, 98 and
// ME; /a; and the preview inside a window of ours.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "import_slot.h"
#include "message_box_watch.h"
#include "saver_password.h"
#include "saver_scene.h"
#include "saver_window.h"

using namespace Velmora;
using VelmoraTest::SwapImport;

IMPORT_SLOT(GetSystemMetrics, 4);
IMPORT_SLOT(GetTickCount, 0);
IMPORT_SLOT(GetDC, 4);
IMPORT_SLOT(ReleaseDC, 8);
IMPORT_SLOT(BeginPaint, 8);
IMPORT_SLOT(EndPaint, 8);
IMPORT_SLOT(SetTimer, 16);
IMPORT_SLOT(KillTimer, 8);
IMPORT_SLOT(CreateWindowExA, 48);
IMPORT_SLOT(CreateSolidBrush, 4);
IMPORT_SLOT(CreatePen, 12);
IMPORT_SLOT(CreateCompatibleDC, 4);
IMPORT_SLOT(CreateDIBSection, 24);
IMPORT_SLOT(CreateRectRgn, 16);
IMPORT_SLOT(CreateEllipticRgn, 16);
IMPORT_SLOT(CreatePolygonRgn, 12);
IMPORT_SLOT(DeleteObject, 4);
IMPORT_SLOT(DeleteDC, 4);
IMPORT_SLOT(GetVersionExA, 4);
IMPORT_SLOT(LoadLibraryA, 4);
IMPORT_SLOT(GetProcAddress, 8);

namespace {

// An import slot pointed at a stand-in for a scope; REAL(Name) is the system's.
template <void** Slot, typename Routine> struct StandIn {
    static inline Routine Real;
    explicit StandIn(Routine By) {
        Real = Routine(SwapImport(Slot, reinterpret_cast<void*>(By)));
    }
    ~StandIn() {
        SwapImport(Slot, reinterpret_cast<void*>(Real));
    }
};
#define STAND_IN(Name, By)                                                                         \
    const StandIn<&Name##Slot, decltype(&Name)> Name##StandIn {                                    \
        By                                                                                         \
    }
#define REAL(Name) StandIn<&Name##Slot, decltype(&Name)>::Real

// GDI objects made less those deleted, counted at the import slots.
int Live;
template <void** Slot, int Sign, typename Routine> struct Counted;
template <void** Slot, int Sign, typename Result, typename... Arguments>
struct Counted<Slot, Sign, Result(WINAPI*)(Arguments...)> {
    static inline void* Real;
    static Result WINAPI Call(Arguments... In) {
        const Result result = reinterpret_cast<Result(WINAPI*)(Arguments...)>(Real)(In...);
        Live += result ? Sign : 0;
        return result;
    }
    static void Swap(bool On) {
        Real = SwapImport(Slot, On ? reinterpret_cast<void*>(&Call) : Real);
    }
};
#define COUNTED(Name, Sign) Counted<&Name##Slot, Sign, decltype(&Name)>
template <typename... Counters> void Count(bool On) {
    (Counters::Swap(On), ...);
}
const auto CountObjects =
    Count<COUNTED(CreateSolidBrush, 1), COUNTED(CreatePen, 1), COUNTED(CreateCompatibleDC, 1),
          COUNTED(CreateDIBSection, 1), COUNTED(CreateRectRgn, 1), COUNTED(CreateEllipticRgn, 1),
          COUNTED(CreatePolygonRgn, 1), COUNTED(DeleteObject, -1), COUNTED(DeleteDC, -1)>;

// A picture standing in for the saver's window: while Shown, the device
// contexts the saver takes for its window draw here, and nothing else does.
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
        SelectObject(Dc, Plain);
        DeleteObject(Bitmap);
        DeleteDC(Dc);
    }
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        return std::vector<uint32_t>(Bits, Bits + Width * Height);
    }
};
const Canvas* Shown;
int DcsOut, Paints; // taken and not given back; whole paints
HDC PaintDc;        // the system's, for EndPaint

// The system as it answers the saver: which Windows (GetVersionExA, strict
// about the structure's size as each is), the desk's monitors (SM_CXSCREEN
// and SM_CYSCREEN the first's; 95 and NT 4.0, Old, tell of no other and of no
// virtual screen), the clock, and the lookups of password.cpl, mpr.dll and
// of newer user32 routines (none on old systems).
const DWORD Nine = VER_PLATFORM_WIN32_WINDOWS, Nt = VER_PLATFORM_WIN32_NT;
DWORD Platform;
bool Old, Without, NoWindow, NoPictures;
std::vector<RECT> Desk;
DWORD Clock;
std::vector<std::string> Loaded, Calls, Notes; // paths asked for, calls to the routines
std::set<UINT_PTR> Timers;                     // of the saver's window
std::vector<BOOL> Answers;                     // of the password box, in turn (then TRUE)

RECT Box(const std::vector<RECT>& Of = Desk) {
    RECT box = Of[0];
    for (const RECT& m : Of) {
        box = {std::min(box.left, m.left), std::min(box.top, m.top), std::max(box.right, m.right),
               std::max(box.bottom, m.bottom)};
    }
    return box;
}
int WINAPI Metrics(int Index) {
    const RECT box = Box();
    const LONG answers[] = {box.left, box.top, box.right - box.left, box.bottom - box.top};
    return Index == SM_CXSCREEN   ? Desk[0].right - Desk[0].left
           : Index == SM_CYSCREEN ? Desk[0].bottom - Desk[0].top
           : Index >= SM_XVIRTUALSCREEN && Index <= SM_CYVIRTUALSCREEN
               ? (Old ? 0 : answers[Index - SM_XVIRTUALSCREEN])
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
BOOL WINAPI StopWatch(HANDLE Note) {
    Notes.push_back("stop " + std::to_string(uintptr_t(Note)));
    return TRUE;
}
BOOL WINAPI PoseAs(LPOSVERSIONINFOA Info) {
    const bool nt = Platform == Nt;
    if (Info->dwOSVersionInfoSize != sizeof *Info &&
        (!nt || Info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *Info = {Info->dwOSVersionInfoSize, nt ? 5u : 4u, nt ? 0u : 10u,
             nt ? 2195u : 67766446u,    Platform,     ""};
    return TRUE;
}
HMODULE WINAPI LoadRecorded(LPCSTR Path) {
    Loaded.push_back(Path);
    return Without ? nullptr : REAL(LoadLibraryA)("kernel32.dll"); // a module to give back
}
bool PointerShown() {
    CURSORINFO cursor = {sizeof cursor, 0, nullptr, {}};
    return GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) != 0;
}
BOOL WINAPI Verify(HWND Window) {
    const bool saver = Window == FindWindowA(SaverClassName, nullptr);
    Calls.push_back(std::string("verify") + (saver ? " saver" : "") +
                    (PointerShown() ? " pointer" : ""));
    PostMessageA(Window, WM_KEYDOWN, 'B', 0); // typed while the box is open
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
    return Calls.size() <= Answers.size() ? Answers[Calls.size() - 1] : TRUE;
}
HWND Owner;
DWORD WINAPI Change(LPCSTR Key, HWND Window, DWORD A, DWORD B) {
    Calls.push_back(Key + std::string(Window == Owner ? " owner" : " other") +
                    (A || B ? " +" : ""));
    return 0;
}
template <typename Routine> FARPROC Address(Routine* Of, bool There = true) {
    return There ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Of)) : nullptr;
}
FARPROC WINAPI FindStandIn(HMODULE Module, LPCSTR Name) {
    const std::string name = reinterpret_cast<uintptr_t>(Name) > 0xFFFF ? Name : "";
    return name == "VerifyScreenSavePwd"                  ? Address(&Verify)
           : name == "PwdChangePasswordA"                 ? Address(&Change)
           : name == "EnumDisplayMonitors"                ? Address(&EnumerateDesk, !Old)
           : name == "RegisterPowerSettingNotification"   ? Address(&Watch, !Old)
           : name == "UnregisterPowerSettingNotification" ? Address(&StopWatch, !Old)
                                                          : REAL(GetProcAddress)(Module, Name);
}
DWORD WINAPI Now() {
    return Clock;
}
HDC WINAPI TakeDc(HWND Window) {
    DcsOut += Shown != nullptr;
    return Shown != nullptr ? Shown->Dc : REAL(GetDC)(Window);
}
int WINAPI GiveDc(HWND Window, HDC Dc) {
    DcsOut -= Shown != nullptr && Dc == Shown->Dc;
    return Shown != nullptr ? Dc == Shown->Dc : REAL(ReleaseDC)(Window, Dc);
}
HDC WINAPI StartPaint(HWND Window, PAINTSTRUCT* Paint) {
    PaintDc = REAL(BeginPaint)(Window, Paint);
    Paints += Shown != nullptr;
    return Paint->hdc = Shown != nullptr ? Shown->Dc : PaintDc;
}
BOOL WINAPI EndOfPaint(HWND Window, const PAINTSTRUCT* Paint) {
    PAINTSTRUCT paint = *Paint;
    paint.hdc = PaintDc;
    return REAL(EndPaint)(Window, &paint);
}
UINT_PTR WINAPI StartTimer(HWND Window, UINT_PTR Id, UINT Interval, TIMERPROC Routine) {
    Window != nullptr ? void(Timers.insert(Id)) : void();
    return REAL(SetTimer)(Window, Id, Interval, Routine);
}
BOOL WINAPI StopTimer(HWND Window, UINT_PTR Id) {
    Window != nullptr ? void(Timers.erase(Id)) : void();
    return REAL(KillTimer)(Window, Id);
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
    STAND_IN(BeginPaint, &StartPaint);
    STAND_IN(EndPaint, &EndOfPaint);
    STAND_IN(SetTimer, &StartTimer);
    STAND_IN(KillTimer, &StopTimer);
    STAND_IN(CreateWindowExA, &MakeWindow);
    STAND_IN(GetVersionExA, &PoseAs);
    STAND_IN(LoadLibraryA, &LoadRecorded);
    STAND_IN(GetProcAddress, &FindStandIn);
    System(DWORD Windows, bool OldOne, std::vector<RECT> Monitors = {{0, 0, 1024, 768}}) {
        Platform = Windows, Old = OldOne, Desk = std::move(Monitors);
        Without = NoWindow = NoPictures = false, Shown = nullptr, Clock = 0;
        Loaded.clear(), Calls.clear(), Notes.clear(), Timers.clear();
    }
};

// A saver run in this process: from its first 300 ms on, checked every 50 ms,
// each phase in turn is called with the saver's window (null when there is
// none) until it says it is done; the last should end the run. Gives the exit
// code, or -1 for a run that took over a minute and was ended.
std::vector<std::function<bool(HWND)>> Phases;
size_t Phase;
ULONGLONG Start;
bool Overran;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const ULONGLONG elapsed = GetTickCount64() - Start;
    if (elapsed > 60000) {
        Overran = true;
        DestroyWindow(FindWindowA(SaverClassName, nullptr));
        PostQuitMessage(0);
    } else if (elapsed > 300 && Phase < Phases.size()) {
        Phase += Phases[Phase](FindWindowA(SaverClassName, SaverTitle));
    }
}
int RunPhases(const std::function<int()>& Run, std::vector<std::function<bool(HWND)>> Steps) {
    Phases = std::move(Steps);
    Phase = 0;
    Start = GetTickCount64();
    Overran = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    const int code = Run();
    KillTimer(nullptr, timer);
    MSG message; // the quit message of an overrun's end
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    return Overran ? -1 : code;
}
std::vector<LONG> Corners(const RECT& Area) {
    return {Area.left, Area.top, Area.right, Area.bottom};
}
bool Close(HWND Saver) {
    return PostMessageA(Saver, WM_CLOSE, 0, 0);
}

// "" when two pictures of Width columns agree in Area (all when empty); else
// how many pixels differ and where the first is.
std::string Difference(const std::vector<uint32_t>& A, const std::vector<uint32_t>& B, int Width,
                       RECT Area = {0, 0, INT_MAX, INT_MAX}) {
    size_t count = 0, first = 0;
    for (size_t at = 0; at < A.size(); ++at) {
        const LONG x = at % Width, y = at / Width;
        if (x >= Area.left && x < Area.right && y >= Area.top && y < Area.bottom &&
            A[at] != B[at] && count++ == 0) {
            first = at;
        }
    }
    return count == 0 ? ""
                      : std::to_string(count) + " pixels differ, the first at " +
                            std::to_string(first % Width) + "," + std::to_string(first / Width);
}

// The picture of screen Screen's scene, W x H, made anew at a moment as a
// first paint shows it; the scene goes on from there.
std::vector<uint32_t> PaintAfresh(int Screen, int W, int H, DWORD Moment) {
    const Canvas fresh{W, H};
    FreeSaverScenes();
    UseSaverScene(Screen);
    EXPECT_TRUE(PrepareSaverScene(fresh.Dc, {0, 0, W, H}));
    UpdateSaverSky(nullptr, Moment);
    UpdateSaverWater(nullptr, Moment);
    PresentSaverFrame(fresh.Dc);
    return fresh.Pixels();
}

// Over four minutes of frames at 1920 x 1080 (clouds and shooting stars
// crossing, strokes two pixels wide and more), driven by the window's timers,
// the sky's half a frame before the water's, the window, which is sent only
// what changed, shows each 30 s what a fresh paint of that moment shows;
// meanwhile stars and water move, mountains and shore stay, every device
// context taken is given back and the scene keeps the same GDI objects,
// giving all of them back at the end.
TEST(SaverScene, AtFullHdItsWindowShowsAfterMinutesWhatAFreshPaintShows) {
    const System system(Nt, false, {{0, 0, 1920, 1080}});
    const Canvas window{1920, 1080};
    const auto band = [](int From, int To) { return RECT{0, From * 12 / 5, 1920, To * 12 / 5}; };
    std::vector<uint32_t> before;
    int kept = 0;
    Live = 0;
    CountObjects(true);
    const int code = RunPhases(
        RunFullScreenSaver, {[&](HWND Saver) {
            Shown = &window;
            before = PaintAfresh(0, 1920, 1080, 0);
            PresentSaverFrame(window.Dc);
            kept = Live;
            for (DWORD frame = 1; frame <= 6000; ++frame) {
                const bool check = frame % 750 == 0;
                Clock = frame * 40;
                SendMessageA(Saver, WM_TIMER, 1, 0);
                Clock += check ? 0 : 20;
                SendMessageA(Saver, WM_TIMER, 2, 0);
                if (!check) {
                    continue;
                }
                SCOPED_TRACE(Clock);
                const std::vector<uint32_t> shown = window.Pixels();
                const auto now = PaintAfresh(0, 1920, 1080, Clock);
                EXPECT_EQ("", Difference(now, shown, 1920));
                EXPECT_NE("", Difference(before, now, 1920, band(60, 150)));
                EXPECT_NE("", Difference(before, now, 1920, band(318, 450)));
                EXPECT_EQ("", Difference(before, now, 1920, band(185, 318)));
                EXPECT_EQ("", Difference(before, now, 1920, {0, 1008, 192, 1080})); // the bank
                EXPECT_EQ(kept, Live);
                EXPECT_EQ(0, DcsOut);
                PresentSaverFrame(window.Dc);
                before = now;
            }
            return Close(Saver);
        }});
    CountObjects(false);
    EXPECT_EQ(0, code);
    EXPECT_EQ(0, Live);
}

// What Step shows of the run: the window's place on the virtual screen and
// its pixels, as the saver last painted them whole.
struct Seen {
    RECT Place;
    std::vector<uint32_t> Pixels;
    std::vector<RECT> Monitors;
    DWORD Moment;
};

// Full screen, each monitor shows a whole scene laid out for its own size (a
// fresh paint of its own at that size and moment; the moon round, within the
// monitor and above its lake), and nothing shows where no monitor is; a
// display change re-reads them. Three monitors of different sizes, one in
// portrait, one left of and above the main one; then the main one smaller
// and the portrait one gone. 95 and NT 4.0 answer 0 for the virtual screen
// and tell of no monitor.
TEST(SaverWindow, ShowsAWholeSceneOnEachMonitorAsTheDeskChanges) {
    const std::vector<RECT> three = {{0, 0, 1920, 1080},
                                     {-1280, -300, 0, 724},
                                     {1920, -200, 2820, 1900}},
                            two = {{0, 0, 1280, 720}, {-1280, -300, 0, 724}};
    for (const bool old : {false, true}) {
        const System system(Nt, old, old ? std::vector<RECT>{{0, 0, 800, 600}} : three);
        std::vector<Seen> seen;
        std::unique_ptr<Canvas> window;
        const auto look = [&](HWND Saver) {
            seen.push_back({{}, window->Pixels(), Desk, Clock});
            GetWindowRect(Saver, &seen.back().Place);
            return true;
        };
        const auto paintOn = [&](const std::vector<RECT>& Monitors) {
            return [&, Monitors](HWND Saver) {
                Desk = Monitors;
                const RECT box = Box();
                window.reset(new Canvas{box.right - box.left, box.bottom - box.top});
                Shown = window.get(), Paints = 0, Clock += 5000;
                SendMessageA(Saver, WM_DISPLAYCHANGE, 32, 0);
                return UpdateWindow(Saver) && Paints > 0;
            };
        };
        const int code = RunPhases(RunFullScreenSaver,
                                   {paintOn(Desk), look, paintOn(old ? Desk : two), look, Close});
        EXPECT_EQ(0, code);
        ASSERT_EQ(2u, seen.size());
        for (const Seen& s : seen) {
            SCOPED_TRACE(std::to_string(s.Place.right - s.Place.left) + " x " +
                         std::to_string(s.Place.bottom - s.Place.top));
            const RECT box = s.Place;
            EXPECT_EQ(Corners(Box(s.Monitors)), Corners(box));
            const int width = box.right - box.left;
            std::vector<uint32_t> elsewhere = s.Pixels;
            for (size_t i = 0; i < s.Monitors.size(); ++i) {
                const RECT m = s.Monitors[i];
                const int w = m.right - m.left, h = m.bottom - m.top;
                const auto fresh = PaintAfresh(i, w, h, s.Moment);
                RECT moon = {INT_MAX, INT_MAX, 0, 0};
                for (int at = 0; at < w * h; ++at) {
                    const size_t there =
                        (m.top - box.top + at / w) * width + m.left - box.left + at % w;
                    EXPECT_EQ(fresh[at], s.Pixels[there])
                        << "monitor " << i << " at " << at % w << "," << at / w;
                    if (fresh[at] != s.Pixels[there]) {
                        break;
                    }
                    elsewhere[there] = 0;
                    if (fresh[at] == 0xECE8D6) { // moonlight
                        moon = {std::min<LONG>(moon.left, at % w), std::min<LONG>(moon.top, at / w),
                                std::max<LONG>(moon.right, at % w + 1),
                                std::max<LONG>(moon.bottom, at / w + 1)};
                    }
                }
                EXPECT_EQ(moon.right - moon.left, moon.bottom - moon.top) << "monitor " << i;
                EXPECT_GT(moon.left, 0);
                EXPECT_LT(moon.bottom, h * 318 / 450);
            }
            EXPECT_EQ(std::vector<uint32_t>(elsewhere.size()), elsewhere);
        }
        EXPECT_EQ(old, Notes.empty());
        FreeSaverScenes();
    }
}

// Told that the display is off, the saver stops its frames; dimmed or on
// again, it paints a whole fresh frame and goes on. It asks to be told (both
// settings, Vista on) and lets go at the end.
TEST(SaverWindow, DrawsNothingWhileTheDisplayIsOff) {
    const GUID console = {0x6FE69556,
                          0x704A,
                          0x47A0,
                          {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}},
               monitor = {
                   0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
    const struct {
        GUID Setting;
        DWORD Length, State;
        bool Drawing, Afresh;
    } told[] = {{console, 4, 0, false, false}, {monitor, 4, 1, true, true},
                {console, 4, 2, true, false},  {monitor, 4, 0, false, false},
                {console, 4, 2, true, true},   {console, 4, 0, false, false},
                {console, 4, 1, true, true}};
    const System system(Nt, false);
    const Canvas window{1024, 768};
    std::vector<std::function<bool(HWND)>> phases;
    for (const auto& t : told) {
        phases.push_back([&](HWND Saver) {
            Shown = &window, Paints = 0;
            return SendMessageA(Saver, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, LPARAM(&t));
        });
        phases.push_back([&](HWND) {
            EXPECT_EQ((t.Drawing ? std::set<UINT_PTR>{1, 2} : std::set<UINT_PTR>{}), Timers);
            return Paints > 0 || !t.Afresh;
        });
    }
    phases.push_back(Close);
    EXPECT_EQ(0, RunPhases(RunFullScreenSaver, phases));
    const std::vector<std::string> notes = {std::to_string(console.Data1),
                                            std::to_string(monitor.Data1), "stop 1", "stop 2"};
    EXPECT_EQ(notes, Notes);
}

// A window of the display settings or of another program.
HWND PlainWindow(int Left, int Top, int Width, int Height) {
    const WNDCLASSA plain = {0,       DefWindowProcA, 0,       0,       nullptr,
                             nullptr, nullptr,        nullptr, nullptr, "SaverTestPlain"};
    RegisterClassA(&plain);
    return CreateWindowExA(0, "SaverTestPlain", "", WS_POPUP | WS_VISIBLE, Left, Top, Width, Height,
                           nullptr, nullptr, nullptr, nullptr);
}

// The preview draws in its parent, ignores input (a pointer passing over the
// settings) and ends with its parent.
TEST(SaverWindow, PreviewDrawsInItsParentAndEndsWithIt) {
    const System system(Nt, false);
    HWND parent = PlainWindow(40, 30, 152, 114), child = nullptr;
    std::set<COLORREF> colours; // seen at 19 x 14 points of its client area
    RECT area = {};
    const auto input = [&](HWND) {
        child = FindWindowExA(parent, nullptr, SaverClassName, nullptr);
        for (const UINT message : {WM_MOUSEMOVE, WM_MOUSEMOVE, WM_KEYDOWN, WM_LBUTTONDOWN}) {
            PostMessageA(child, message, 0, MAKELPARAM(colours.size() * 50, 9));
            colours.insert(message);
        }
        return true;
    };
    const auto look = [&](HWND) {
        colours.clear();
        GetWindowRect(child, &area);
        HDC dc = GetDC(parent);
        for (int i = 0; i < 19 * 14; ++i) {
            colours.insert(GetPixel(dc, 4 + i % 19 * 8, 4 + i / 19 * 8));
        }
        ReleaseDC(parent, dc);
        return DestroyWindow(parent);
    };
    EXPECT_EQ(0, RunPhases([&] { return RunPreviewSaver(parent); }, {input, look}));
    EXPECT_GT(colours.size(), 8u);
    EXPECT_EQ(std::vector<LONG>({40, 30, 192, 144}), Corners(area));
}

std::vector<std::string> SystemPath(const char* Name) {
    char directory[MAX_PATH] = "";
    GetSystemDirectoryA(directory, MAX_PATH);
    return {directory + std::string("\\") + Name};
}

bool TaskSwitchingLocked() {
    BOOL running = FALSE;
    return SystemParametersInfoA(0x0072, 0, &running, 0) && running; // SPI_GETSCREENSAVERRUNNING
}

// Input posted to the saver, one a phase: a key, a click, another program
// taking the activation, a close (as a message or the system menu's), or the
// pointer moved by Dx, Dy from where it rests (where the system's own moves
// put it too).
enum InputKind { Key, Click, Lost, Shut, ShutByMenu, Move };
struct Input {
    InputKind Kind;
    int Dx = 0, Dy = 0;
};

// A key, a click, a lost activation, a close or a pointer moved further than a
// hand resting on the mouse moves it ends the saver. With "Password
// protected" ticked (a number of either type), 95, 98 and ME leave the
// password to the saver: once its window is made it locks task switching
// while it runs, and such input asks the system's box first (once while it
// is open); refused, it runs on with the pointer hidden, resting where the
// box left it. Where the box cannot be had, or on the NT family, which asks
// itself, nothing is asked or locked. Nor where no window can be made; and
// without memory for its pictures the saver runs on without them.
TEST(SaverInput, EndsItOnceThePasswordIsGivenWhereOnlyTheSaverAsksForIt) {
    const std::vector<std::string> none, twice(2, "verify saver pointer");
    enum Failing { Nothing, Window, Pictures };
    const struct {
        DWORD System;
        int Ticked; // the value, -1 for none
        DWORD Type;
        bool Without;
        Failing Fails;
        std::vector<Input> Inputs; // the last ends it
        std::vector<std::string> Asked;
    } cases[] = {
        {Nt,
         1,
         REG_DWORD,
         false,
         Nothing,
         {{Move}, {Move, 4, 0}, {Move, 0, -4}, {Move, -3, 4}, {Move, 20, 0}},
         none},
        {Nt, -1, REG_DWORD, false, Pictures, {{Move}, {Move, 0, -20}}, none},
        {Nt, 1, REG_DWORD, false, Nothing, {{Lost}}, none},
        {Nine, 1, REG_DWORD, false, Nothing, {{Move}, {Key}, {Move, 40, 0}, {Lost}}, twice},
        {Nine, 1, REG_BINARY, false, Nothing, {{Shut}, {ShutByMenu}}, twice},
        {Nine, 1, REG_DWORD, false, Window, {}, none},
        {Nine, 0, REG_BINARY, false, Nothing, {{Key}}, none},
        {Nine, -1, REG_DWORD, false, Nothing, {{Click}}, none},
        {Nine, 1, REG_DWORD, true, Nothing, {{Key}}, none},
    };
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.System == Nine ? "98" : "2000") + ", ticked " +
                     std::to_string(c.Ticked) + " of type " + std::to_string(c.Type) +
                     (c.Without ? ", without password.cpl" : "") + ", failing " +
                     std::to_string(c.Fails) + ", first input " +
                     std::to_string(c.Inputs.empty() ? -1 : c.Inputs[0].Kind));
        const DWORD value = c.Ticked;
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
        if (c.Ticked >= 0) {
            RegSetValueExA(desktop, "ScreenSaveUsePassword", 0, c.Type,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        }
        POINT rest = {};
        GetCursorPos(&rest);
        bool locked = false, hidden = true;
        const System system(c.System, false);
        Without = c.Without, NoWindow = c.Fails == Window, NoPictures = c.Fails == Pictures;
        STAND_IN(CreateDIBSection, &MakePicture);
        Answers = {FALSE, TRUE};
        std::vector<std::function<bool(HWND)>> phases;
        for (const Input& in : c.Inputs) {
            phases.push_back([&](HWND Saver) {
                locked = Phase == 0 ? TaskSwitchingLocked() : locked;
                hidden = hidden && !PointerShown();
                const UINT messages[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP,
                                         WM_CLOSE,   WM_SYSCOMMAND,  WM_MOUSEMOVE};
                const LPARAM at = MAKELPARAM(rest.x + in.Dx, rest.y + in.Dy);
                return PostMessageA(Saver, messages[in.Kind],
                                    in.Kind == Key          ? 'A'
                                    : in.Kind == ShutByMenu ? SC_CLOSE
                                                            : 0,
                                    at);
            });
        }
        EXPECT_EQ(c.Fails == Window ? 1 : 0, RunPhases(RunFullScreenSaver, phases));
        EXPECT_EQ(c.Inputs.size(), Phase);
        EXPECT_EQ(c.Asked, Calls);
        EXPECT_EQ(!c.Asked.empty(), locked);
        EXPECT_TRUE(hidden);
        EXPECT_FALSE(TaskSwitchingLocked());
        EXPECT_TRUE(PointerShown()); // again, once it ended
        const bool looks = c.System == Nine && c.Ticked > 0 && c.Fails != Window;
        EXPECT_EQ(looks ? SystemPath("password.cpl") : none, Loaded);
    }
    RegDeleteValueA(desktop, "ScreenSaveUsePassword");
    RegCloseKey(desktop);
}

// /a: the system's dialog changes the password, owned by the window given
// or, for one that is not a window, by the foreground window; where the
// system has none, a box says so.
TEST(SaverPassword, ChangedByTheSystemDialogForTheOwnerGiven) {
    HWND window = PlainWindow(0, 0, 40, 30);
    VelmoraTest::WatchMessageBoxes({IDOK, IDOK, IDOK});
    for (const bool given : {true, false}) {
        const System system(Nine, false);
        Owner = given ? window : GetForegroundWindow();
        EXPECT_EQ(0, ChangeSaverPassword(given ? window : HWND(uintptr_t(0x7FFFFFF0))));
        EXPECT_EQ(std::vector<std::string>{"SCRSAVE owner"}, Calls);
        EXPECT_EQ(SystemPath("mpr.dll"), Loaded);
    }
    const System system(Nt, true);
    Without = true;
    EXPECT_EQ(1, ChangeSaverPassword(window));
    EXPECT_EQ(1u, VelmoraTest::StopWatching().size()); // the box saying so, and only that
    DestroyWindow(window);
}

} // namespace
