#include "ui/menu_input.h"

#include "app/exit_action.h"
#include "ui/menu_access.h"
#include "ui/menu_paint.h"

namespace Velmora {

MSG InputMessage;

static void RunRoutine(MenuRoutine Routine) {
    if (Routine != nullptr) {
        Routine();
    }
}

uint16_t WaitMenuInput(HWND Window, uint16_t Count, MenuTableRecord Table) {
    uint16_t hitEntry = 0;
    // Judge the pointer where the last message saw it before anything else.
    InputMessage.message = WM_MOUSEMOVE;
    for (;;) {
        switch (InputMessage.message) {
        case WM_PAINT:
            UpdateWindow(Window);
            RunRoutine(Table.Slots[0].Action);
            break;
        case WM_MOUSEMOVE:
            hitEntry = FindMenuEntry(Table, Count, InputMessage.pt.x, InputMessage.pt.y);
            if (hitEntry != 0) {
                const MenuEntry& entry = Table.Slots[hitEntry];
                if (entry.Cursor != 0) {
                    SetCursor(reinterpret_cast<HCURSOR>(entry.Cursor));
                }
                RunRoutine(entry.HoverAction);
            }
            break;
        case WM_LBUTTONUP:
            // The release acts on the entry found at the last move.
            if (hitEntry != 0) {
                RunRoutine(Table.Slots[hitEntry].Action);
            }
            break;
        default:
            break;
        }
        // Whatever moved the highlight or renamed it (a key before this call, a
        // hover, an action) is told before the next wait.
        AnnounceMenu();

        const BOOL fetched = GetMessageA(&InputMessage, Window, 0, 0);
        if (fetched == 0 || fetched == -1) {
            // The window is gone or the queue is closing: waiting on would
            // spin on a stale message, so leave as Esc does.
            ExitAction();
        }
        TranslateMessage(&InputMessage);
        DispatchMessageA(&InputMessage);
        ScreenToClient(Window, &InputMessage.pt);
        if (InputMessage.message == WM_KEYDOWN) {
            return LOWORD(InputMessage.wParam);
        }
    }
}

static void HoverEntry(uint16_t Entry) {
    if (SelectedEntry != Entry) {
        SelectedEntry = Entry;
        DrawButtons();
    }
}

void HoverEntry1() {
    HoverEntry(1);
}

void HoverEntry2() {
    HoverEntry(2);
}

void HoverEntry3() {
    HoverEntry(3);
}

} // namespace Velmora
