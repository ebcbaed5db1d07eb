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

// Read at every paint: the default window procedure sees the setting change,
// the program does not.
static bool HighContrastOn() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void PaintMenu() {
    const LONG w = static_cast<LONG>(BackgroundImage.Width);
    const LONG h = static_cast<LONG>(BackgroundImage.Height);
    StretchDIBits(WindowDC, 0, 0, w, h, 0, 0, w, h, BackgroundImage.Pixels,
                  reinterpret_cast<const BITMAPINFO*>(&BackgroundBitmapInfo), DIB_RGB_COLORS,
                  SRCCOPY);
    if (HighContrastOn()) {
        // The title in the window text colour on a plain band, without shadow.
        const RECT band = {w - 166, h - 59, w - 15, h - 8};
        const HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
        FillRect(WindowDC, &band, brush);
        DeleteObject(brush);
        DrawTitle(GetSysColor(COLOR_WINDOWTEXT), w - 166, h - 59, w - 16, h - 9);
    } else {
        DrawTitle(TitleShadowColour, w - 165, h - 58, w - 15, h - 8);
        DrawTitle(TitleColour, w - 166, h - 59, w - 16, h - 9);
    }
    DrawButtons();
}

void DrawButtons() {
    // While High Contrast is on, the system's colours: button face and text,
    // the highlighted entry in highlight and highlighted text, a frame in the
    // button text colour.
    const bool contrast = HighContrastOn();
    HBRUSH brushes[2] = {NormalBrush, SelectedBrush};
    COLORREF captions[2] = {NormalCaptionColour, SelectedCaptionColour};
    HGDIOBJ pen = nullptr;
    if (contrast) {
        brushes[0] = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        brushes[1] = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
        captions[0] = GetSysColor(COLOR_BTNTEXT);
        captions[1] = GetSysColor(COLOR_HIGHLIGHTTEXT);
        pen = SelectObject(WindowDC, CreatePen(PS_SOLID, 1, captions[0]));
    }
    LONG y = MenuButtonTop;
    for (uint16_t i = 1; i <= EntryCount && i < MenuCaptionSlots; ++i) {
        const bool selected = i == SelectedEntry;
        SelectObject(WindowDC, brushes[selected]);
        RoundRect(WindowDC, MenuButtonLeft, y, MenuButtonLeft + MenuButtonWidth,
                  y + MenuButtonHeight, 8, 20);
        SetTextColor(WindowDC, captions[selected]);
        TextRect.left = MenuButtonLeft;
        TextRect.top = y + 5;
        TextRect.right = MenuButtonLeft + MenuButtonWidth;
        TextRect.bottom = y + 25;
        y += MenuButtonHeight + MenuButtonGap;
        DrawTextA(WindowDC, MenuCaptions[i], -1, &TextRect, DT_CENTER | DT_VCENTER);
    }
    if (contrast) {
        SelectObject(WindowDC, NormalBrush);
        DeleteObject(SelectObject(WindowDC, pen));
        DeleteObject(brushes[0]);
        DeleteObject(brushes[1]);
    }
}

} // namespace Velmora
