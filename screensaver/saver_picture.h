// The night picture's shapes and colours: a lake under a moonlit sky with
// mountain ranges, laid out on a 600 x 450 design grid and scaled to any
// window. Nothing here draws; the backdrop and the scene read it.
#pragma once

#include <windows.h>

#include "saver_maths.h"

namespace Velmora {

const int DesignWidth = 600;
const int DesignHeight = 450;
const int DesignHorizon = 318; // first row of water
const int DesignWaterDepth = DesignHeight - DesignHorizon;
const int RidgeCount = 3; // far to near

// The picture at one window size, in pixels.
struct PictureLayout {
    int Width;
    int Height;
    double ScaleX;
    double ScaleY;
    double Scale; // the smaller of the two: round things stay round
    int Horizon;  // first row of water
    int MoonX;
    int MoonY;
    int MoonRadius;
};

extern const COLORREF MoonLight;
extern const COLORREF BankColour;
extern const COLORREF RidgeColours[RidgeCount];

// Colour From moved by Amount (0..1) towards To.
COLORREF MixColours(COLORREF From, COLORREF To, double Amount);

void LayOutPicture(PictureLayout& Layout, int Width, int Height);

// The banded sky (rows above the horizon) and water (rows below it).
COLORREF SkyColourAt(const PictureLayout& Layout, int Row);
COLORREF WaterColourAt(const PictureLayout& Layout, int Row);

// First row of a mountain range in a column; the horizon where the range
// does not rise above it.
int RidgeTopAt(const PictureLayout& Layout, int Ridge, int Column);

// First row of the dark bank in the lower left; the height of the picture
// where there is none.
int BankTopAt(const PictureLayout& Layout, int Column);
int BankRightEdge(const PictureLayout& Layout);

// The stand of pines on the bank, each as one outline.
const int PineCount = 9;
const int PineOutlinePoints = 24;
void OutlinePine(const PictureLayout& Layout, int Pine, POINT* Points);

} // namespace Velmora
