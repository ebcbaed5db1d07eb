// Menu geometry, hit tests and window placement.
#include <gtest/gtest.h>

#include "ui/menu_model.h"

using namespace Velmora;

namespace {

MenuTableRecord LaidOut(uint16_t Count) {
    MenuTableRecord table = {};
    LayOutMenuButtons(table, Count);
    return table;
}

TEST(MenuLayout, ThreeButtonsFormAColumnWithThirtyPixelGaps) {
    const MenuTableRecord table = LaidOut(3);
    const uint16_t expected[4][4] = {
        {0, 0, 0, 0}, {35, 30, 110, 60}, {35, 90, 110, 120}, {35, 150, 110, 180}};
    for (int i = 0; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i][0], table.Slots[i].Left);
        EXPECT_EQ(expected[i][1], table.Slots[i].Top);
        EXPECT_EQ(expected[i][2], table.Slots[i].Right);
        EXPECT_EQ(expected[i][3], table.Slots[i].Bottom);
    }
    EXPECT_EQ(0, table.Slots[4].Bottom);
}

TEST(MenuLayout, EveryButtonSlotCanBeLaidOutAndNoMore) {
    MenuTableRecord table = {};
    LayOutMenuButtons(table, 200);
    EXPECT_EQ(30 + 39 * 60, table.Slots[40].Top);
    EXPECT_EQ(30 + 39 * 60 + 30, table.Slots[40].Bottom);
    EXPECT_EQ(0, table.Slots[0].Top) << "slot 0 is not a button";
}

TEST(MenuHitTest, AllFourEdgesBelongToTheButton) {
    const MenuTableRecord table = LaidOut(3);
    EXPECT_EQ(1, FindMenuEntry(table, 3, 35, 30));
    EXPECT_EQ(1, FindMenuEntry(table, 3, 110, 60));
    EXPECT_EQ(1, FindMenuEntry(table, 3, 110, 30));
    EXPECT_EQ(1, FindMenuEntry(table, 3, 35, 60));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 111, 45));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 34, 45));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 72, 29));
    EXPECT_EQ(2, FindMenuEntry(table, 3, 72, 90));
    EXPECT_EQ(3, FindMenuEntry(table, 3, 110, 180));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 72, 181));
}

TEST(MenuHitTest, TheGapsBetweenButtonsHitNothing) {
    const MenuTableRecord table = LaidOut(3);
    for (int y = 61; y <= 89; ++y) {
        EXPECT_EQ(0, FindMenuEntry(table, 3, 72, y)) << y;
    }
    for (int y = 121; y <= 149; ++y) {
        EXPECT_EQ(0, FindMenuEntry(table, 3, 72, y)) << y;
    }
}

TEST(MenuHitTest, NegativeAndHugeCoordinatesHitNothing) {
    const MenuTableRecord table = LaidOut(3);
    EXPECT_EQ(0, FindMenuEntry(table, 3, -1, 40));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 72, -32768));
    EXPECT_EQ(0, FindMenuEntry(table, 3, 65536 + 72, 40)) << "no 16-bit wrap-around";
    EXPECT_EQ(0, FindMenuEntry(table, 3, 72, 65536 + 40));
}

TEST(MenuHitTest, OnlyTheCountedSlotsAreTested) {
    const MenuTableRecord table = LaidOut(3);
    EXPECT_EQ(0, FindMenuEntry(table, 0, 72, 45));
    EXPECT_EQ(0, FindMenuEntry(table, 2, 72, 165));
    EXPECT_EQ(2, FindMenuEntry(table, 2, 72, 100));
}

TEST(MenuHitTest, ACountBeyondTheTableStopsAtItsLastSlot) {
    MenuTableRecord table = LaidOut(40);
    EXPECT_EQ(40, FindMenuEntry(table, 0xFFFF, 72, table.Slots[40].Top));
    EXPECT_EQ(0, FindMenuEntry(table, 0xFFFF, 72, table.Slots[40].Bottom + 31));
}

TEST(MenuHitTest, TheFirstMatchingSlotWins) {
    MenuTableRecord table = LaidOut(3);
    table.Slots[2] = table.Slots[1];
    EXPECT_EQ(1, FindMenuEntry(table, 3, 72, 45));
}

TEST(MenuPlacement, CentresThePictureOnTheScreen) {
    const MenuWindowPlacement placement = PlaceMenuWindow(1024, 768, 19, 600, 450);
    EXPECT_EQ(212, placement.X);
    EXPECT_EQ(159, placement.Y);
    EXPECT_EQ(600, placement.Width);
    EXPECT_EQ(469, placement.Height);
}

TEST(MenuPlacement, OddSizesRoundTheHalvesDown) {
    EXPECT_EQ(382, PlaceMenuWindow(1365, 768, 19, 600, 450).X);
    EXPECT_EQ(682 - 300, PlaceMenuWindow(1365, 768, 19, 601, 450).X);
    EXPECT_EQ(384 - 225, PlaceMenuWindow(1024, 768, 19, 600, 451).Y);
}

TEST(MenuPlacement, ASmallScreenGivesNegativeCoordinates) {
    const MenuWindowPlacement placement = PlaceMenuWindow(320, 240, 19, 600, 450);
    EXPECT_EQ(-140, placement.X);
    EXPECT_EQ(-105, placement.Y);
}

} // namespace
