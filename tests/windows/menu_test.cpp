// The menu window as the installer's start-up makes it: the input loop fed
// real messages through the window's queue, the main loop's keys, what
// assistive technology is told, painting in the program's colours and under
// High Contrast.
#include <gtest/gtest.h>

#include <oleacc.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/app_startup.h"
#include "data/background_image.h"
#include "import_slot.h"
#include "message_box_watch.h"
#include "ui/menu_access.h"
#include "ui/menu_input.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;
using VelmoraTest::SwapImport;

IMPORT_SLOT(GetProcAddress, 8);
IMPORT_SLOT(SystemParametersInfoA, 16);

namespace {

// What the input loop did: "c2" the action of entry 2, "k13" key 13 returned.
std::string Log;

void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    PostMessageA(MainWindow, WM_KEYDOWN, 0xFFFF, 1);
}

// A message to post (X: the key of a key message).
struct Step {
    UINT Message;
    int X = 0, Y = 0;
};

// Posts a move off the buttons, a key, the steps (mouse points put in the cursor) and a key 'Q',
// then runs the loop and hands its key on as the main loop does, once a key, logging nothing of
// the first run. The table is the installer's own but for the buttons' actions, which are noted;
// the first renames its entry, as an install does.
std::string RunInput(std::vector<Step> Steps) {
    MenuTableRecord table = MenuTable;
    table.Slots[1].Action = [] {
        Log += "c1 ";
        AssignString(MenuCaptions[1], "  Reinstall ");
    };
    table.Slots[2].Action = [] { Log += "c2 "; };
    table.Slots[3].Action = [] { Log += "c3 "; };
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
        const uint16_t key = WaitMenuInput(MainWindow, EntryCount, table);
        KillTimer(MainWindow, timer);
        Log = run == 0 ? "" : Log + "k" + std::to_string(key) + " ";
        HandleMenuKey(key);
    }
    return Log;
}

