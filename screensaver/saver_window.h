// The screensaver's window: full screen over every monitor, or a preview
// inside a window of the display settings. Both run until their window goes.
#pragma once

#include <windows.h>

namespace Velmora {

// Class and title by which the window can be found.
extern const char SaverClassName[];
extern const char SaverTitle[];

// Runs the saver over the whole virtual screen until a key, a click or a
// real movement of the mouse. Returns the exit code: 0, or 1 when the
// window cannot be made.
int RunFullScreenSaver();

// Runs the preview in a child window filling Parent's client area, until
// Parent goes away. Returns the exit code: 0, or 1 when the window cannot
// be made.
int RunPreviewSaver(HWND Parent);

} // namespace Velmora
