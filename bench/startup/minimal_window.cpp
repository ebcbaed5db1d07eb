// The smallest GUI program worth comparing the installer's start-up with:
// it registers a window class whose background brush is one solid colour,
// shows one window and runs the message loop. The system paints the client
// area with that brush on the first WM_PAINT, so the colour on the screen
// tells an observer that the window has been painted. Esc or closing the
// window ends it with exit code 0.

#include <windows.h>

namespace Velmora {

// Client-area colour; the start-up benchmark waits for exactly this value.
const COLORREF MinimalWindowColour = RGB(0x2E, 0x8B, 0x57);
const char MinimalWindowClass[] = "VelmoraMinimalWindow";
const char MinimalWindowTitle[] = "Velmora minimal window";

LRESULT CALLBACK MinimalWindowProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_KEYDOWN:
        if (WParam == VK_ESCAPE) {
            DestroyWindow(Window);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(Window, Message, WParam, LParam);
}

} // namespace Velmora

using namespace Velmora;

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA WindowClass = {};
    WindowClass.lpfnWndProc = MinimalWindowProcedure;
    WindowClass.hInstance = Instance;
    WindowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    WindowClass.hbrBackground = CreateSolidBrush(MinimalWindowColour);
    WindowClass.lpszClassName = MinimalWindowClass;
    if (RegisterClassA(&WindowClass) == 0) {
        return 1;
    }
    // The same outer size as the installer's window: 600 x 450 plus a title bar.
    const int Width = 600;
    const int Height = 450 + GetSystemMetrics(SM_CYCAPTION);
    HWND Window =
        CreateWindowExA(0, MinimalWindowClass, MinimalWindowTitle,
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, Width, Height, nullptr, nullptr, Instance, nullptr);
    if (Window == nullptr) {
        return 1;
    }
    MSG Message;
    while (GetMessageA(&Message, nullptr, 0, 0) > 0) {
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
    return int(Message.wParam);
}
