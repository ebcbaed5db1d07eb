#include "ui/menu_window.h"

#include "actions/install_action.h"
#include "actions/uninstall_action.h"
#include "app/exit_action.h"
#include "data/background_image.h"
#include "ui/menu_input.h"
#include "ui/menu_model.h"
#include "ui/menu_paint.h"

namespace Velmora {

HWND MainWindow;
HCURSOR HintCursor;

static const char SetupWindowName[] = " Setup";
static const char SetupIconName[] = "SETUP_ICO";
static const char HintCursorName[] = "Hint_Cur";
static const char SetUpErrorCaption[] = "Error ";

// A window set-up failure the program cannot go on from.
static void FailWindowSetUp(const char* Text) {
    MessageBoxA(GetFocus(), Text, SetUpErrorCaption, MB_OK);
    ExitProcess(1);
}

void RegisterMenuClass(WNDPROC WindowProcedure, const char* ClassName, int BackgroundObject,
                       HINSTANCE CursorModule, const char* CursorName, const char* IconName) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, IconName);
    windowClass.hCursor = LoadCursorA(CursorModule, CursorName);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BackgroundObject));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = ClassName;
    if (RegisterClassA(&windowClass) == 0) {
        FailWindowSetUp("Can not Register Class");
    }
}

static void FillMenuTable() {
    MenuTable.Slots[0].Action = PaintMenu;
    static const MenuRoutine actions[] = {InstallAction, UninstallAction, ExitAction};
    static const MenuRoutine hovers[] = {HoverEntry1, HoverEntry2, HoverEntry3};
    LayOutMenuButtons(MenuTable, 3);
    for (uint16_t i = 1; i <= 3; ++i) {
        MenuTable.Slots[i].Cursor = reinterpret_cast<uintptr_t>(HintCursor);
        MenuTable.Slots[i].Action = actions[i - 1];
        MenuTable.Slots[i].HoverAction = hovers[i - 1];
    }
}

void CreateMenuWindow() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    NormalBrush = CreateSolidBrush(NormalButtonColour);
    SelectedBrush = CreateSolidBrush(SelectedButtonColour);
    HintCursor = LoadCursorA(instance, HintCursorName);
    FillMenuTable();
    RegisterMenuClass(DefWindowProcA, SetupTitle, WHITE_BRUSH, nullptr, IDC_ARROW, SetupIconName);

    const int captionHeight = GetSystemMetrics(SM_CYCAPTION);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const MenuWindowPlacement placement = PlaceMenuWindow(
        screenWidth, screenHeight, captionHeight, BackgroundImage.Width, BackgroundImage.Height);
    MainWindow = CreateWindowExA(WS_EX_DLGMODALFRAME, SetupTitle, SetupWindowName, WS_VISIBLE,
                                 placement.X, placement.Y, placement.Width, placement.Height,
                                 nullptr, nullptr, instance, nullptr);
    if (MainWindow == nullptr) {
        FailWindowSetUp("Can not create window");
    }

    WindowDC = GetDC(MainWindow);
    if (WindowDC == nullptr) {
        MessageBoxA(GetFocus(), "Can not get DC", SetUpErrorCaption, MB_OK);
    }
    SetBkMode(WindowDC, TRANSPARENT);
    FillBackgroundBitmapInfo();
}

} // namespace Velmora
