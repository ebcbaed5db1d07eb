// The scene's state, shared by the part drawn once per window size
// (saver_scene.cpp) and the parts that move every frame (saver_motion.cpp).
// Both pictures are 32-bit top-down DIB sections: the moving parts are
// written straight into their pixels, and only what changed goes to the
// window.
#pragma once

#include <cstdint>

#include <windows.h>

#include "saver_picture.h"

namespace Velmora {

const int MaxStars = 240;
const int MaxStreaks = 48;

// A picture in memory: a DIB section selected into a DC of its own.
struct PixelBuffer {
    HDC Dc;
    HBITMAP Bitmap;
    HGDIOBJ Plain;
    uint32_t* Bits; // Width pixels a row, top row first, 0x00RRGGBB
    int Width;
    int Height;
};

enum StarKind : uint8_t { BrightStar, PlainStar, FaintStar };

struct SceneStar {
    int X;
    int Y;
    StarKind Kind;
    COLORREF Sky;
    double Phase;
    double Speed; // radians a second
};

// One streak of moonlight on the water: a row under the moon, drawn as up
// to two pieces (it breaks in two now and then).
struct SceneStreak {
    int Top;
    double Depth; // 0 at the horizon, 1 at the bottom
    double Half;  // half width and shift, in design units
    double Shift;
    double Phase;
    COLORREF Water;
    uint32_t Colour; // this frame's, as a pixel
    int Pieces[2][2];
    int DrawnLeft; // columns it covered in the last frame drawn
    int DrawnRight;
};

// Columns Left..Right-1 of a row of water that the shore covers.
struct ShoreRun {
    int Left;
    int Right;
};

struct SceneState {
    bool Ready;
    PictureLayout Layout;
    POINT Origin;         // where the picture lies in the window
    PixelBuffer Backdrop; // sky, moon, mountains and lake: never changes
    PixelBuffer Frame;    // the picture as the window shows it
    int DotSize;          // side of a star's dot in pixels
    int StripHeight;      // rows the water moves in together
    int LineHeight;       // rows of a moonlight streak
    uint32_t Variety;     // makes clouds and shooting stars differ between runs
    int StarCount;
    SceneStar Stars[MaxStars];
    int StreakCount;
    SceneStreak Streaks[MaxStreaks];
    HRGN StarRegion; // every star's square, where it lies in the window
    RECT StarBox;    // their bounding box in the picture
    RECT CloudDrawn; // where the cloud and the shooting star were in the last frame
    RECT ShootingDrawn;
    // Per row of water (Layout.Horizon on), in one block: the sideways shift
    // of each strip as drawn, the columns to redraw this frame, and where
    // the row's shore runs start in ShoreRuns (one more entry at the end).
    int WaterRows;
    int* RowBlock;
    int* StripShift;
    int* DirtyLeft;
    int* DirtyRight;
    int* ShoreFirst;
    ShoreRun* ShoreRuns;
};

// The scene chosen, one of the screens': kept on the heap, since a large
// zero-filled block in the program file would cost its size on disk.
extern SceneState* Scene;

inline int AtLeastOne(double Value) {
    const int rounded = RoundToInt(Value);
    return rounded > 1 ? rounded : 1;
}

inline uint32_t PixelOf(COLORREF Colour) {
    return (GetRValue(Colour) << 16) | (GetGValue(Colour) << 8) | GetBValue(Colour);
}

inline uint32_t* PixelRow(const PixelBuffer& Buffer, int Row) {
    return Buffer.Bits + static_cast<size_t>(Row) * Buffer.Width;
}

// A solid rectangle (right and bottom edges excluded), clipped to the buffer.
void FillPixels(const PixelBuffer& Buffer, int Left, int Top, int Right, int Bottom,
                uint32_t Pixel);

// The square a star may cover: its dot and the arms of a bright one.
inline RECT StarSquare(const SceneStar& Star, int DotSize) {
    return {Star.X - DotSize, Star.Y - DotSize, Star.X + 2 * DotSize, Star.Y + 2 * DotSize};
}

// Copies an area of the backdrop into the frame at the same place.
void RestoreBackdrop(const RECT& Area);

} // namespace Velmora
