#include "app/exit_action.h"

#include <windows.h>

#include "data/background_image.h"
#include "support/support_memory.h"
#include "ui/menu_window.h"

namespace Velmora {

void ExitAction() {
    DestroyWindow(MainWindow);
    FreeBlock(BackgroundImage.Pixels);
    BackgroundImage.Pixels = nullptr;
    ExitProcess(0);
}

} // namespace Velmora
