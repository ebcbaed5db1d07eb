// The menu window shared by the Windows-side tests: created once per process
// by the test program's main, exactly as the installer's start-up does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/menu_model.h"

namespace VelmoraTest {

// Key code that the watchdog of WaitWithWatchdog returns instead of a key.
const uint16_t WatchdogKey = 0xFFFF;

// Runs the input loop; a timer ends it with WatchdogKey after a deadline
// so that a test that waits for something that never comes fails instead
// of hanging.
uint16_t WaitWithWatchdog(uint16_t Count, const Velmora::MenuTableRecord& Table,
                          UINT DeadlineMs = 5000);

// Posts a mouse message whose point is the given client position, the
// system cursor placed there first so that the message carries it.
void PostMouse(UINT Message, int ClientX, int ClientY);
void PostKey(uint16_t Key);
void PostSystemKey(uint16_t Key);

// Handles whatever is pending for the window without waiting.
void PumpPending();

// The client area as read back from the window: 32-bit 0x00RRGGBB values,
// rows top to bottom.
struct ClientPixels {
    int Width;
    int Height;
    std::vector<uint32_t> Pixels;
    uint32_t At(int X, int Y) const {
        return Pixels[static_cast<size_t>(Y) * Width + X];
    }
};
ClientPixels CaptureClient();

// The decoded picture's pixel at (X, Y) in the same 0x00RRGGBB form.
uint32_t PicturePixel(int X, int Y);

// COLORREF (0x00BBGGRR) to 0x00RRGGBB.
uint32_t Rgb(COLORREF Colour);

} // namespace VelmoraTest
