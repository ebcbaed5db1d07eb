#include "ui/menu_paint.h"

#include "data/background_image.h"
#include "ui/menu_model.h"

namespace Velmora {

HDC WindowDC;
HBRUSH NormalBrush;
HBRUSH SelectedBrush;
BITMAPINFOHEADER BackgroundBitmapInfo;
RECT TextRect;

void FillBackgroundBitmapInfo() {
    BackgroundBitmapInfo.biSize = sizeof(BITMAPINFOHEADER);
    BackgroundBitmapInfo.biWidth = static_cast<LONG>(BackgroundImage.Width);
    BackgroundBitmapInfo.biHeight = -static_cast<LONG>(BackgroundImage.Height);
    BackgroundBitmapInfo.biPlanes = 1;
    BackgroundBitmapInfo.biBitCount = 32;
    BackgroundBitmapInfo.biCompression = BI_RGB;
    BackgroundBitmapInfo.biSizeImage = 0;
    BackgroundBitmapInfo.biXPelsPerMeter = 1800;
    BackgroundBitmapInfo.biYPelsPerMeter = 1800;
    BackgroundBitmapInfo.biClrUsed = 0;
    BackgroundBitmapInfo.biClrImportant = 0;
}

static void DrawTitle(COLORREF Colour, LONG Left, LONG Top, LONG Right, LONG Bottom) {
    SetTextColor(WindowDC, Colour);
    TextRect.left = Left;
    TextRect.top = Top;
    TextRect.right = Right;
    TextRect.bottom = Bottom;
    DrawTextA(WindowDC, SetupTitle, -1, &TextRect, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
}

void PaintMenu() {
    const LONG w = static_cast<LONG>(BackgroundImage.Width);
    const LONG h = static_cast<LONG>(BackgroundImage.Height);
    StretchDIBits(WindowDC, 0, 0, w, h, 0, 0, w, h, BackgroundImage.Pixels,
                  reinterpret_cast<const BITMAPINFO*>(&BackgroundBitmapInfo), DIB_RGB_COLORS,
                  SRCCOPY);
    DrawTitle(TitleShadowColour, w - 165, h - 58, w - 15, h - 8);
    DrawTitle(TitleColour, w - 166, h - 59, w - 16, h - 9);
    DrawButtons();
}

void DrawButtons() {
    LONG y = MenuButtonTop;
    for (uint16_t i = 1; i <= EntryCount && i < MenuCaptionSlots; ++i) {
        const bool selected = i == SelectedEntry;
        SelectObject(WindowDC, selected ? SelectedBrush : NormalBrush);
        RoundRect(WindowDC, MenuButtonLeft, y, MenuButtonLeft + MenuButtonWidth,
                  y + MenuButtonHeight, 8, 20);
        SetTextColor(WindowDC, selected ? SelectedCaptionColour : NormalCaptionColour);
        TextRect.left = MenuButtonLeft;
        TextRect.top = y + 5;
        TextRect.right = MenuButtonLeft + MenuButtonWidth;
        TextRect.bottom = y + 25;
        y += MenuButtonHeight + MenuButtonGap;
        DrawTextA(WindowDC, MenuCaptions[i], -1, &TextRect, DT_CENTER | DT_VCENTER);
    }
}

} // namespace Velmora
