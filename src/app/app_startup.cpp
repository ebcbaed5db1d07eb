#include "app/app_startup.h"

#include <windows.h>

#include "app/exit_action.h"
#include "app/install_location.h"
#include "data/background_image.h"
#include "data/background_picture.h"
#include "data/payload_table.h"
#include "data/rld_decode.h"
#include "shell/shell_version.h"
#include "support/support_memory.h"
#include "support/support_module.h"
#include "ui/menu_model.h"
#include "ui/menu_window.h"

namespace Velmora {

void ResetMenuState() {
    EntryCount = 3;
    SelectedEntry = 1;
}

void LoadBackgroundImage() {
    BackgroundImage.Width = BackgroundPicture[6] + 256u * BackgroundPicture[7];
    BackgroundImage.Height = BackgroundPicture[8] + 256u * BackgroundPicture[9];
    const uint32_t size = BackgroundImage.Width * BackgroundImage.Height * 4u;
    BackgroundImage.Pixels = static_cast<uint8_t*>(AllocateBlock(size));
    if (BackgroundImage.Pixels == nullptr) {
        MessageBoxA(GetFocus(), "Not enough memory to show the setup picture", "Error ", MB_OK);
        ExitProcess(1);
    }
    RldDecode(BackgroundPicture + RldHeaderSize, BackgroundPictureSize - RldHeaderSize,
              BackgroundImage.Pixels, size);
}

void SetMenuCaptions() {
    AssignString(MenuCaptions[2], "Uninstall");
    AssignString(MenuCaptions[3], "Exit");
}

void StartSetup() {
    // Before anything else: the DLL search is restricted before any DLL loads.
    InitialiseSupportModule();
    InitialiseShellModule();
    ResetMenuState();
    LoadBackgroundImage();
    LoadPayloadTable();
    CheckInstallation();
    SetMenuCaptions();
    CreateMenuWindow();
}

void HandleMenuKey(uint16_t Key) {
    switch (Key) {
    case KeyEnter: {
        const MenuRoutine action = MenuTable.Slots[SelectedEntry].Action;
        if (action != nullptr) {
            action();
        }
        break;
    }
    case KeyEscape:
        ExitAction();
    case KeyUp:
        SelectedEntry = SelectedEntry <= 1 ? 3 : SelectedEntry - 1;
        break;
    case KeyDown:
        SelectedEntry = SelectedEntry >= 3 ? 1 : SelectedEntry + 1;
        break;
    default:
        break;
    }
}

} // namespace Velmora
