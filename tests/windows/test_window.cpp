#include "test_window.h"

#include <gtest/gtest.h>

#include "app/app_startup.h"
#include "app/install_location.h"
#include "data/payload_table.h"
#include "data/background_image.h"
#include "ui/menu_input.h"
#include "ui/menu_window.h"

using namespace Velmora;

namespace VelmoraTest {

static void CALLBACK WatchdogTimer(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(MainWindow, Id);
    PostKey(WatchdogKey);
}

uint16_t WaitWithWatchdog(uint16_t Count, const MenuTableRecord& Table, UINT DeadlineMs) {
    const UINT_PTR timer = SetTimer(MainWindow, 0x5EED, DeadlineMs, WatchdogTimer);
    const uint16_t key = WaitMenuInput(MainWindow, Count, Table);
    KillTimer(MainWindow, timer);
    return key;
}

void PostMouse(UINT Message, int ClientX, int ClientY) {
    POINT point = {ClientX, ClientY};
    ClientToScreen(MainWindow, &point);
    SetCursorPos(point.x, point.y);
    PostMessageA(MainWindow, Message, 0, MAKELPARAM(ClientX, ClientY));
}

void PostKey(uint16_t Key) {
    PostMessageA(MainWindow, WM_KEYDOWN, Key, 1);
}

void PostSystemKey(uint16_t Key) {
    // Alt held: context code set in bit 29.
    PostMessageA(MainWindow, WM_SYSKEYDOWN, Key, 1 | (1 << 29));
}

void PumpPending() {
    MSG message;
    while (PeekMessageA(&message, MainWindow, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

ClientPixels CaptureClient() {
    RECT client;
    GetClientRect(MainWindow, &client);
    ClientPixels result;
    result.Width = client.right;
    result.Height = client.bottom;
    result.Pixels.assign(static_cast<size_t>(result.Width) * result.Height, 0);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = result.Width;
    info.bmiHeader.biHeight = -result.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = GetDC(MainWindow);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memoryDC, bitmap);
    BitBlt(memoryDC, 0, 0, result.Width, result.Height, windowDC, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < result.Pixels.size(); ++i) {
        result.Pixels[i] = source[i] & 0x00FFFFFF;
    }
    SelectObject(memoryDC, old);
    DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(MainWindow, windowDC);
    return result;
}

uint32_t PicturePixel(int X, int Y) {
    const uint8_t* pixel =
        BackgroundImage.Pixels + (static_cast<size_t>(Y) * BackgroundImage.Width + X) * 4;
    return static_cast<uint32_t>(pixel[2]) << 16 | static_cast<uint32_t>(pixel[1]) << 8 | pixel[0];
}

uint32_t Rgb(COLORREF Colour) {
    return (Colour & 0xFF) << 16 | (Colour & 0xFF00) | (Colour >> 16 & 0xFF);
}

} // namespace VelmoraTest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ResetMenuState();
    LoadBackgroundImage();
    LoadPayloadTable();
    CheckInstallation();
    SetMenuCaptions();
    CreateMenuWindow();
    VelmoraTest::PumpPending();
    return RUN_ALL_TESTS();
}
