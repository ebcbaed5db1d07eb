// Painting, checked on the pixels read back from the window.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/background_image.h"
#include "test_window.h"
#include "ui/menu_input.h"
#include "ui/menu_paint.h"
#include "ui/menu_window.h"

using namespace Velmora;
using namespace VelmoraTest;

namespace {

// Inside each button's fill, clear of its caption and its rounded corners.
const int FillX[] = {40, 104};
const int ButtonBottomRow[] = {0, 55, 115, 175};

class MenuPaint : public testing::Test {
  protected:
    void SetUp() override {
        PumpPending();
        SelectedEntry = 1;
        PaintMenu();
        GdiFlush();
    }
};

TEST_F(MenuPaint, ThePictureIsCopiedOneToOneWhereNothingIsDrawnOverIt) {
    const ClientPixels client = CaptureClient();
    ASSERT_GT(client.Width, 500);
    ASSERT_GT(client.Height, 400);
    int compared = 0;
    int different = 0;
    for (int y = 0; y < client.Height; ++y) {
        for (int x = 0; x < client.Width; ++x) {
            const bool overButtons = x >= 30 && x <= 115 && y >= 25 && y <= 185;
            const bool overTitle = x >= 430 && y >= 385;
            if (overButtons || overTitle) {
                continue;
            }
            ++compared;
            if (client.At(x, y) != PicturePixel(x, y)) {
                if (++different <= 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                                  << client.At(x, y) << ", picture has " << PicturePixel(x, y);
                }
            }
        }
    }
    EXPECT_GT(compared, 200000);
    EXPECT_EQ(0, different);
}

TEST_F(MenuPaint, TheSelectedButtonIsLightAndTheOthersDark) {
    const ClientPixels client = CaptureClient();
    for (int entry = 1; entry <= 3; ++entry) {
        const uint32_t expected = Rgb(entry == 1 ? SelectedButtonColour : NormalButtonColour);
        for (int x : FillX) {
            EXPECT_EQ(expected, client.At(x, ButtonBottomRow[entry]))
                << "button " << entry << " at x " << x;
        }
    }
}

TEST_F(MenuPaint, ButtonsHaveABlackOutlineAndPictureCornersOutsideIt) {
    const ClientPixels client = CaptureClient();
    for (int entry = 1; entry <= 3; ++entry) {
        SCOPED_TRACE(entry);
        const int top = 30 + (entry - 1) * 60;
        EXPECT_EQ(0u, client.At(72, top)) << "top edge";
        EXPECT_EQ(0u, client.At(72, top + 29)) << "bottom edge";
        EXPECT_EQ(0u, client.At(35, top + 15)) << "left edge";
        EXPECT_EQ(0u, client.At(109, top + 15)) << "right edge";
        const int corners[][2] = {{35, top}, {109, top}, {35, top + 29}, {109, top + 29}};
        for (const auto& corner : corners) {
            EXPECT_EQ(PicturePixel(corner[0], corner[1]), client.At(corner[0], corner[1]))
                << "corner " << corner[0] << "," << corner[1];
        }
        // Right of the button and in the gap below it the picture shows.
        EXPECT_EQ(PicturePixel(110, top + 15), client.At(110, top + 15));
        EXPECT_EQ(PicturePixel(72, top + 30), client.At(72, top + 30));
    }
}

int CountColour(const ClientPixels& Client, uint32_t Colour, int Left, int Top, int Right,
                int Bottom) {
    int count = 0;
    for (int y = Top; y < Bottom && y < Client.Height; ++y) {
        for (int x = Left; x < Right && x < Client.Width; ++x) {
            count += Client.At(x, y) == Colour;
        }
    }
    return count;
}

TEST_F(MenuPaint, CaptionsAreWhiteOnTheSelectedButtonAndPaleOnTheOthers) {
    const ClientPixels client = CaptureClient();
    const uint32_t white = Rgb(SelectedCaptionColour);
    const uint32_t pale = Rgb(NormalCaptionColour);
    EXPECT_GT(CountColour(client, white, 36, 35, 109, 55), 20);
    EXPECT_EQ(0, CountColour(client, pale, 36, 35, 109, 55));
    for (int entry = 2; entry <= 3; ++entry) {
        const int top = 30 + (entry - 1) * 60;
        EXPECT_GT(CountColour(client, pale, 36, top + 5, 109, top + 25), 20) << entry;
        EXPECT_EQ(0, CountColour(client, white, 36, top + 5, 109, top + 25)) << entry;
    }
}

TEST_F(MenuPaint, TheTitleIsIvoryWithADarkRedShadowInTheLowerRight) {
    const ClientPixels client = CaptureClient();
    const int ivory = CountColour(client, Rgb(TitleColour), 434, 391, 584, 441);
    const int shadow = CountColour(client, Rgb(TitleShadowColour), 435, 392, 585, 442);
    EXPECT_GT(ivory, 50);
    EXPECT_GT(shadow, 50);
    // The shadow is the title moved one pixel right and down: the right and
    // bottom ends of the shadow stick out by one pixel.
    int titleRight = 0, titleBottom = 0, shadowRight = 0, shadowBottom = 0;
    for (int y = 385; y < client.Height; ++y) {
        for (int x = 430; x < client.Width; ++x) {
            if (client.At(x, y) == Rgb(TitleColour)) {
                titleRight = std::max(titleRight, x);
                titleBottom = std::max(titleBottom, y);
            } else if (client.At(x, y) == Rgb(TitleShadowColour)) {
                shadowRight = std::max(shadowRight, x);
                shadowBottom = std::max(shadowBottom, y);
            }
        }
    }
    EXPECT_EQ(titleRight + 1, shadowRight);
    EXPECT_EQ(titleBottom + 1, shadowBottom);
    EXPECT_EQ(0, CountColour(client, Rgb(TitleColour), 0, 0, 430, 385));
}

TEST_F(MenuPaint, AHoverRedrawsOnlyTheButtons) {
    // Mark a spot of the picture and a spot of the title area; a hover
    // redraw must leave both alone and repaint the buttons completely.
    const RECT pictureMark = {300, 200, 310, 210};
    const RECT titleMark = {440, 420, 450, 430};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(WindowDC, &pictureMark, green);
    FillRect(WindowDC, &titleMark, green);
    const RECT buttonMark = {38, 50, 48, 58};
    FillRect(WindowDC, &buttonMark, green);
    DeleteObject(green);

    HoverEntry2();
    GdiFlush();
    const ClientPixels client = CaptureClient();
    EXPECT_EQ(2, SelectedEntry);
    EXPECT_EQ(0x00FF00u, client.At(305, 205));
    EXPECT_EQ(0x00FF00u, client.At(445, 425));
    EXPECT_EQ(Rgb(NormalButtonColour), client.At(40, 55)) << "button 1 returns to the dark fill";
    EXPECT_EQ(Rgb(SelectedButtonColour), client.At(40, 115));
    EXPECT_EQ(Rgb(NormalButtonColour), client.At(40, 175));
}

TEST_F(MenuPaint, HoveringTheSelectedEntryDrawsNothing) {
    const RECT buttonMark = {38, 50, 48, 58};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(WindowDC, &buttonMark, green);
    DeleteObject(green);
    HoverEntry1();
    GdiFlush();
    EXPECT_EQ(0x00FF00u, CaptureClient().At(40, 55));
}

TEST_F(MenuPaint, ASelectionOutsideTheButtonsDrawsThemAllDark) {
    SelectedEntry = 0;
    DrawButtons();
    GdiFlush();
    const ClientPixels client = CaptureClient();
    for (int entry = 1; entry <= 3; ++entry) {
        EXPECT_EQ(Rgb(NormalButtonColour), client.At(40, ButtonBottomRow[entry])) << entry;
    }
}

TEST_F(MenuPaint, WithNoEntriesNoButtonIsDrawn) {
    const uint8_t saved = EntryCount;
    EntryCount = 0;
    PaintMenu();
    GdiFlush();
    EntryCount = saved;
    const ClientPixels client = CaptureClient();
    for (int entry = 1; entry <= 3; ++entry) {
        EXPECT_EQ(PicturePixel(40, ButtonBottomRow[entry]), client.At(40, ButtonBottomRow[entry]));
    }
}

} // namespace
