// The screensaver on the Windows side: its picture drawn through the scene's
// routines over minutes of frames, checked against fresh paints, and its
// windows run in this process: full screen over a virtual screen that
// changes, the input that ends it and the password of 95, 98 and ME (the
// system posing at import slots), and the preview inside a window of ours.
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
#include "saver_scene_state.h"
#include "saver_window.h"

using namespace Velmora;
using VelmoraTest::SwapImport;

IMPORT_SLOT(GetSystemMetrics, 4);
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

// A picture standing in for the saver's window: what the scene copies to a
// window lands here, and nothing else does.
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

// "" when two pictures of Width columns agree in rows Top..Bottom-1 (all when
// Bottom is -1) and columns 0..Right-1; else how many pixels differ and where.
std::string Difference(const std::vector<uint32_t>& A, const std::vector<uint32_t>& B, int Width,
                       int Top = 0, int Bottom = -1, int Right = INT_MAX) {
    size_t count = 0, first = 0;
    for (size_t at = Top * Width; at < (Bottom < 0 ? A.size() : Bottom * Width); ++at) {
        if (int(at % Width) < Right && A[at] != B[at] && count++ == 0) {
            first = at;
        }
    }
    return count == 0 ? ""
                      : std::to_string(count) + " pixels differ, the first at " +
                            std::to_string(first % Width) + "," + std::to_string(first / Width);
}

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

// The whole picture of one moment from a scene made anew, as a window's
// first paint shows it. The sky moves on a timer half a frame before the water.
void PaintAfresh(const Canvas& Window, uint32_t Sky) {
    FreeSaverScene();
    ASSERT_TRUE(PrepareSaverScene(Window.Dc, Window.Width, Window.Height));
    UpdateSaverSky(nullptr, Sky);
    UpdateSaverWater(nullptr, Sky + 20);
    PresentSaverFrame(Window.Dc);
}

// Over two minutes of frames (clouds and shooting stars crossing), the window,
// which is sent only what changed, shows each 30 s what a fresh paint of that
// moment shows; meanwhile stars and water move, mountains and shore stay, and
// the scene holds the same GDI objects, giving all of them back at the end.
// At the design's size, the preview's and a wide one of odd scale, each with
// clouds and shooting stars of its own.
TEST(SaverScene, AfterMinutesTheWindowShowsWhatAFreshPaintOfTheMomentShows) {
    const struct {
        int Width, Height;
        uint32_t Variety;
    } sizes[] = {{600, 450, 0x2F6B1}, {152, 112, 0x9A3E5}, {1023, 577, 0x51C0D}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.Width) + " x " + std::to_string(size.Height));
        const Canvas window{size.Width, size.Height}, fresh{size.Width, size.Height};
        const auto row = [&](int DesignRow) { return DesignRow * size.Height / 450; };
        Live = 0;
        CountObjects(true);
        PaintAfresh(window, 0);
        Scene->Variety = size.Variety;
        PaintAfresh(window, 0);
        const int kept = Live; // the scene's pictures and what it draws them with
        std::vector<uint32_t> before = window.Pixels();
        for (uint32_t frame = 1; frame <= 3000; ++frame) {
            UpdateSaverSky(window.Dc, frame * 40);
            UpdateSaverWater(window.Dc, frame * 40 + 20);
            if (frame % 750 != 0) {
                continue;
            }
            SCOPED_TRACE(frame * 40);
            const std::vector<uint32_t> shown = window.Pixels();
            PaintAfresh(fresh, frame * 40);
            const std::vector<uint32_t> now = fresh.Pixels();
            EXPECT_EQ("", Difference(now, shown, size.Width));
            EXPECT_NE("", Difference(before, now, size.Width, row(60), row(150)));     // stars
            EXPECT_NE("", Difference(before, now, size.Width, row(318), size.Height)); // lake
            EXPECT_EQ("", Difference(before, now, size.Width, row(185), row(318)));    // mountains
            EXPECT_EQ("", Difference(before, now, size.Width, row(420), size.Height,
                                     size.Width / 10)); // the bank
            EXPECT_EQ(kept, Live);
            PresentSaverFrame(window.Dc);
            before = now;
        }
        FreeSaverScene();
        CountObjects(false);
        EXPECT_EQ(0, Live);
    }
}

