// The input loop fed with real messages through the window's queue.
#include <gtest/gtest.h>

#include "app/app_startup.h"
#include "test_window.h"
#include "ui/menu_input.h"
#include "ui/menu_window.h"

using namespace Velmora;
using namespace VelmoraTest;

namespace {

int ClickCount[4];
int HoverCount[4];
int RepaintCount;

void Clicked1() {
    ++ClickCount[1];
}
void Clicked2() {
    ++ClickCount[2];
}
void Hovered1() {
    ++HoverCount[1];
}
void Hovered2() {
    ++HoverCount[2];
}
void Hovered3() {
    ++HoverCount[3];
}
void Repainted() {
    ++RepaintCount;
    PostKey('R');
}

// A table of the installer's geometry whose routines only count.
MenuTableRecord CountingTable() {
    MenuTableRecord table = {};
    LayOutMenuButtons(table, 3);
    table.Slots[0].Action = Repainted;
    table.Slots[1].Action = Clicked1;
    table.Slots[2].Action = Clicked2;
    table.Slots[1].HoverAction = Hovered1;
    table.Slots[2].HoverAction = Hovered2;
    table.Slots[3].HoverAction = Hovered3;
    return table;
}

class MenuInput : public testing::Test {
  protected:
    void SetUp() override {
        PumpPending();
        SelectedEntry = 1;
        RestAwayFromButtons();
    }

  public:
    // Leaves the last message's point over no button and clears the counts,
    // so that the next call's first pass hovers nothing.
    static void RestAwayFromButtons() {
        PostMouse(WM_MOUSEMOVE, 300, 300);
        PostKey('Z');
        ASSERT_EQ('Z', WaitWithWatchdog(3, CountingTable()));
        for (int i = 0; i < 4; ++i) {
            ClickCount[i] = 0;
            HoverCount[i] = 0;
        }
        RepaintCount = 0;
    }
};

TEST_F(MenuInput, ReturnsTheVirtualKeyCodeOfEachKeyPress) {
    const uint16_t keys[] = {VK_RETURN, VK_ESCAPE, VK_UP, VK_DOWN, VK_LEFT, VK_TAB, VK_SPACE, 'A'};
    for (uint16_t key : keys) {
        PostKey(key);
        EXPECT_EQ(key, WaitWithWatchdog(3, CountingTable()));
    }
}

TEST_F(MenuInput, SystemKeysDoNotReturn) {
    PostSystemKey('X');
    PostSystemKey(VK_F10);
    PostKey(VK_DOWN);
    EXPECT_EQ(VK_DOWN, WaitWithWatchdog(3, CountingTable()));
}

TEST_F(MenuInput, HoverRunsTheEntrysRoutineAtEveryMoveOverIt) {
    PostMouse(WM_MOUSEMOVE, 50, 100);
    PostMouse(WM_MOUSEMOVE, 60, 110);
    PostMouse(WM_MOUSEMOVE, 72, 165);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
    EXPECT_EQ(0, HoverCount[1]);
    EXPECT_EQ(2, HoverCount[2]);
    EXPECT_EQ(1, HoverCount[3]);
}

TEST_F(MenuInput, HitTestsIncludeAllFourEdges) {
    struct {
        int X, Y;
        int Entry;
    } points[] = {{35, 30, 1},   {110, 60, 1}, {110, 30, 1},  {35, 60, 1},  {111, 45, 0},
                  {34, 45, 0},   {72, 29, 0},  {72, 61, 0},   {72, 89, 0},  {72, 90, 2},
                  {110, 120, 2}, {35, 150, 3}, {110, 180, 3}, {72, 181, 0}, {-1, 40, 0}};
    for (const auto& point : points) {
        SCOPED_TRACE(testing::Message() << point.X << "," << point.Y);
        RestAwayFromButtons();
        PostMouse(WM_MOUSEMOVE, point.X, point.Y);
        PostKey('Q');
        ASSERT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
        for (int entry = 1; entry <= 3; ++entry) {
            EXPECT_EQ(entry == point.Entry ? 1 : 0, HoverCount[entry]) << "entry " << entry;
        }
    }
}

TEST_F(MenuInput, AClickRunsTheEntryFoundAtTheLastMoveAndTheLoopGoesOn) {
    PostMouse(WM_MOUSEMOVE, 72, 45);
    PostMouse(WM_LBUTTONDOWN, 72, 45);
    // The release point is not tested again: the pointer slid off the button.
    PostMouse(WM_LBUTTONUP, 300, 300);
    PostMouse(WM_MOUSEMOVE, 72, 100);
    PostMouse(WM_LBUTTONUP, 72, 100);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
    EXPECT_EQ(1, ClickCount[1]);
    EXPECT_EQ(1, ClickCount[2]);
}

TEST_F(MenuInput, PressingTheButtonDoesNothingAndClicksBesideButtonsDoNothing) {
    PostMouse(WM_MOUSEMOVE, 72, 45);
    PostMouse(WM_LBUTTONDOWN, 72, 45);
    PostMouse(WM_MOUSEMOVE, 72, 75);
    PostMouse(WM_LBUTTONUP, 72, 75);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
    EXPECT_EQ(0, ClickCount[1]);
    EXPECT_EQ(0, ClickCount[2]);
}

TEST_F(MenuInput, ACountOfZeroLeavesTheMouseWithoutEffect) {
    PostMouse(WM_MOUSEMOVE, 72, 45);
    PostMouse(WM_LBUTTONUP, 72, 45);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(0, CountingTable()));
    EXPECT_EQ(0, HoverCount[1]);
    EXPECT_EQ(0, ClickCount[1]);
}

