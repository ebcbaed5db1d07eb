// Velmora setup: one window, three buttons, everything carried inside.

#include <windows.h>

#include "app/app_startup.h"
#include "ui/menu_input.h"
#include "ui/menu_model.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;

// The entry point: no C runtime's start-up runs before it (support_runtime.cpp),
// so the start-up's first step, the DLL search restriction, comes before any
// load the program asks for. The program ends in ExitAction or in a start-up
// failure, through ExitProcess.
extern "C" void SetupEntry() {
    StartSetup();
    for (;;) {
        PaintMenu();
        HandleMenuKey(WaitMenuInput(MainWindow, EntryCount, MenuTable));
    }
}