// A saver run watched by a thread timer every 50 ms: Step acts on how far it
// is (ms). After five seconds it counts as overrun and is ended.
std::function<void(DWORD)> Step;
DWORD Start;
bool Overran;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (GetTickCount() - Start < 5000) {
        return Step(GetTickCount() - Start);
    }
    Overran = true;
    DestroyWindow(FindWindowA(SaverClassName, nullptr));
    PostQuitMessage(0);
}

// Whether the run ended by itself with exit code 0.
bool RunWatched(const std::function<int()>& Run, std::function<void(DWORD)> Steps) {
    Step = std::move(Steps);
    Start = GetTickCount();
    Overran = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
    const int code = Run();
    KillTimer(nullptr, timer);
    MSG message; // the quit message of an overrun's end
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    return code == 0 && !Overran;
}

std::vector<LONG> Corners(const RECT& Area) {
    return {Area.left, Area.top, Area.right, Area.bottom};
}

int(WINAPI* RealMetrics)(int);
int WINAPI LeftMonitor(int Index) { // a 1280 x 1024 monitor left of the main one
    const int answers[] = {-1280, -256, 2304, 1024};
    const bool virtualScreen = Index >= SM_XVIRTUALSCREEN && Index <= SM_CYVIRTUALSCREEN;
    return virtualScreen ? answers[Index - SM_XVIRTUALSCREEN] : RealMetrics(Index);
}

bool PointerShown() {
    CURSORINFO cursor = {sizeof cursor, 0, nullptr, {}};
    return GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) != 0;
}

// Started on the one screen, it covers it; a monitor added on the left (the
// system's answers changed, then the display change told) has it cover both.
TEST(SaverWindow, CoversTheVirtualScreenAsItChanges) {
    RealMetrics = reinterpret_cast<int(WINAPI*)(int)>(GetSystemMetricsSlot);
    std::vector<std::vector<LONG>> covered;
    const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
        HWND saver = FindWindowA(SaverClassName, SaverTitle);
        RECT area = {};
        if (saver != nullptr && Elapsed > 300 && GetWindowRect(saver, &area)) {
            covered.push_back({area.left, area.top, area.right, area.bottom});
            SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(&LeftMonitor));
            SendMessageA(saver, covered.size() == 1 ? WM_DISPLAYCHANGE : WM_CLOSE, 32, 0);
        }
    });
    SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(RealMetrics));
    EXPECT_TRUE(ended);
    const std::vector<std::vector<LONG>> screens = {
        {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
        {-1280, -256, 1024, 768}};
    EXPECT_EQ(screens, covered);
}

// A window of the display settings or of another program.
HWND PlainWindow(int Left, int Top, int Width, int Height) {
    const WNDCLASSA plain = {0,       DefWindowProcA, 0,       0,       nullptr,
                             nullptr, nullptr,        nullptr, nullptr, "SaverTestPlain"};
    RegisterClassA(&plain);
    return CreateWindowExA(0, "SaverTestPlain", "", WS_POPUP | WS_VISIBLE, Left, Top, Width, Height,
                           nullptr, nullptr, nullptr, nullptr);
}

