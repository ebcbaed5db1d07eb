// Velmora setup: one window, three buttons, everything carried inside.

#include <windows.h>

#include "app/app_startup.h"
#include "ui/menu_input.h"
#include "ui/menu_model.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    StartSetup();
    for (;;) {
        PaintMenu();
        HandleMenuKey(WaitMenuInput(MainWindow, EntryCount, MenuTable));
    }
}