// The annotation service, as strict as the system's (no window, a role that is not a number or
// no text: refused), and what it holds for the client object by property ("other" for the rest).
// It is its table of routines: IAccPropServices' in their order (IUnknown's three, SetPropValue,
// SetPropServer, ClearProps, SetHwndProp, SetHwndPropStr...), those the menu never calls empty.
std::map<std::string, std::string> Held;
HRESULT Hold(HWND Window, DWORD Object, DWORD Child, REFGUID Id, bool Valid, std::string Text) {
    if (!Valid || !IsWindow(Window)) {
        return E_INVALIDARG;
    }
    const bool client = LONG(Object) == OBJID_CLIENT && Child == CHILDID_SELF;
    Held[!client                        ? "other"
         : Id == PROPID_ACC_NAME        ? "name"
         : Id == PROPID_ACC_ROLE        ? "role"
         : Id == PROPID_ACC_DESCRIPTION ? "description"
                                        : "other"] = Text;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE HoldNumber(void*, HWND W, DWORD O, DWORD C, GUID P, VARIANT V) {
    return Hold(W, O, C, P, V.vt == VT_I4, std::to_string(V.lVal));
}
HRESULT STDMETHODCALLTYPE HoldText(void*, HWND W, DWORD O, DWORD C, GUID P, LPCWSTR T) {
    return Hold(W, O, C, P, T != nullptr, T ? std::string(T, T + lstrlenW(T)) : "");
}
ULONG STDMETHODCALLTYPE Kept(void*) {
    return 1; // never destroyed
}
template <typename Routine> void* Address(Routine Called) {
    return reinterpret_cast<void*>(Called);
}
void* const Routines[] = {nullptr, Address(&Kept), Address(&Kept),       nullptr,
                          nullptr, nullptr,        Address(&HoldNumber), Address(&HoldText)};
void* const* Service = Routines;

// The routines the menu looks up: the system's, except that the annotation service and the events
// come to the test; or as a system without the service; or as Windows 95 and NT 4.0 as shipped,
// without any of them.
enum { Present, NoService, NoRoutines } Lookups;
decltype(&GetProcAddress) RealLookUp;
std::string Events; // of the window's client object, in order

HRESULT WINAPI Create(REFCLSID Class, IUnknown* Outer, DWORD, REFIID Id, void** Object) {
    const bool made = Lookups == Present && Class == CLSID_AccPropServices && Outer == nullptr;
    *Object = made && Id == IID_IAccPropServices ? &Service : nullptr;
    return *Object ? S_OK : made ? E_NOINTERFACE : REGDB_E_CLASSNOTREG;
}
void WINAPI Tell(DWORD Event, HWND Window, LONG Object, LONG Child) {
    Events += Window != MainWindow || Object != OBJID_CLIENT || Child != CHILDID_SELF ? "other "
              : Event == EVENT_OBJECT_FOCUS                                           ? "focus "
              : Event == EVENT_OBJECT_NAMECHANGE                                      ? "name "
                                                                                      : "other ";
}
FARPROC WINAPI LookUp(HMODULE Module, LPCSTR Name) {
    const FARPROC real = Lookups == NoRoutines ? nullptr : RealLookUp(Module, Name);
    void* const standIn = std::string(Name) == "CoCreateInstance" ? Address(&Create)
                          : std::string(Name) == "NotifyWinEvent" ? Address(&Tell)
                                                                  : nullptr;
    return real && standIn ? reinterpret_cast<FARPROC>(standIn) : real;
}

// Each row goes through the queue as the main loop takes it: the keys move the highlight with
// wrap-around, every other key leaves it; the pointer moves it over a button; a release acts on
// the entry of the last move. Each move, and a click that renames the highlighted entry, is
// told; the client object carries its caption as a button. The first wait starts it all.
TEST(MenuInput, KeysAndThePointerMoveTheHighlightAButtonNamedByItsCaptionAndTellIt) {
    RealLookUp =
        reinterpret_cast<decltype(RealLookUp)>(SwapImport(&GetProcAddressSlot, Address(&LookUp)));
    SelectedEntry = 1;
    const UINT M = WM_MOUSEMOVE, D = WM_LBUTTONDOWN, U = WM_LBUTTONUP, K = WM_KEYDOWN;
    const std::vector<Step> others = {{K, VK_LEFT},  {K, VK_RIGHT},          {K, VK_TAB},
                                      {K, VK_SPACE}, {K, VK_BACK},           {K, 'A'},
                                      {K, VK_F10},   {WM_SYSKEYDOWN, VK_F10}};
    const struct {
        const char *Log, *Name, *Told;
        std::vector<Step> Steps;
    } rows[] = {
        {"k81 ", "Install", "focus ", {}},
        {"k38 k81 ", "Exit", "focus ", {{K, VK_UP}}},
        {"k38 k81 ", "Uninstall", "focus ", {{K, VK_UP}}},
        {"k37 k39 k9 k32 k8 k65 k121 k81 ", "Uninstall", "", others},
        {"k40 k81 ", "Exit", "focus ", {{K, VK_DOWN}}},
        // Each button, and beside them (the edges are the native tests').
        {"k81 ",
         "Exit",
         "focus focus focus ",
         {{M, 35, 30}, {M, 72, 100}, {M, 110, 180}, {M, 111, 45}, {M, 72, 181}}},
        {"k40 k81 ", "Install", "focus ", {{K, VK_DOWN}}},
        {"c1 c2 k81 ",
         "Uninstall",
         "name focus ",
         {{M, 72, 45}, {D, 72, 45}, {U, 300, 300}, {M, 72, 100}, {U}}},
        {"k81 ", "Reinstall", "focus ", {{M, 72, 45}, {D, 72, 45}, {M, 72, 75}, {U, 72, 75}}},
        // Each wait first judges the point where the last message left off.
        {"k40 k81 ", "Uninstall", "focus ", {{M, 72, 100}, {K, VK_DOWN}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.Log, RunInput(row.Steps));
        EXPECT_EQ(row.Told, std::exchange(Events, "")) << row.Log;
        EXPECT_EQ(row.Name, Held["name"]);
    }
    EXPECT_EQ(std::to_string(ROLE_SYSTEM_PUSHBUTTON), Held["role"]);
    for (const char* word : {"Up", "Down", "Enter", "Esc"}) {
        EXPECT_NE(std::string::npos, Held["description"].find(word)) << word;
    }
    EXPECT_EQ(3u, Held.size()) << "for the client object, only its name, role and description";
    // Over a button, the hint cursor; off them, the window's own pointer: the standard arrow.
    EXPECT_EQ(HintCursor, GetCursor());
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW),
              reinterpret_cast<HCURSOR>(GetClassLongPtrA(MainWindow, GCLP_HCURSOR)));
    // Without the service nothing is annotated, yet the system hears of the
    // highlight; where neither is looked up, nothing happens at all.
    AssignString(MenuCaptions[1], "Install");
    for (const auto lookups : {NoService, NoRoutines}) {
        Lookups = lookups;
        Held.clear();
        StartMenuAccess(MainWindow);
        EXPECT_EQ("k40 k81 ", RunInput({{K, VK_DOWN}}));
        EXPECT_EQ(lookups == NoService ? "focus focus " : "", std::exchange(Events, ""));
        EXPECT_TRUE(Held.empty());
    }
    SwapImport(&GetProcAddressSlot, Address(RealLookUp));
}

