#include "ui/menu_model.h"

namespace Velmora {

MenuTableRecord MenuTable;
uint8_t EntryCount;
uint16_t SelectedEntry;
ShortString MenuCaptions[MenuCaptionSlots];
const char SetupTitle[] = "Velmora 2.01 installation setup";

void LayOutMenuButtons(MenuTableRecord& Table, uint16_t Count) {
    if (Count > MenuButtonSlots) {
        Count = MenuButtonSlots;
    }
    for (uint16_t i = 1; i <= Count; ++i) {
        MenuEntry& entry = Table.Slots[i];
        if (i == 1) {
            entry.Left = MenuButtonLeft;
            entry.Top = MenuButtonTop;
            entry.Right = entry.Left + MenuButtonWidth;
        } else {
            const MenuEntry& previous = Table.Slots[i - 1];
            entry.Left = MenuButtonLeft;
            entry.Top = previous.Bottom + MenuButtonGap;
            entry.Right = previous.Right;
        }
        entry.Bottom = entry.Top + MenuButtonHeight;
    }
}

bool MenuEntryContains(const MenuEntry& Entry, int32_t X, int32_t Y) {
    return Entry.Left <= X && X <= Entry.Right && Entry.Top <= Y && Y <= Entry.Bottom;
}

uint16_t FindMenuEntry(const MenuTableRecord& Table, uint16_t Count, int32_t X, int32_t Y) {
    if (Count > MenuButtonSlots) {
        Count = MenuButtonSlots;
    }
    for (uint16_t i = 1; i <= Count; ++i) {
        if (MenuEntryContains(Table.Slots[i], X, Y)) {
            return i;
        }
    }
    return 0;
}

MenuWindowPlacement PlaceMenuWindow(int32_t ScreenWidth, int32_t ScreenHeight,
                                    int32_t CaptionHeight, uint32_t Width, uint32_t Height) {
    MenuWindowPlacement placement;
    placement.X = ScreenWidth / 2 - static_cast<int32_t>(Width >> 1);
    placement.Y = ScreenHeight / 2 - static_cast<int32_t>(Height >> 1);
    placement.Width = static_cast<int32_t>(Width);
    placement.Height = static_cast<int32_t>(Height) + CaptionHeight;
    return placement;
}

} // namespace Velmora