TEST(SaverWindow, PreviewDrawsInItsParentAndEndsWithIt) {
    HWND parent = PlainWindow(40, 30, 152, 114);
    std::set<COLORREF> colours; // seen at 19 x 14 points of its client area
    RECT child = {};
    auto look = [&](DWORD Elapsed) {
        if (Elapsed > 400 && IsWindow(parent)) { // a few frames drawn
            GetWindowRect(FindWindowExA(parent, nullptr, SaverClassName, nullptr), &child);
            HDC dc = GetDC(parent);
            for (int i = 0; i < 19 * 14; ++i) {
                colours.insert(GetPixel(dc, 4 + i % 19 * 8, 4 + i / 19 * 8));
            }
            ReleaseDC(parent, dc);
            DestroyWindow(parent);
        }
    };
    EXPECT_TRUE(RunWatched([&] { return RunPreviewSaver(parent); }, look));
    EXPECT_GT(colours.size(), 8u);
    EXPECT_EQ(std::vector<LONG>({40, 30, 192, 144}), Corners(child));
}

// Windows 98 or 2000 as GetVersionExA answers; password.cpl and mpr.dll of
// the system as LoadLibraryA and GetProcAddress answer (none when Missing),
// their routines standing in for the system's boxes.
DWORD Platform;
bool Missing;
std::vector<std::string> Loaded; // the paths asked for
std::vector<BOOL> Answers;       // of the password box, in turn (then TRUE)
std::vector<std::string> Calls;  // to the routines
HMODULE(WINAPI* RealLoad)(LPCSTR);
FARPROC(WINAPI* RealFind)(HMODULE, LPCSTR);

