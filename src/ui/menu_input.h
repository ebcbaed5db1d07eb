// The menu's modal input loop and the hover routines of its buttons.
#pragma once

#include <windows.h>

#include "ui/menu_model.h"

namespace Velmora {

// The last message fetched, its point already in client coordinates. It
// outlives each call, so a call starts from the last known pointer position.
extern MSG InputMessage;

// Fetches and dispatches the window's messages, does the mouse work itself
// (hit tests, pointer shape, hover, running an entry on a click, repaints)
// and returns the virtual-key code of the next key press. Works on its own
// copy of the table.
uint16_t WaitMenuInput(HWND Window, uint16_t Count, MenuTableRecord Table);

// Select entry 1, 2 or 3 and redraw the buttons, unless it is selected.
void HoverEntry1();
void HoverEntry2();
void HoverEntry3();

} // namespace Velmora
