// The registered class, the created window and the table filled with it.
#include <gtest/gtest.h>

#include <cstring>

#include "app/exit_action.h"
#include "data/background_image.h"
#include "test_window.h"
#include "ui/menu_input.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;

namespace {

TEST(MenuClass, IsRegisteredWithTheDefaultProcedureArrowWhiteBrushAndOurIcon) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    ASSERT_TRUE(GetClassInfoA(instance, "Velmora 2.01 installation setup", &windowClass));
    EXPECT_EQ(0u, windowClass.style);
    EXPECT_EQ(reinterpret_cast<void*>(DefWindowProcA),
              reinterpret_cast<void*>(windowClass.lpfnWndProc));
    EXPECT_EQ(0, windowClass.cbClsExtra);
    EXPECT_EQ(0, windowClass.cbWndExtra);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), windowClass.hCursor);
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), windowClass.hbrBackground);
    EXPECT_EQ(nullptr, windowClass.lpszMenuName);
    ASSERT_NE(nullptr, windowClass.hIcon) << "the class should carry SETUP_ICO";
    EXPECT_EQ(LoadIconA(instance, "SETUP_ICO"), windowClass.hIcon);
}

TEST(MenuWindow, HasTheSetupTitleClassAndStyles) {
    ASSERT_TRUE(IsWindow(MainWindow));
    char text[64] = {};
    GetWindowTextA(MainWindow, text, sizeof text);
    EXPECT_STREQ(" Setup", text);
    char className[64] = {};
    GetClassNameA(MainWindow, className, sizeof className);
    EXPECT_STREQ("Velmora 2.01 installation setup", className);

    const LONG style = GetWindowLongA(MainWindow, GWL_STYLE);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ(WS_CAPTION, style & WS_CAPTION) << "an overlapped window gets a title bar";
    EXPECT_EQ(0, style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(0, style & (WS_CHILD | WS_POPUP));
    const LONG exStyle = GetWindowLongA(MainWindow, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(0, exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE))
        << "unexpected extended style " << std::hex << exStyle;
    EXPECT_EQ(nullptr, GetParent(MainWindow));
    EXPECT_EQ(nullptr, GetMenu(MainWindow));
}

TEST(MenuWindow, IsCentredForThePictureOnA1024By768Screen) {
    ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the test display should be 1024 x 768";
    ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
    RECT rect;
    ASSERT_TRUE(GetWindowRect(MainWindow, &rect));
    EXPECT_EQ(212, rect.left);
    EXPECT_EQ(159, rect.top);
    EXPECT_EQ(600, rect.right - rect.left);
    EXPECT_EQ(450 + GetSystemMetrics(SM_CYCAPTION), rect.bottom - rect.top);
}

TEST(MenuWindow, KeepsADeviceContextForTransparentText) {
    ASSERT_NE(nullptr, WindowDC);
    EXPECT_EQ(TRANSPARENT, GetBkMode(WindowDC));
    EXPECT_EQ(MainWindow, WindowFromDC(WindowDC));
}

TEST(MenuWindow, DescribesThePictureAsATopDown32BitBitmap) {
    EXPECT_EQ(40u, BackgroundBitmapInfo.biSize);
    EXPECT_EQ(600, BackgroundBitmapInfo.biWidth);
    EXPECT_EQ(-450, BackgroundBitmapInfo.biHeight);
    EXPECT_EQ(1, BackgroundBitmapInfo.biPlanes);
    EXPECT_EQ(32, BackgroundBitmapInfo.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), BackgroundBitmapInfo.biCompression);
    EXPECT_EQ(0u, BackgroundBitmapInfo.biSizeImage);
    EXPECT_EQ(1800, BackgroundBitmapInfo.biXPelsPerMeter);
    EXPECT_EQ(1800, BackgroundBitmapInfo.biYPelsPerMeter);
    EXPECT_EQ(0u, BackgroundBitmapInfo.biClrUsed);
    EXPECT_EQ(0u, BackgroundBitmapInfo.biClrImportant);
}

TEST(HintCursor, IsOurCursorWithItsHotSpot) {
    ASSERT_NE(nullptr, HintCursor);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(HintCursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(1u, info.xHotspot);
    EXPECT_EQ(4u, info.yHotspot);
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(32, mask.bmWidth);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

TEST(MenuTable, HoldsTheRepaintRoutineAndThreeButtonsInAColumn) {
    const MenuEntry& repaint = MenuTable.Slots[0];
    EXPECT_EQ(reinterpret_cast<void*>(PaintMenu), reinterpret_cast<void*>(repaint.Action));
    EXPECT_EQ(nullptr, repaint.HoverAction);
    EXPECT_EQ(0u, repaint.Cursor);

    const uint16_t tops[] = {30, 90, 150};
    const MenuRoutine hovers[] = {HoverEntry1, HoverEntry2, HoverEntry3};
    for (int i = 1; i <= 3; ++i) {
        const MenuEntry& entry = MenuTable.Slots[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(35, entry.Left);
        EXPECT_EQ(tops[i - 1], entry.Top);
        EXPECT_EQ(110, entry.Right);
        EXPECT_EQ(tops[i - 1] + 30, entry.Bottom);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(HintCursor), entry.Cursor);
        EXPECT_EQ(reinterpret_cast<void*>(hovers[i - 1]),
                  reinterpret_cast<void*>(entry.HoverAction));
    }
    EXPECT_EQ(reinterpret_cast<void*>(ExitAction),
              reinterpret_cast<void*>(MenuTable.Slots[3].Action));

    MenuEntry zero;
    std::memset(&zero, 0, sizeof zero);
    for (int i = 4; i < MenuSlotCount; ++i) {
        EXPECT_EQ(0, std::memcmp(&zero, &MenuTable.Slots[i], sizeof zero)) << "slot " << i;
    }
}

} // namespace
