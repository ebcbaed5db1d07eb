// The menu window as the installer's start-up makes it: the input loop fed
// real messages through the window's queue, the main loop's keys, painting.
#include <gtest/gtest.h>

#include <process.h>
#include <string>
#include <vector>

#include "app/app_startup.h"
#include "app/install_location.h"
#include "data/background_image.h"
#include "data/payload_table.h"
#include "ui/menu_input.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;

namespace {

// What the input loop and the counting table's routines did, in order:
// "h2" a hover over entry 2, "c2" a click on it, "r0" a repaint, "k13" key 13.
std::string Log;

template <char Kind, int Entry> void Note() {
    Log += Kind + std::to_string(Entry) + " ";
}

MenuTableRecord CountingTable() {
    MenuTableRecord table = {};
    LayOutMenuButtons(table, 3);
    const MenuRoutine clicks[] = {nullptr, Note<'c', 1>, Note<'c', 2>, Note<'c', 3>};
    const MenuRoutine hovers[] = {nullptr, Note<'h', 1>, Note<'h', 2>, Note<'h', 3>};
    for (int i = 0; i <= 3; ++i) {
        table.Slots[i].Action = clicks[i];
        table.Slots[i].HoverAction = hovers[i];
    }
    return table;
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    PostMessageA(MainWindow, WM_KEYDOWN, 0xFFFF, 1);
}

// A message to post (X: the key of a key message).
struct Step {
    UINT Message;
    int X = 0, Y = 0;
};

// Posts a move off the buttons, a key, the steps (mouse points put in the cursor) and a key 'Q',
// then runs the loop once a key, but logs nothing of the first run.
std::string RunInput(std::vector<Step> Steps, uint16_t Count = 3,
                     const MenuTableRecord& Table = CountingTable()) {
    MSG message; // what is pending goes to the window's procedure first
    while (PeekMessageA(&message, MainWindow, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
    Steps.insert(Steps.begin(), {{WM_MOUSEMOVE, 300, 300}, {WM_KEYDOWN, 'Z'}});
    Steps.push_back({WM_KEYDOWN, 'Q'});
    int keys = 0;
    for (const Step& step : Steps) {
        POINT point = {step.X, step.Y};
        ClientToScreen(MainWindow, &point);
        if (step.Message == WM_KEYDOWN || step.Message == WM_SYSKEYDOWN) {
            PostMessageA(MainWindow, step.Message, step.X, 1);
        } else {
            SetCursorPos(point.x, point.y);
            PostMessageA(MainWindow, step.Message, 0, MAKELPARAM(step.X, step.Y));
        }
        keys += step.Message == WM_KEYDOWN;
    }
    for (int run = 0; run < keys; ++run) {
        // A run that nothing else ends, the watchdog ends with key 0xFFFF.
        const UINT_PTR timer = SetTimer(MainWindow, 0x5EED, 5000, Watchdog);
        const uint16_t key = WaitMenuInput(MainWindow, Count, Table);
        KillTimer(MainWindow, timer);
        Log = run == 0 ? "" : Log + "k" + std::to_string(key) + " ";
    }
    return Log;
}

const UINT M = WM_MOUSEMOVE, D = WM_LBUTTONDOWN, U = WM_LBUTTONUP, K = WM_KEYDOWN;

TEST(MenuInput, MovesClicksAndKeysThroughTheQueue) {
    const std::pair<const char*, std::vector<Step>> rows[] = {
        // Corners of button 1; just beside it and below button 3; buttons 2 and 3.
        {"h1 h1 h1 h1 k81 ", {{M, 35, 30}, {M, 110, 30}, {M, 35, 60}, {M, 110, 60}}},
        {"k81 ", {{M, 34, 45}, {M, 111, 45}, {M, 72, 29}, {M, 72, 61}, {M, 72, 181}}},
        {"h2 h2 h3 h3 k81 ", {{M, 72, 90}, {M, 110, 120}, {M, 35, 150}, {M, 110, 180}}},
        // A release acts on the entry of the last move, wherever it happens.
        {"h1 c1 h2 c2 k81 ", {{M, 72, 45}, {D, 72, 45}, {U, 300, 300}, {M, 72, 100}, {U}}},
        {"h1 k81 ", {{M, 72, 45}, {D, 72, 45}, {M, 72, 75}, {U, 72, 75}}},
        // Each call first judges the point where the last message left off.
        {"h2 k81 h2 k81 ", {{M, 72, 100}, {K, 'Q'}}},
        {"k13 k27 k38 k65 k81 ", {{K, VK_RETURN}, {K, VK_ESCAPE}, {K, VK_UP}, {K, 'A'}}},
        {"k40 k81 ", {{WM_SYSKEYDOWN, 'X'}, {WM_SYSKEYDOWN, VK_F10}, {K, VK_DOWN}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.first, RunInput(row.second));
    }
    // The installer's own table: a hover selects the button under the hint cursor.
    RunInput({{M, 72, 165}}, EntryCount, MenuTable);
    EXPECT_EQ(3, SelectedEntry);
    EXPECT_EQ(HintCursor, GetCursor());
    // Off the buttons, the window's own pointer: the standard arrow.
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW),
              reinterpret_cast<HCURSOR>(GetClassLongPtrA(MainWindow, GCLP_HCURSOR)));
}

// Each key on its own: the arrows move the highlight with wrap-around, every
// other key leaves it. Esc, and a window lost under the input loop, end the
// program with 0: each in a copy of this program (see main).
TEST(MenuKeys, ArrowsMoveAndWrapEscOrALostWindowEndTheProgram) {
    const struct {
        uint16_t Key, From, To;
    } rows[] = {{VK_UP, 1, 3},   {VK_UP, 3, 2},    {VK_DOWN, 3, 1}, {VK_DOWN, 1, 2},
                {VK_LEFT, 2, 2}, {VK_RIGHT, 2, 2}, {VK_TAB, 2, 2},  {VK_SPACE, 1, 1},
                {VK_BACK, 3, 3}, {'A', 2, 2},      {VK_F10, 1, 1}};
    for (const auto& row : rows) {
        SelectedEntry = row.From;
        HandleMenuKey(row.Key);
        EXPECT_EQ(row.To, SelectedEntry) << "key " << row.Key << " from " << row.From;
    }
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (const char* step : {"Esc", "lost window"}) {
        SetEnvironmentVariableA("VELMORA_PROBE_STEP", step);
        const HANDLE child = reinterpret_cast<HANDLE>(_spawnl(_P_NOWAIT, self, "probe", nullptr));
        WaitForSingleObject(child, 30000);
        TerminateProcess(child, 124); // when it has not ended by itself
        DWORD code = 124;
        GetExitCodeProcess(child, &code);
        EXPECT_EQ(0u, code) << step;
        CloseHandle(child);
    }
    SetEnvironmentVariableA("VELMORA_PROBE_STEP", nullptr);
}

// What the picture has at a point of the client area.
COLORREF Picture(int X, int Y) {
    const uint8_t* pixel = BackgroundImage.Pixels + (Y * BackgroundImage.Width + X) * 4;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

// The window is blotted out, then a repaint of all of it is asked for from
// outside, as when another window has covered it.
TEST(MenuPaint, ARepaintFromOutsideShowsThePictureAndTheTitleWithItsShadow) {
    RECT client;
    GetClientRect(MainWindow, &client);
    PatBlt(WindowDC, 0, 0, 600, 450, BLACKNESS);
    GdiFlush();
    InvalidateRect(MainWindow, nullptr, TRUE);
    const UINT_PTR timer = SetTimer(MainWindow, 0x5EED, 100, Watchdog); // after the repaint
    WaitMenuInput(MainWindow, EntryCount, MenuTable);
    KillTimer(MainWindow, timer);
    GdiFlush();
    // The picture, one to one where neither a button nor the title lies.
    for (POINT at : {POINT{300, 200}, POINT{589, 3}, POINT{3, 420}, POINT{120, 100}}) {
        EXPECT_EQ(Picture(at.x, at.y), GetPixel(WindowDC, at.x, at.y)) << at.x << "," << at.y;
    }
    // The title, ivory, in its place in the lower right; its dark red shadow one
    // pixel to the right of and below it. Nothing else there differs from the picture.
    int title = 0, shadow = 0, elsewhere = 0, unshadowed = 0;
    for (int y = 300; y < client.bottom; ++y) {
        for (int x = 300; x < client.right; ++x) {
            const COLORREF colour = GetPixel(WindowDC, x, y);
            const bool inside = x >= 434 && x <= 585 && y >= 391 && y <= 442;
            title += inside && colour == RGB(255, 255, 240);
            shadow += inside && colour == RGB(64, 0, 0);
            unshadowed +=
                colour == RGB(64, 0, 0) && GetPixel(WindowDC, x - 1, y - 1) != RGB(255, 255, 240);
            elsewhere += !inside && colour != Picture(x, y);
        }
    }
    EXPECT_GT(title, 100);
    EXPECT_GT(shadow, 50);
    EXPECT_EQ(0, unshadowed);
    EXPECT_EQ(0, elsewhere);
}

} // namespace

bool PlantedLoadedBeforeStartup;

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const HMODULE planted = LoadLibraryA("velmora_planted.dll");
    PlantedLoadedBeforeStartup = planted != nullptr;
    FreeLibrary(planted);
    StartSetup();
    char step[16] = "";
    if (GetEnvironmentVariableA("VELMORA_PROBE_STEP", step, sizeof step) != 0) {
        if (step[0] == 'l') {
            DestroyWindow(MainWindow);
            WaitMenuInput(MainWindow, EntryCount, MenuTable);
        } else {
            HandleMenuKey(VK_ESCAPE);
        }
        return 9; // not ended
    }
    return RUN_ALL_TESTS();
}
