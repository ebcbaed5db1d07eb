// Small GUI program that the harness self-test drives.
//   probe_target window : window " Probe me", green client area with a red square at
//                         (40,40)-(80,80); each Down adds 10 to the exit code, Escape ends
//                         the program with 7 + that; a left click ends it with 3 inside
//                         the square and 4 elsewhere.
//   probe_target msgbox : a Yes/No message box with No as the default button; the program
//                         exits with the answer (6 Yes, 7 No).
#include <windows.h>
#include <cstring>

namespace {
int downs = 0;
const RECT marker = {40, 40, 80, 80};

LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH green = CreateSolidBrush(RGB(10, 200, 30));
        HBRUSH red = CreateSolidBrush(RGB(200, 20, 40));
        FillRect(dc, &client, green);
        FillRect(dc, &marker, red);
        DeleteObject(green);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_KEYDOWN:
        if (wp == VK_DOWN) {
            downs += 1;
        } else if (wp == VK_ESCAPE) {
            PostQuitMessage(7 + 10 * downs);
        }
        return 0;
    case WM_LBUTTONUP: {
        POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
        PostQuitMessage(PtInRect(&marker, pt) ? 3 : 4);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
    if (std::strstr(cmd, "msgbox")) {
        return MessageBoxA(nullptr, " Line \"one\" \\ end\r\nsecond\tline ", " Probe box",
                           MB_YESNO | MB_DEFBUTTON2);
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "ProbeTargetClass";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "ProbeTargetClass", " Probe me",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 120, 320,
                                240, nullptr, nullptr, inst, nullptr);
    if (!hwnd) {
        return 99;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
