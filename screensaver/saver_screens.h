// The displays the saver shows on: where each monitor lies, and whether the
// system has turned the display off. Both are asked of routines that only
// newer Windows have, looked up while running.
#pragma once

#include <windows.h>

namespace Velmora {

// The monitors' areas within a window at Left, Top of the virtual screen,
// Width x Height: at most Max, each cut to the window, in the system's order.
// Where the system cannot tell (95 and NT 4.0 know one screen), or tells of
// none, the whole window is the one screen. Gives their count.
int FindSaverScreens(RECT* Screens, int Max, int Left, int Top, int Width, int Height);

// Asks the system to tell Window of the display's state (Vista on); the
// notes go with StopWatchingDisplay.
void WatchDisplay(HWND Window);
void StopWatchingDisplay();

enum DisplayState { DisplayOff, DisplayOn, DisplayDimmed, DisplayUntold };

// What a WM_POWERBROADCAST with PBT_POWERSETTINGCHANGE tells of the display.
DisplayState DisplayStateIn(LPARAM Setting);

} // namespace Velmora
