#include "saver_window.h"

#include <windowsx.h>

#include "saver_password.h"
#include "saver_scene.h"
#include "saver_screens.h"

namespace Velmora {

const char SaverClassName[] = "VelmoraSaver";
const char SaverTitle[] = "Velmora";

// The sky and the water move on timers of their own, half a frame apart:
// each part's changes then reach the screen on their own rather than joined
// into one area that spans both and the still mountains between them.
static const UINT_PTR SkyTimer = 1;
static const UINT_PTR WaterTimer = 2;
static const UINT FrameInterval = 40; // milliseconds: 25 frames a second
// Milliseconds between checks that the preview's parent is still there.
static const UINT WatchInterval = 250;
static const int PointerSlack = 4; // pixels the pointer may wander before it counts

static bool Previewing;
static HWND PreviewParent;
static HWND PreviewWindow;
static DWORD StartTick;
static bool PointerSeen;
static POINT FirstPointer;
static bool PointerHidden;
static bool Ending;      // destroying the window, which also takes its activation away
static bool WaterInStep; // the water's timer runs at the frame interval
static bool Dark;        // the display is off: nothing is drawn
// Each monitor's area of the window, found for a client area of LaidOut.
static RECT Screens[MaxScreens];
static int ScreenCount;
static SIZE LaidOut;

// The water's timer fires first after half a frame, then every frame.
static void StartTimers(HWND Window) {
    WaterInStep = false;
    SetTimer(Window, SkyTimer, FrameInterval, nullptr);
    SetTimer(Window, WaterTimer, FrameInterval / 2, nullptr);
}

// Where the scenes lie in a window of its present size: full screen one on
// each monitor (the window spans the virtual screen), the preview one in all
// of its window. The scenes of screens that went are freed.
static void LayOutScreens(HWND Window) {
    RECT client;
    GetClientRect(Window, &client);
    RECT place;
    GetWindowRect(Window, &place);
    ScreenCount = Previewing ? 1
                             : FindSaverScreens(Screens, MaxScreens, place.left, place.top,
                                                client.right, client.bottom);
    Screens[0] = Previewing ? client : Screens[0];
    FreeSaverScenes(ScreenCount);
    LaidOut = {client.right, client.bottom};
}

static bool LaidOutFor(HWND Window) {
    RECT client;
    GetClientRect(Window, &client);
    return client.right == LaidOut.cx && client.bottom == LaidOut.cy;
}

// The whole picture at this moment, for a window that needs painting: each
// screen's scene, and black where no monitor shows the window.
static void ShowFrame(HWND Window, HDC Dc) {
    if (!LaidOutFor(Window)) {
        LayOutScreens(Window);
    }
    const DWORD now = GetTickCount() - StartTick;
    for (int i = 0; i < ScreenCount; ++i) {
        UseSaverScene(i);
        if (PrepareSaverScene(Dc, Screens[i])) {
            UpdateSaverSky(nullptr, now);
            UpdateSaverWater(nullptr, now);
            PresentSaverFrame(Dc);
            ExcludeClipRect(Dc, Screens[i].left, Screens[i].top, Screens[i].right,
                            Screens[i].bottom);
        }
    }
    PatBlt(Dc, 0, 0, LaidOut.cx, LaidOut.cy, BLACKNESS);
    SelectClipRgn(Dc, nullptr);
}

// One part moves on; a window of a new size is painted afresh.
static void NextFrame(HWND Window, UINT_PTR Timer) {
    if (Timer == WaterTimer && !WaterInStep) {
        SetTimer(Window, WaterTimer, FrameInterval, nullptr);
        WaterInStep = true;
    }
    if (Previewing) {
        // Follow the parent's size.
        RECT parent;
        RECT own;
        if (GetClientRect(PreviewParent, &parent) && GetClientRect(Window, &own) &&
            (parent.right != own.right || parent.bottom != own.bottom)) {
            MoveWindow(Window, 0, 0, parent.right, parent.bottom, FALSE);
        }
    }
    if (!LaidOutFor(Window)) {
        InvalidateRect(Window, nullptr, FALSE);
        return;
    }
    HDC dc = GetDC(Window);
    if (dc != nullptr) {
        const DWORD now = GetTickCount() - StartTick;
        for (int i = 0; i < ScreenCount; ++i) {
            UseSaverScene(i);
            if (Timer == SkyTimer) {
                UpdateSaverSky(dc, now);
            } else {
                UpdateSaverWater(dc, now);
            }
        }
        ReleaseDC(Window, dc);
    }
}

// Off, the display shows nothing: the frames stop. Back on (or dimmed, which
// shows the picture still), it gets a whole fresh frame and they go on.
static void FollowDisplay(HWND Window, DisplayState State) {
    if (State == DisplayOff && !Dark) {
        Dark = true;
        KillTimer(Window, SkyTimer);
        KillTimer(Window, WaterTimer);
    } else if ((State == DisplayOn || State == DisplayDimmed) && Dark) {
        Dark = false;
        InvalidateRect(Window, nullptr, FALSE);
        StartTimers(Window);
    }
}

// The first position seen is where the pointer rests; only a move of more
// than a few pixels away from it ends the saver.
static bool PointerMoved(LPARAM Position) {
    const int x = GET_X_LPARAM(Position);
    const int y = GET_Y_LPARAM(Position);
    if (!PointerSeen) {
        PointerSeen = true;
        FirstPointer.x = x;
        FirstPointer.y = y;
        return false;
    }
    const int dx = x > FirstPointer.x ? x - FirstPointer.x : FirstPointer.x - x;
    const int dy = y > FirstPointer.y ? y - FirstPointer.y : FirstPointer.y - y;
    return dx > PointerSlack || dy > PointerSlack;
}

static void CoverVirtualScreen(HWND Window) {
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        // Systems without several monitors know only the one screen.
        x = 0;
        y = 0;
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
    }
    SetWindowPos(Window, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE);
    LaidOut = SIZE(); // the monitors are read again
    InvalidateRect(Window, nullptr, FALSE);
}

