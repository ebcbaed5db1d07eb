// The screensaver's window: full screen over every monitor, or a preview
// inside a window of the display settings. Both run until their window goes.
#pragma once

#include <windows.h>

namespace Velmora {

// Class and title by which the window can be found.
extern const char SaverClassName[];
extern const char SaverTitle[];

// Runs the saver over the whole virtual screen, a scene on each monitor,
// until a key, a click, a close or a real movement of the mouse; while the
// display is off nothing is drawn. Returns the exit code: 0, or 1 when the
// window cannot be made.
int RunFullScreenSaver();

// Runs the preview in a child window filling Parent's client area, until
// Parent goes away. Returns the exit code: 0, or 1 when the window cannot
// be made.
int RunPreviewSaver(HWND Parent);

} // namespace Velmora
