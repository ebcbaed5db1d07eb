// The screensaver on the Windows side: its picture drawn through the scene's
// routines over minutes of frames, checked against fresh paints, and its
// windows run in this process: full screen over a virtual screen that
// changes, the pointer's moves, and the preview inside a window of ours.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
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
TEST(SaverWindow, CoversTheVirtualScreenAsItChangesHidesThePointerAndEndsOnAClick) {
    RealMetrics = reinterpret_cast<int(WINAPI*)(int)>(GetSystemMetricsSlot);
    std::vector<RECT> covered;
    bool hidden = false;
    const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
        HWND saver = FindWindowA(SaverClassName, SaverTitle);
        if (saver == nullptr || Elapsed < 300 || covered.size() == 2) { // a few frames drawn
            return;
        }
        covered.emplace_back();
        GetWindowRect(saver, &covered.back());
        if (covered.size() == 1) {
            hidden = !PointerShown();
            SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(&LeftMonitor));
            SendMessageA(saver, WM_DISPLAYCHANGE, 32, MAKELPARAM(2304, 1024));
        } else {
            PostMessageA(saver, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 400));
        }
    });
    SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(RealMetrics));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(PointerShown()); // again, once it ended
    ASSERT_EQ(2u, covered.size());
    EXPECT_EQ(
        std::vector<LONG>({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}),
        Corners(covered[0]));
    EXPECT_EQ(std::vector<LONG>({-1280, -256, 1024, 768}), Corners(covered[1]));
}

// Moves of the pointer from where it rests: a hand on the mouse moves it a
// few pixels and the saver stays; further along either axis alone ends it.
TEST(SaverWindow, EndsWhenThePointerMovesAwayAlongEitherAxis) {
    for (const POINT away : {POINT{20, 0}, POINT{0, -20}}) {
        SCOPED_TRACE(std::to_string(away.x) + "," + std::to_string(away.y));
        POINT rest = {};
        GetCursorPos(&rest); // where the system's own moves put it too
        const POINT moves[] = {rest,
                               {rest.x + 4, rest.y},
                               {rest.x, rest.y - 4},
                               {rest.x - 3, rest.y + 4},
                               {rest.x + away.x, rest.y + away.y}};
        size_t posted = 0; // a move that ends it ends the run before the next
        const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
            HWND saver = FindWindowA(SaverClassName, SaverTitle);
            if (saver != nullptr && Elapsed > 300 && posted < std::size(moves)) {
                const POINT at = moves[posted++];
                PostMessageA(saver, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
            }
        });
        EXPECT_EQ(std::size(moves), posted);
        EXPECT_TRUE(ended);
    }
}

TEST(SaverWindow, PreviewDrawsInItsParentAndEndsWithIt) {
    const WNDCLASSA parentClass = {0,       DefWindowProcA, 0,       0,       nullptr,
                                   nullptr, nullptr,        nullptr, nullptr, "SaverTestParent"};
    RegisterClassA(&parentClass);
    HWND parent = CreateWindowExA(0, "SaverTestParent", "", WS_POPUP | WS_VISIBLE, 40, 30, 152, 114,
                                  nullptr, nullptr, nullptr, nullptr);
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
std::vector<BOOL> Answers;       // of the password box, in turn
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
    const BOOL answer = Answers.empty() ? TRUE : Answers.front(); // more than asked for: let go
    if (!Answers.empty()) {
        Answers.erase(Answers.begin());
    }
    return answer;
}
HWND Owner;
DWORD WINAPI Change(LPCSTR Key, HWND Window, DWORD A, DWORD B) {
    Calls.push_back(Key + std::string(Window == Owner ? " owner" : " other") +
                    (A || B ? " +" : ""));
    return 0;
}
FARPROC WINAPI FindStandIn(HMODULE Module, LPCSTR Name) {
    if (reinterpret_cast<uintptr_t>(Name) > 0xFFFF && !std::strcmp(Name, "VerifyScreenSavePwd")) {
        return Address(&Verify);
    }
    if (reinterpret_cast<uintptr_t>(Name) > 0xFFFF && !std::strcmp(Name, "PwdChangePasswordA")) {
        return Address(&Change);
    }
    return RealFind(Module, Name);
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

// With "Password protected" ticked, 95, 98 and ME leave the password to the
// saver: it locks task switching while it runs, and a key, or another
// program taking the activation, asks the system's box first (once while it
// is open); refused, it runs on with the pointer hidden. Where the box cannot
// be had, or on the NT family, which asks itself, nothing is asked or locked,
// and the first key or lost activation ends it.
TEST(SaverPassword, AskedAndLockedOnlyOn9xWithThePasswordTicked) {
    const DWORD Nine = VER_PLATFORM_WIN32_WINDOWS, Nt = VER_PLATFORM_WIN32_NT;
    const struct {
        DWORD System;
        int Ticked; // the value, -1 for none
        bool Without;
        UINT First; // the input that would end it
        std::vector<std::string> Asked;
    } cases[] = {
        {Nine, 1, false, WM_KEYDOWN, {"verify saver pointer", "verify saver pointer"}},
        {Nine, 0, false, WM_KEYDOWN, {}},
        {Nine, -1, false, WM_ACTIVATEAPP, {}},
        {Nine, 1, true, WM_KEYDOWN, {}},
        {Nt, 1, false, WM_ACTIVATEAPP, {}},
    };
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.System == Nine ? "98" : "2000") + ", ticked " +
                     std::to_string(c.Ticked) + (c.Without ? ", without password.cpl" : ""));
        const DWORD value = c.Ticked;
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
        if (c.Ticked >= 0) {
            RegSetValueExA(desktop, "ScreenSaveUsePassword", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        }
        const bool asks = !c.Asked.empty();
        bool locked = false, hidden = false;
        int inputs = 0;
        Answers = {FALSE, TRUE};
        const PosingAs system(c.System, c.Without);
        const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
            HWND saver = FindWindowA(SaverClassName, SaverTitle);
            if (saver != nullptr && Elapsed > 300) {
                locked = inputs == 0 ? TaskSwitchingLocked() : locked;
                hidden = inputs == 1 && !PointerShown();
                const UINT input = inputs++ == 0 ? c.First : WM_ACTIVATEAPP;
                PostMessageA(saver, input, input == WM_KEYDOWN ? 'A' : FALSE, 0);
            }
        });
        EXPECT_TRUE(ended);
        EXPECT_EQ(c.Asked, Calls);
        EXPECT_EQ(asks ? 2 : 1, inputs);
        EXPECT_EQ(asks, locked);
        EXPECT_EQ(asks, hidden); // again, after the refusal
        EXPECT_FALSE(TaskSwitchingLocked());
        EXPECT_TRUE(PointerShown());
        const bool looks = c.System == Nine && c.Ticked > 0;
        EXPECT_EQ(looks ? SystemPath("password.cpl") : std::vector<std::string>(), Loaded);
    }
    RegDeleteValueA(desktop, "ScreenSaveUsePassword");
    RegCloseKey(desktop);
}

// /a: the system's dialog changes the password, owned by the window given
// or, for one that is not a window, by the foreground window; where the
// system has none, a box says so.
TEST(SaverPassword, ChangedByTheSystemDialogForTheOwnerGiven) {
    const WNDCLASSA ownerClass = {0,       DefWindowProcA, 0,       0,       nullptr,
                                  nullptr, nullptr,        nullptr, nullptr, "SaverTestOwner"};
    RegisterClassA(&ownerClass);
    HWND window = CreateWindowExA(0, "SaverTestOwner", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30,
                                  nullptr, nullptr, nullptr, nullptr);
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
