// Drawing the menu window straight onto its device context.
#pragma once

#include <windows.h>

namespace Velmora {

const COLORREF NormalButtonColour = 0x00752020;
const COLORREF SelectedButtonColour = 0x00F0B0B0;
const COLORREF TitleShadowColour = 0x00000040;
const COLORREF TitleColour = 0x00F0FFFF;
const COLORREF NormalCaptionColour = 0x00EEDDDD;
const COLORREF SelectedCaptionColour = 0x00FFFFFF;

extern HDC WindowDC;
extern HBRUSH NormalBrush;
extern HBRUSH SelectedBrush;
extern BITMAPINFOHEADER BackgroundBitmapInfo;
extern RECT TextRect;

// Describes the background picture to the blit: top-down, 32 bits a pixel.
void FillBackgroundBitmapInfo();

// The picture, the title with its shadow, then the buttons.
void PaintMenu();

// Buttons 1..EntryCount, the selected one highlighted.
void DrawButtons();

} // namespace Velmora