template <typename Routine> FARPROC Address(Routine* Of) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Of));
}
BOOL WINAPI PoseAs(LPOSVERSIONINFOA Info) {
    const bool nt = Platform == VER_PLATFORM_WIN32_NT;
    *Info = {sizeof *Info, nt ? 5u : 4u, nt ? 0u : 10u, nt ? 2195u : 67766446u, Platform, ""};
    return TRUE;
}
HMODULE WINAPI LoadRecorded(LPCSTR Path) {
    Loaded.push_back(Path);
    return Missing ? nullptr : RealLoad("kernel32.dll"); // a module to give back
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
FARPROC WINAPI FindStandIn(HMODULE Module, LPCSTR Name) {
    const std::string name = reinterpret_cast<uintptr_t>(Name) > 0xFFFF ? Name : "";
    return name == "VerifyScreenSavePwd"  ? Address(&Verify)
           : name == "PwdChangePasswordA" ? Address(&Change)
                                          : RealFind(Module, Name);
}

struct PosingAs {
    void* RealVersion;
    PosingAs(DWORD System, bool Without) {
        Platform = System, Missing = Without;
        Loaded.clear(), Calls.clear();
        RealLoad = decltype(RealLoad)(
            SwapImport(&LoadLibraryASlot, reinterpret_cast<void*>(&LoadRecorded)));
        RealFind = decltype(RealFind)(
            SwapImport(&GetProcAddressSlot, reinterpret_cast<void*>(&FindStandIn)));
        RealVersion = SwapImport(&GetVersionExASlot, reinterpret_cast<void*>(&PoseAs));
    }
    ~PosingAs() {
        SwapImport(&LoadLibraryASlot, reinterpret_cast<void*>(RealLoad));
        SwapImport(&GetProcAddressSlot, reinterpret_cast<void*>(RealFind));
        SwapImport(&GetVersionExASlot, RealVersion);
    }
};

std::vector<std::string> SystemPath(const char* Name) {
    char directory[MAX_PATH] = "";
    GetSystemDirectoryA(directory, MAX_PATH);
    return {directory + std::string("\\") + Name};
}

bool TaskSwitchingLocked() {
    BOOL running = FALSE;
    return SystemParametersInfoA(0x0072, 0, &running, 0) && running; // SPI_GETSCREENSAVERRUNNING
}

// Input posted to the saver, one a step: a key, a click, another program
// taking the activation, or the pointer moved by Dx, Dy from where it rests
// (where the system's own moves put it too).
enum InputKind { Key, Click, Lost, Move };
struct Input {
    InputKind Kind;
    int Dx = 0, Dy = 0;
};

// A key, a click, a lost activation or a pointer moved further than a hand
// resting on the mouse moves it ends the saver. With "Password protected"
// ticked, 95, 98 and ME leave the password to the saver: it locks task
// switching while it runs, and such input asks the system's box first (once
// while it is open); refused, it runs on with the pointer hidden. Where the
// box cannot be had, or on the NT family, which asks itself, nothing is
// asked or locked.
TEST(SaverInput, EndsItOnceThePasswordIsGivenWhereOnlyTheSaverAsksForIt) {
    const DWORD Nine = VER_PLATFORM_WIN32_WINDOWS, Nt = VER_PLATFORM_WIN32_NT;
    const std::vector<std::string> none, twice(2, "verify saver pointer");
    const struct {
        DWORD System;
        int Ticked; // the value, -1 for none
        bool Without;
        std::vector<Input> Inputs; // the last ends it
        std::vector<std::string> Asked;
    } cases[] = {
        {Nt, 1, false, {{Move}, {Move, 4, 0}, {Move, 0, -4}, {Move, -3, 4}, {Move, 20, 0}}, none},
        {Nt, -1, false, {{Move}, {Move, 0, -20}}, none},
        {Nt, 1, false, {{Lost}}, none},
        {Nine, 1, false, {{Key}, {Lost}}, twice},
        {Nine, 0, false, {{Key}}, none},
        {Nine, -1, false, {{Click}}, none},
        {Nine, 1, true, {{Key}}, none},
    };
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.System == Nine ? "98" : "2000") + ", ticked " +
                     std::to_string(c.Ticked) + (c.Without ? ", without password.cpl" : "") +
                     ", first input " + std::to_string(c.Inputs[0].Kind));
        const DWORD value = c.Ticked;
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
        if (c.Ticked >= 0) {
            RegSetValueExA(desktop, "ScreenSaveUsePassword", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        }
        POINT rest = {};
        GetCursorPos(&rest);
        bool locked = false, hidden = true;
        size_t posted = 0; // input that ends it ends the run before the next step
        Answers = {FALSE, TRUE};
        const PosingAs system(c.System, c.Without);
        const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
            HWND saver = FindWindowA(SaverClassName, SaverTitle);
            if (saver != nullptr && Elapsed > 300 && posted < c.Inputs.size()) {
                locked = posted == 0 ? TaskSwitchingLocked() : locked;
                hidden = hidden && !PointerShown();
                const Input in = c.Inputs[posted++];
                const UINT messages[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_ACTIVATEAPP, WM_MOUSEMOVE};
                PostMessageA(saver, messages[in.Kind], in.Kind == Key ? 'A' : 0,
                             MAKELPARAM(rest.x + in.Dx, rest.y + in.Dy));
            }
        });
        EXPECT_TRUE(ended);
        EXPECT_EQ(c.Inputs.size(), posted);
        EXPECT_EQ(c.Asked, Calls);
        EXPECT_EQ(!c.Asked.empty(), locked);
        EXPECT_TRUE(hidden);
        EXPECT_FALSE(TaskSwitchingLocked());
        EXPECT_TRUE(PointerShown()); // again, once it ended
        const bool looks = c.System == Nine && c.Ticked > 0;
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
        const PosingAs system(VER_PLATFORM_WIN32_WINDOWS, false);
        Owner = given ? window : GetForegroundWindow();
        EXPECT_EQ(0, ChangeSaverPassword(given ? window : HWND(uintptr_t(0x7FFFFFF0))));
        EXPECT_EQ(std::vector<std::string>{"SCRSAVE owner"}, Calls);
        EXPECT_EQ(SystemPath("mpr.dll"), Loaded);
    }
    const PosingAs system(VER_PLATFORM_WIN32_NT, true);
    EXPECT_EQ(1, ChangeSaverPassword(window));
    EXPECT_EQ(1u, VelmoraTest::StopWatching().size()); // the box saying so, and only that
    DestroyWindow(window);
}

} // namespace