// Input that ends the full-screen saver, a close, and another program's
// window taking the activation (a box that pops up must not stay behind the
// saver); the preview ignores them all.
static bool EndsSaver(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_ACTIVATEAPP:
        return WParam == FALSE;
    case WM_CLOSE: // also what the system menu's Close sends
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        return true;
    case WM_MOUSEMOVE:
        return PointerMoved(LParam);
    default:
        return false;
    }
}

static LRESULT CALLBACK SaverWindowProcedure(HWND Window, UINT Message, WPARAM WParam,
                                             LPARAM LParam) {
    if (!Previewing && !Ending && EndsSaver(Message, WParam, LParam)) {
        // Swallowed either way: refused, Alt+F4 must not close it by itself.
        if (SaverPasswordLetsGo(Window)) {
            Ending = true;
            DestroyWindow(Window);
        } else {
            PointerSeen = false; // it rests where the password box left it
        }
        return 0;
    }
    switch (Message) {
    case WM_TIMER:
        if (WParam == SkyTimer || WParam == WaterTimer) {
            NextFrame(Window, WParam);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Window, &paint);
        if (dc != nullptr) {
            ShowFrame(Window, dc);
        }
        EndPaint(Window, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        SetCursor(Previewing ? LoadCursorA(nullptr, IDC_ARROW) : nullptr);
        return TRUE;
    case WM_SYSCOMMAND:
        if (!Previewing && (WParam & 0xFFF0) == SC_SCREENSAVE) {
            return 0; // already running
        }
        break;
    case WM_DISPLAYCHANGE:
        if (!Previewing) {
            PointerSeen = false;
            CoverVirtualScreen(Window);
        }
        return 0;
    case WM_POWERBROADCAST:
        if (WParam == PBT_POWERSETTINGCHANGE) {
            FollowDisplay(Window, DisplayStateIn(LParam));
        }
        return TRUE;
    case WM_DESTROY:
        KillTimer(Window, SkyTimer);
        KillTimer(Window, WaterTimer);
        StopWatchingDisplay();
        FreeSaverScenes();
        LaidOut = SIZE();
        EndSaverPassword();
        if (PointerHidden) {
            ShowCursor(TRUE);
            PointerHidden = false;
        }
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(Window, Message, WParam, LParam);
}

static bool RegisterSaverClass() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = SaverWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = SaverClassName;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The preview's child window normally goes with its parent. When the parent's
// process ends, the child can vanish without a WM_DESTROY, taking its own
// timers along; so a timer of the thread checks both windows. False when
// the preview is over.
static bool PreviewGoesOn() {
    if (IsWindow(PreviewParent) && IsWindow(PreviewWindow)) {
        return true;
    }
    if (IsWindow(PreviewWindow)) {
        DestroyWindow(PreviewWindow);
    }
    FreeSaverScenes();
    return false;
}

static int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == WM_TIMER && Previewing &&
            !PreviewGoesOn()) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int RunFullScreenSaver() {
    Previewing = false;
    PointerSeen = false;
    Ending = false;
    Dark = false;
    StartTick = GetTickCount();
    if (!RegisterSaverClass()) {
        return 1;
    }
    HWND window = CreateWindowExA(WS_EX_TOPMOST, SaverClassName, SaverTitle, WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        return 1;
    }
    StartSaverPassword();
    WatchDisplay(window);
    CoverVirtualScreen(window);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    ShowCursor(FALSE);
    PointerHidden = true;
    StartTimers(window);
    return RunMessageLoop();
}

int RunPreviewSaver(HWND Parent) {
    Previewing = true;
    Ending = false;
    Dark = false;
    PreviewParent = Parent;
    StartTick = GetTickCount();
    if (!IsWindow(Parent) || !RegisterSaverClass()) {
        return 1;
    }
    RECT area = {};
    GetClientRect(Parent, &area);
    PreviewWindow =
        CreateWindowExA(0, SaverClassName, SaverTitle, WS_CHILD | WS_VISIBLE, 0, 0, area.right,
                        area.bottom, Parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (PreviewWindow == nullptr) {
        return 1;
    }
    StartTimers(PreviewWindow);
    const UINT_PTR watch = SetTimer(nullptr, 0, WatchInterval, nullptr);
    const int code = RunMessageLoop();
    KillTimer(nullptr, watch);
    return code;
}

} // namespace Velmora