// What the picture has at a point of the client area.
COLORREF Picture(int X, int Y) {
    const uint8_t* pixel = BackgroundImage.Pixels + (Y * BackgroundImage.Width + X) * 4;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

// The system's colours, which the test sets, and High Contrast on or off,
// answered as the system answers (the structure's size checked).
const std::map<int, COLORREF> SystemColours = {
    {COLOR_BTNFACE, RGB(0, 96, 0)},    {COLOR_BTNTEXT, RGB(255, 255, 0)},
    {COLOR_HIGHLIGHT, RGB(0, 0, 160)}, {COLOR_HIGHLIGHTTEXT, RGB(255, 128, 0)},
    {COLOR_WINDOW, RGB(48, 48, 48)},   {COLOR_WINDOWTEXT, RGB(0, 255, 255)}};
bool HighContrast;
decltype(&SystemParametersInfoA) RealParameters;

BOOL WINAPI AnswerParameters(UINT Action, UINT Size, void* Data, UINT Flags) {
    HIGHCONTRASTA* contrast = static_cast<HIGHCONTRASTA*>(Data);
    if (Action != SPI_GETHIGHCONTRAST) {
        return RealParameters(Action, Size, Data, Flags);
    } else if (!contrast || Size != sizeof *contrast || contrast->cbSize != sizeof *contrast) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    contrast->dwFlags = HCF_AVAILABLE | (HighContrast ? HCF_HIGHCONTRASTON : 0);
    return TRUE;
}

// The window is blotted out, then a repaint of all of it is asked for from
// outside, as when another window has covered it; High Contrast off, then on.
TEST(MenuPaint, ARepaintShowsThePictureTheTitleAndTheButtonsInTheSystemsColoursUnderHighContrast) {
    RealParameters = reinterpret_cast<decltype(RealParameters)>(
        SwapImport(&SystemParametersInfoASlot, Address(&AnswerParameters)));
    for (const auto& [index, colour] : SystemColours) {
        SetSysColors(1, &index, &colour);
    }
    SelectedEntry = 2;
    RECT client;
    GetClientRect(MainWindow, &client);
    for (const bool contrast : {false, true}) {
        SCOPED_TRACE(contrast ? "High Contrast" : "the program's colours");
        const auto colour = [&](int Index, COLORREF Own) {
            return contrast ? SystemColours.at(Index) : Own;
        };
        HighContrast = contrast;
        PatBlt(WindowDC, 0, 0, 600, 450, BLACKNESS);
        GdiFlush();
        InvalidateRect(MainWindow, nullptr, TRUE);
        const UINT_PTR timer = SetTimer(MainWindow, 0x5EED, 100, Watchdog); // after the repaint
        WaitMenuInput(MainWindow, EntryCount, MenuTable);
        KillTimer(MainWindow, timer);
        GdiFlush();
        // The picture, one to one but for the buttons and the title. The title in its
        // place in the lower right: ivory with a dark red shadow one pixel to the right
        // of and below it, or the window text colour on a plain band (the text smoothed).
        const COLORREF text = colour(COLOR_WINDOWTEXT, RGB(255, 255, 240)), shadow = RGB(64, 0, 0);
        std::map<COLORREF, int> title; // the colours in the title's place
        int elsewhere = 0, unshadowed = 0;
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF pixel = GetPixel(WindowDC, x, y);
                const bool inside = x >= 434 && x <= 585 && y >= 391 && y <= 442;
                title[pixel] += inside;
                unshadowed += pixel == shadow && GetPixel(WindowDC, x - 1, y - 1) != text;
                elsewhere += !inside && !(x >= 35 && x <= 110 && y >= 30 && y <= 180) &&
                             pixel != Picture(x, y);
            }
        }
        EXPECT_GT(title[text], 100);
        EXPECT_EQ(contrast ? 0 : 50, std::min(title[shadow], 50));
        EXPECT_EQ(contrast, title[SystemColours.at(COLOR_WINDOW)] > 151 * 51 / 2);
        EXPECT_EQ(0, unshadowed + elsewhere);
        // The buttons, entry 2 highlighted: fill, frame, caption.
        for (int entry = 1, top = 30; entry <= 3; ++entry, top += 60) {
            const bool lit = entry == 2;
            EXPECT_EQ(lit ? colour(COLOR_HIGHLIGHT, RGB(176, 176, 240))
                          : colour(COLOR_BTNFACE, RGB(32, 32, 117)),
                      GetPixel(WindowDC, 38, top + 15));
            EXPECT_EQ(colour(COLOR_BTNTEXT, 0), GetPixel(WindowDC, 35, top + 15));
            const COLORREF caption = lit ? colour(COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255))
                                         : colour(COLOR_BTNTEXT, RGB(221, 221, 238));
            int letters = 0;
            for (int at = 0; at < 73 * 20; ++at) {
                letters += GetPixel(WindowDC, 36 + at % 73, top + 5 + at / 73) == caption;
            }
            EXPECT_GT(letters, 15) << entry;
        }
    }
    SwapImport(&SystemParametersInfoASlot, Address(RealParameters));
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    StartSetup();
    return RUN_ALL_TESTS();
}
