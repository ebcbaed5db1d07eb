// The menu's window class and its one window.
#pragma once

#include <windows.h>

namespace Velmora {

extern HWND MainWindow;
extern HCURSOR HintCursor;

// Registers the menu's window class; shows "Can not Register Class" and
// ends the program when the system refuses it.
void RegisterMenuClass(WNDPROC WindowProcedure, const char* ClassName, int BackgroundObject,
                       HINSTANCE CursorModule, const char* CursorName, const char* IconName);

// Brushes, hint cursor, menu table, class, the visible centred window, its
// device context and the picture's bitmap header.
void CreateMenuWindow();

} // namespace Velmora