TEST_F(MenuInput, ACountBeyondTheTableIsLimitedToItsSlots) {
    PostMouse(WM_MOUSEMOVE, 72, 45);
    PostMouse(WM_LBUTTONUP, 72, 45);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(0xFFFF, CountingTable()));
    EXPECT_EQ(1, ClickCount[1]);
}

TEST_F(MenuInput, TheFirstPassJudgesThePointOfTheLastMessage) {
    // The loop returned on a key whose point was over button 2; the next
    // call hovers button 2 before it fetches anything.
    PostMouse(WM_MOUSEMOVE, 72, 100);
    PostKey('Q');
    ASSERT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
    HoverCount[2] = 0;
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(3, CountingTable()));
    EXPECT_GE(HoverCount[2], 1);
}

TEST_F(MenuInput, AnInvalidatedWindowIsRepaintedThroughTheRepaintSlot) {
    InvalidateRect(MainWindow, nullptr, FALSE);
    // The repaint routine posts 'R', so the loop returns only through it.
    EXPECT_EQ('R', WaitWithWatchdog(3, CountingTable()));
    EXPECT_EQ(1, RepaintCount);
}

TEST_F(MenuInput, HoverRoutinesSelectTheirEntryOnlyWhenItDiffers) {
    SelectedEntry = 1;
    HoverEntry2();
    EXPECT_EQ(2, SelectedEntry);
    HoverEntry2();
    EXPECT_EQ(2, SelectedEntry);
    HoverEntry3();
    EXPECT_EQ(3, SelectedEntry);
    HoverEntry1();
    EXPECT_EQ(1, SelectedEntry);
}

TEST_F(MenuInput, AnEntryOfTheRealTableIsHoveredWithTheHintCursor) {
    PostMouse(WM_MOUSEMOVE, 72, 165);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(EntryCount, MenuTable));
    EXPECT_EQ(3, SelectedEntry);
    EXPECT_EQ(HintCursor, GetCursor());
    // Leaving every button keeps the selection.
    PostMouse(WM_MOUSEMOVE, 300, 300);
    PostKey('Q');
    EXPECT_EQ('Q', WaitWithWatchdog(EntryCount, MenuTable));
    EXPECT_EQ(3, SelectedEntry);
}

TEST(MainLoopKeys, ArrowsWrapAroundAndOtherKeysChangeNothing) {
    SelectedEntry = 1;
    HandleMenuKey(KeyUp);
    EXPECT_EQ(3, SelectedEntry);
    HandleMenuKey(KeyDown);
    EXPECT_EQ(1, SelectedEntry);
    HandleMenuKey(KeyDown);
    HandleMenuKey(KeyDown);
    EXPECT_EQ(3, SelectedEntry);
    HandleMenuKey(KeyUp);
    EXPECT_EQ(2, SelectedEntry);
    const uint16_t ignored[] = {VK_LEFT, VK_RIGHT, VK_TAB, VK_BACK, VK_SPACE, 'A'};
    for (uint16_t key : ignored) {
        HandleMenuKey(key);
        EXPECT_EQ(2, SelectedEntry) << "key " << key;
    }
}

TEST(MainLoopKeys, EnterRunsTheSelectedEntrysAction) {
    const MenuTableRecord saved = MenuTable;
    ClickCount[1] = ClickCount[2] = 0;
    MenuTable.Slots[1].Action = Clicked1;
    MenuTable.Slots[2].Action = Clicked2;
    SelectedEntry = 2;
    HandleMenuKey(KeyEnter);
    HandleMenuKey(KeyEnter);
    SelectedEntry = 1;
    HandleMenuKey(KeyEnter);
    MenuTable = saved;
    EXPECT_EQ(1, ClickCount[1]);
    EXPECT_EQ(2, ClickCount[2]);
}

} // namespace
