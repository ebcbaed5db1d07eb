// The screensaver on the Windows side: its picture drawn through the scene's
// routines (what moves, what stays, the GDI objects made and given back),
// and its windows run in this process: full screen over a virtual screen
// with a monitor on the left, and the preview inside a window of ours.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "import_slot.h"
#include "message_box_watch.h"
#include "saver_scene.h"
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

namespace {

// A picture of the design's own size, 600 x 450, standing in for a window.
struct Canvas {
    BITMAPINFO Info = {{sizeof(BITMAPINFOHEADER), 600, -450, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    uint32_t* Bits = nullptr;
    HDC Dc = CreateCompatibleDC(nullptr);
    HBITMAP Bitmap =
        CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, reinterpret_cast<void**>(&Bits), nullptr, 0);
    HGDIOBJ Plain = SelectObject(Dc, Bitmap);
    // Both parts moved on to a moment, what changed copied here; the picture then.
    std::vector<uint32_t> Move(uint32_t Milliseconds) {
        UpdateSaverSky(Dc, Milliseconds);
        UpdateSaverWater(Dc, Milliseconds);
        GdiFlush();
        return std::vector<uint32_t>(Bits, Bits + 600 * 450);
    }
};

// Whether two pictures differ in rows Top..Bottom-1, columns 0..Right-1.
bool Differ(const std::vector<uint32_t>& A, const std::vector<uint32_t>& B, int Top, int Bottom,
            int Right = 600) {
    for (int at = Top * 600; at < Bottom * 600; ++at) {
        if (at % 600 < Right && A[at] != B[at]) {
            return true;
        }
    }
    return false;
}

TEST(SaverScene, StarsAndWaterMoveWhileMountainsAndShoreStay) {
    Canvas canvas;
    ASSERT_TRUE(PrepareSaverScene(canvas.Dc, 600, 450));
    canvas.Move(0);
    PresentSaverFrame(canvas.Dc);
    // A fifth of a second apart, in four nine-second slots of shooting stars.
    for (uint32_t at : {1500u, 10500u, 19500u, 28500u}) {
        SCOPED_TRACE(at);
        const std::vector<uint32_t> before = canvas.Move(at), after = canvas.Move(at + 200);
        EXPECT_TRUE(Differ(before, after, 60, 150));       // stars, below the cloud
        EXPECT_TRUE(Differ(before, after, 318, 450));      // the lake
        EXPECT_FALSE(Differ(before, after, 185, 318));     // mountains, the pines' tops
        EXPECT_FALSE(Differ(before, after, 420, 450, 60)); // the bank
    }
    FreeSaverScene();
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

TEST(SaverScene, GivesBackEveryGdiObjectItMakes) {
    Canvas canvas;
    Live = 0;
    CountObjects(true);
    const bool prepared = PrepareSaverScene(canvas.Dc, 600, 450);
    const int kept = Live; // the scene's pictures and what it draws them with
    for (uint32_t frame = 0; frame < 3000; ++frame) { // two minutes: clouds, shooting stars
        canvas.Move(frame * 40);
    }
    const int afterFrames = Live;
    PrepareSaverScene(canvas.Dc, 200, 150); // a new size
    FreeSaverScene();
    CountObjects(false);
    EXPECT_TRUE(prepared);
    EXPECT_EQ(kept, afterFrames);
    EXPECT_EQ(0, Live);
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

TEST(SaverWindow, CoversEveryMonitorHidesThePointerAndEndsOnAClick) {
    RealMetrics = reinterpret_cast<int(WINAPI*)(int)>(
        SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(&LeftMonitor)));
    RECT covered = {};
    bool hidden = false;
    const bool ended = RunWatched(RunFullScreenSaver, [&](DWORD Elapsed) {
        HWND saver = FindWindowA(SaverClassName, SaverTitle);
        if (saver != nullptr && Elapsed > 300) { // a few frames drawn
            GetWindowRect(saver, &covered);
            hidden = !PointerShown();
            PostMessageA(saver, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 400));
        }
    });
    SwapImport(&GetSystemMetricsSlot, reinterpret_cast<void*>(RealMetrics));
    EXPECT_TRUE(ended);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(PointerShown()); // again, once it ended
    EXPECT_EQ(std::vector<LONG>({-1280, -256, 1024, 768}), Corners(covered));
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

} // namespace
