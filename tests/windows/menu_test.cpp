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
#include "import_slot.h"

using namespace Velmora;

IMPORT_SLOT(DrawTextA, 20);

namespace {

// What the input loop and the counting table's routines did, in order:
// "h2" a hover over entry 2, "c2" a click on it, "r0" a repaint, "k13" key 13.
std::string Log;

template <char Kind, int Entry> void Note() {
    Log += Kind + std::to_string(Entry) + " ";
    if (Kind == 'r') {
        PostMessageA(MainWindow, WM_KEYDOWN, 'R', 1); // so that the loop returns
    }
}

MenuTableRecord CountingTable() {
    MenuTableRecord table = {};
    LayOutMenuButtons(table, 3);
    const MenuRoutine clicks[] = {Note<'r', 0>, Note<'c', 1>, Note<'c', 2>, Note<'c', 3>};
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

// A message to post (X: the key of a key message); WM_PAINT: invalidate the window.
struct Step {
    UINT Message;
    int X = 0, Y = 0;
};

// Posts a move off the buttons, a key, the steps (mouse points put in the cursor) and a key 'Q',
// then runs the loop once a key (a repaint posts one), but logs nothing of the first run.
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
        if (step.Message == WM_PAINT) {
            InvalidateRect(MainWindow, nullptr, FALSE);
        } else if (step.Message == WM_KEYDOWN || step.Message == WM_SYSKEYDOWN) {
            PostMessageA(MainWindow, step.Message, step.X, 1);
        } else {
            SetCursorPos(point.x, point.y);
            PostMessageA(MainWindow, step.Message, 0, MAKELPARAM(step.X, step.Y));
        }
        keys += step.Message == WM_KEYDOWN || step.Message == WM_PAINT;
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
        {"k81 r0 k82 ", {{WM_PAINT}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.first, RunInput(row.second));
    }
    // The installer's own table: a hover selects the button under the hint cursor.
    RunInput({{M, 72, 165}}, EntryCount, MenuTable);
    EXPECT_EQ(3, SelectedEntry);
    EXPECT_EQ(HintCursor, GetCursor());
}

// A copy of this program does one thing right after the start-up (see main)
// and exits with the selection then, unless the installer ends it first.
TEST(MenuKeys, EscOrALostWindowEndTheProgramAndUpWraps) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (const std::string probe : {"Esc 0", "lost window 0", "Up 3"}) {
        SetEnvironmentVariableA("VELMORA_PROBE_STEP", probe.c_str());
        const HANDLE child = reinterpret_cast<HANDLE>(_spawnl(_P_NOWAIT, self, "probe", nullptr));
        WaitForSingleObject(child, 30000);
        TerminateProcess(child, 124); // when it has not ended by itself
        DWORD code = 124;
        GetExitCodeProcess(child, &code);
        EXPECT_EQ(static_cast<DWORD>(probe.back() - '0'), code) << probe;
        CloseHandle(child);
    }
    SetEnvironmentVariableA("VELMORA_PROBE_STEP", nullptr);
}

// Each DrawTextA call: the string and the text colour.
std::string Drawn;
decltype(&DrawTextA) RealDrawText;

int WINAPI RecordDrawText(HDC Dc, LPCSTR Text, int Length, LPRECT Rect, UINT Format) {
    Drawn += std::string(Text) + " in " + std::to_string(GetTextColor(Dc)) + "\n";
    return RealDrawText(Dc, Text, Length, Rect, Format);
}

// Entry 2 selected; the captions as main's start-up set them without a screensaver.
TEST(MenuPaint, ThePictureTheTitleAndTheButtonsWithTheirCaptions) {
    SelectedEntry = 2;
    DWORD protection = 0;
    VirtualProtect(&DrawTextASlot, sizeof(void*), PAGE_READWRITE, &protection);
    RealDrawText = reinterpret_cast<decltype(&DrawTextA)>(DrawTextASlot);
    DrawTextASlot = reinterpret_cast<void*>(&RecordDrawText);
    PaintMenu();
    DrawTextASlot = reinterpret_cast<void*>(RealDrawText);
    GdiFlush();
    const std::string title = "Velmora 2.01 installation setup in ";
    EXPECT_EQ(title + std::to_string(TitleShadowColour) + "\n" + title +
                  std::to_string(TitleColour) + "\nInstall in " +
                  std::to_string(NormalCaptionColour) + "\nUninstall in " +
                  std::to_string(SelectedCaptionColour) + "\nExit in " +
                  std::to_string(NormalCaptionColour) + "\n",
              Drawn);
    for (int x : {40, 104}) { // the fills beside the captions, clear of the corners
        EXPECT_EQ(NormalButtonColour, GetPixel(WindowDC, x, 55)) << x;
        EXPECT_EQ(SelectedButtonColour, GetPixel(WindowDC, x, 115)) << x;
        EXPECT_EQ(NormalButtonColour, GetPixel(WindowDC, x, 175)) << x;
    }
    // The picture, one to one where neither a button nor the title lies.
    for (POINT at : {POINT{300, 200}, POINT{589, 3}, POINT{3, 420}, POINT{120, 100}}) {
        const uint8_t* pixel = BackgroundImage.Pixels + (at.y * BackgroundImage.Width + at.x) * 4;
        EXPECT_EQ(RGB(pixel[2], pixel[1], pixel[0]), GetPixel(WindowDC, at.x, at.y)) << at.x;
    }
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    StartSetup();
    char step[16] = "";
    if (GetEnvironmentVariableA("VELMORA_PROBE_STEP", step, sizeof step) != 0) {
        if (step[0] == 'l') {
            DestroyWindow(MainWindow);
            WaitMenuInput(MainWindow, EntryCount, MenuTable);
        }
        HandleMenuKey(step[0] == 'E' ? KeyEscape : KeyUp);
        return SelectedEntry;
    }
    return RUN_ALL_TESTS();
}
