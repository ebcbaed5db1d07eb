// The menu's data: buttons, their table, the selection, the captions, and
// the geometry that hit tests and window placement are computed from.
// Nothing here calls Windows, so it is the same on every build.
#pragma once

#include <cstdint>

#include "support/support_strings.h"

namespace Velmora {

typedef void (*MenuRoutine)();

// One button. The four edges are inside the button: a point is over it when
// Left <= x <= Right and Top <= y <= Bottom.
struct MenuEntry {
    uint16_t Left;
    uint16_t Top;
    uint16_t Right;
    uint16_t Bottom;
    uintptr_t Cursor;        // cursor handle set over the entry; 0 = leave the pointer alone
    MenuRoutine Action;      // choosing the entry; null = nothing
    MenuRoutine HoverAction; // a mouse move over the entry; null = nothing
};

// Slot 0 holds only the repaint routine; slots 1..EntryCount are the buttons
// from top to bottom.
const uint16_t MenuSlotCount = 41;
const uint16_t MenuButtonSlots = MenuSlotCount - 1;

struct MenuTableRecord {
    MenuEntry Slots[MenuSlotCount];
};

const uint16_t MenuButtonLeft = 35;
const uint16_t MenuButtonTop = 30;
const uint16_t MenuButtonWidth = 75;
const uint16_t MenuButtonHeight = 30;
const uint16_t MenuButtonGap = 30;

extern MenuTableRecord MenuTable;
extern uint8_t EntryCount;
extern uint16_t SelectedEntry;
const uint16_t MenuCaptionSlots = 4; // captions 1..3
extern ShortString MenuCaptions[MenuCaptionSlots];
extern const char SetupTitle[];

// Lays out slots 1..Count as a column of buttons (geometry only).
void LayOutMenuButtons(MenuTableRecord& Table, uint16_t Count);

bool MenuEntryContains(const MenuEntry& Entry, int32_t X, int32_t Y);

// The first of slots 1..Count that contains the point, or 0 for none. A
// count beyond the table's button slots is limited to them.
uint16_t FindMenuEntry(const MenuTableRecord& Table, uint16_t Count, int32_t X, int32_t Y);

struct MenuWindowPlacement {
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
};

// Centres a window for a picture of Width x Height on the screen; the window
// is as wide as the picture and a title bar higher.
MenuWindowPlacement PlaceMenuWindow(int32_t ScreenWidth, int32_t ScreenHeight,
                                    int32_t CaptionHeight, uint32_t Width, uint32_t Height);

} // namespace Velmora
