#include "saver_scene.h"

#include <cmath>

#include "saver_backdrop.h"
#include "saver_paint.h"
#include "saver_picture.h"
#include "saver_random.h"

namespace Velmora {

static const double Pi = 3.14159265358979;

static const int MaxStars = 240;
static const int MaxStreaks = 48;
static const int BankSamples = 56;

enum StarKind : uint8_t { BrightStar, PlainStar, FaintStar };

struct SceneStar {
    int X;
    int Y;
    StarKind Kind;
    COLORREF Sky;
    double Phase;
    double Speed; // radians a second
};

// One streak of moonlight on the water: a row under the moon.
struct SceneStreak {
    int Top;
    double Depth; // 0 at the horizon, 1 at the bottom
    double Half;  // half width and shift, in design units
    double Shift;
    double Phase;
    COLORREF Water;
};

struct SceneState {
    bool Ready;
    PictureLayout Layout;
    HDC BackdropDc;
    HBITMAP BackdropBitmap;
    HGDIOBJ PlainBackdropBitmap;
    HDC FrameDc;
    HBITMAP FrameBitmap;
    HGDIOBJ PlainFrameBitmap;
    int DotSize;      // side of a star's dot in pixels
    int StripHeight;  // rows the water moves in together
    int LineHeight;   // rows of a moonlight streak
    uint32_t Variety; // makes clouds and shooting stars differ between runs
    int StarCount;
    SceneStar Stars[MaxStars];
    int StreakCount;
    SceneStreak Streaks[MaxStreaks];
    POINT Bank[BankSamples + 3];
    POINT Pines[PineCount][PineOutlinePoints];
};

// Kept on the heap: a large zero-filled block in the program file would
// cost its size on disk.
static SceneState* Scene;

static int AtLeastOne(double Value) {
    const int rounded = RoundToInt(Value);
    return rounded > 1 ? rounded : 1;
}

// Stars in the upper sky, a fixed set for the size: none near the moon nor
// behind the mountains. About as many per area as in the installer's picture.
static void PlaceStars() {
    const PictureLayout& layout = Scene->Layout;
    int wanted = layout.Width / 8 * (layout.Height / 8) / 90;
    wanted = wanted < 14 ? 14 : (wanted > MaxStars ? MaxStars : wanted);
    const double clearOfMoon = layout.MoonRadius + 52 * layout.Scale;
    const int margin = 2 * Scene->DotSize + 1;
    uint32_t state = 2011;
    Scene->StarCount = 0;
    for (int attempt = 0; Scene->StarCount < wanted && attempt < 40 * MaxStars; ++attempt) {
        const int x = static_cast<int>(NextRandom(state) * layout.Width);
        const int y = static_cast<int>(NextRandom(state) * 175 * layout.ScaleY);
        const double kind = NextRandom(state);
        const double phase = NextRandom(state) * 2 * Pi;
        const double speed = 0.7 + NextRandom(state) * 2.2;
        const double dx = x - layout.MoonX;
        const double dy = y - layout.MoonY;
        if (std::sqrt(dx * dx + dy * dy) < clearOfMoon || y < margin) {
            continue;
        }
        bool hidden = false;
        for (int ridge = 0; ridge < RidgeCount; ++ridge) {
            hidden = hidden || y + margin >= RidgeTopAt(layout, ridge, x);
        }
        if (hidden) {
            continue;
        }
        SceneStar& star = Scene->Stars[Scene->StarCount++];
        star.X = x;
        star.Y = y;
        star.Kind = kind < 0.15 ? BrightStar : (kind < 0.55 ? PlainStar : FaintStar);
        star.Sky = SkyColourAt(layout, y);
        star.Phase = phase;
        star.Speed = speed;
    }
}

// Rows of moonlight under the moon, further apart and wider towards the viewer.
static void PlaceStreaks() {
    const PictureLayout& layout = Scene->Layout;
    uint32_t state = 77;
    Scene->StreakCount = 0;
    for (int y = 3; y < DesignWaterDepth - 3 && Scene->StreakCount < MaxStreaks;
         y += 3 + static_cast<int>(NextRandom(state) * 4)) {
        SceneStreak& streak = Scene->Streaks[Scene->StreakCount++];
        streak.Depth = static_cast<double>(y) / DesignWaterDepth;
        streak.Top = layout.Horizon + RoundToInt(y * layout.ScaleY);
        streak.Half = 5 + 22 * streak.Depth + NextRandom(state) * 8;
        streak.Shift = (NextRandom(state) - 0.5) * 10;
        streak.Phase = NextRandom(state) * 2 * Pi;
        streak.Water = WaterColourAt(layout, streak.Top);
    }
}

static void ShapeShore() {
    const PictureLayout& layout = Scene->Layout;
    const int right = BankRightEdge(layout);
    for (int i = 0; i <= BankSamples; ++i) {
        const int x = right * i / BankSamples;
        Scene->Bank[i] = {x, BankTopAt(layout, x)};
    }
    Scene->Bank[BankSamples + 1] = {right, layout.Height};
    Scene->Bank[BankSamples + 2] = {0, layout.Height};
    for (int pine = 0; pine < PineCount; ++pine) {
        OutlinePine(layout, pine, Scene->Pines[pine]);
    }
}

static bool MakeBuffer(HDC WindowDc, int Width, int Height, HDC& Dc, HBITMAP& Bitmap,
                       HGDIOBJ& Plain) {
    Dc = CreateCompatibleDC(WindowDc);
    Bitmap = CreateCompatibleBitmap(WindowDc, Width, Height);
    if (Dc == nullptr || Bitmap == nullptr) {
        return false;
    }
    Plain = SelectObject(Dc, Bitmap);
    return true;
}

static void FreeBuffer(HDC& Dc, HBITMAP& Bitmap, HGDIOBJ& Plain) {
    if (Dc != nullptr && Plain != nullptr) {
        SelectObject(Dc, Plain);
    }
    if (Bitmap != nullptr) {
        DeleteObject(Bitmap);
    }
    if (Dc != nullptr) {
        DeleteDC(Dc);
    }
    Dc = nullptr;
    Bitmap = nullptr;
    Plain = nullptr;
}

void FreeSaverScene() {
    if (Scene == nullptr) {
        return;
    }
    FreeBuffer(Scene->BackdropDc, Scene->BackdropBitmap, Scene->PlainBackdropBitmap);
    FreeBuffer(Scene->FrameDc, Scene->FrameBitmap, Scene->PlainFrameBitmap);
    Scene->Ready = false;
}

bool PrepareSaverScene(HDC WindowDc, int Width, int Height) {
    if (Scene == nullptr) {
        Scene = static_cast<SceneState*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SceneState)));
        if (Scene == nullptr) {
            return false;
        }
    }
    if (Scene->Ready && Scene->Layout.Width == Width && Scene->Layout.Height == Height) {
        return true;
    }
    FreeSaverScene();
    if (Width <= 0 || Height <= 0) {
        return false;
    }
    if (!MakeBuffer(WindowDc, Width, Height, Scene->BackdropDc, Scene->BackdropBitmap,
                    Scene->PlainBackdropBitmap) ||
        !MakeBuffer(WindowDc, Width, Height, Scene->FrameDc, Scene->FrameBitmap,
                    Scene->PlainFrameBitmap)) {
        FreeSaverScene();
        return false;
    }
    if (Scene->Variety == 0) {
        Scene->Variety = ScrambleNumber(GetTickCount()) | 1;
    }
    PictureLayout& layout = Scene->Layout;
    LayOutPicture(layout, Width, Height);
    Scene->DotSize = AtLeastOne(layout.Scale * 0.85 - 0.5);
    Scene->StripHeight = AtLeastOne(layout.ScaleY * 0.9);
    Scene->LineHeight = AtLeastOne(layout.ScaleY * 0.9);
    PaintBackdrop(Scene->BackdropDc, layout);
    PlaceStars();
    PlaceStreaks();
    ShapeShore();
    Scene->Ready = true;
    return true;
}

// The lake in strips of a few rows, each copied from the backdrop with a
// small sideways offset: waves that roll towards the viewer and grow with
// nearness. The strip's uncovered end is filled from the still backdrop.
static void DrawWater(double Seconds) {
    const PictureLayout& layout = Scene->Layout;
    const int depthRows = layout.Height - layout.Horizon;
    const double swing = layout.Scale > 0.5 ? layout.Scale : 0.5;
    for (int y = layout.Horizon; y < layout.Height; y += Scene->StripHeight) {
        const int rows =
            y + Scene->StripHeight <= layout.Height ? Scene->StripHeight : layout.Height - y;
        const double depth = static_cast<double>(y - layout.Horizon) / depthRows;
        const double designRow = (y - layout.Horizon) / layout.ScaleY;
        const double wave = 0.7 * std::sin(designRow * 0.85 - Seconds * 1.9) +
                            0.3 * std::sin(designRow * 0.31 + Seconds * 1.15 + 1.3);
        const int dx = RoundToInt((0.35 + 2.4 * depth) * swing * wave);
        BitBlt(Scene->FrameDc, dx, y, layout.Width, rows, Scene->BackdropDc, 0, y, SRCCOPY);
        if (dx > 0) {
            BitBlt(Scene->FrameDc, 0, y, dx, rows, Scene->BackdropDc, 0, y, SRCCOPY);
        } else if (dx < 0) {
            BitBlt(Scene->FrameDc, layout.Width + dx, y, -dx, rows, Scene->BackdropDc,
                   layout.Width + dx, y, SRCCOPY);
        }
    }
}

// Each star brightens and dims on its own slow beat.
static void DrawStars(double Seconds) {
    const COLORREF white = RGB(255, 250, 236);
    const COLORREF warm = RGB(255, 248, 230);
    const COLORREF blue = RGB(220, 226, 255);
    const int d = Scene->DotSize;
    for (int i = 0; i < Scene->StarCount; ++i) {
        const SceneStar& star = Scene->Stars[i];
        const double beat = 0.5 + 0.5 * std::sin(Seconds * star.Speed + star.Phase);
        const int x = star.X;
        const int y = star.Y;
        switch (star.Kind) {
        case BrightStar: {
            const COLORREF arm = MixColours(star.Sky, white, 0.25 + 0.35 * beat);
            FillSolid(Scene->FrameDc, x - d, y, x, y + d, arm);
            FillSolid(Scene->FrameDc, x + d, y, x + 2 * d, y + d, arm);
            FillSolid(Scene->FrameDc, x, y - d, x + d, y, arm);
            FillSolid(Scene->FrameDc, x, y + d, x + d, y + 2 * d, arm);
            FillSolid(Scene->FrameDc, x, y, x + d, y + d,
                      MixColours(star.Sky, white, 0.7 + 0.3 * beat));
            break;
        }
        case PlainStar:
            FillSolid(Scene->FrameDc, x, y, x + d, y + d,
                      MixColours(star.Sky, warm, 0.5 + 0.4 * beat));
            FillSolid(Scene->FrameDc, x + d, y, x + 2 * d, y + d,
                      MixColours(star.Sky, warm, 0.2 + 0.3 * beat));
            break;
        case FaintStar:
            FillSolid(Scene->FrameDc, x, y, x + d, y + d,
                      MixColours(star.Sky, blue, 0.2 + 0.5 * beat));
            break;
        }
    }
}

// Now and then a shooting star crosses the upper sky in under a second. Each
// nine-second slot has at most one, at a moment and on a course of its own.
static void DrawShootingStar(double Seconds) {
    const double slotLength = 9.0;
    const double duration = 0.9;
    const int slot = static_cast<int>(Seconds / slotLength);
    uint32_t state = ScrambleNumber(Scene->Variety + static_cast<uint32_t>(slot) * 2654435761u);
    if (NextRandom(state) < 0.35) {
        return; // a quiet slot
    }
    const double start = NextRandom(state) * (slotLength - duration);
    const double progress = (Seconds - slot * slotLength - start) / duration;
    if (progress < 0 || progress >= 1) {
        return;
    }
    const PictureLayout& layout = Scene->Layout;
    const double fromX = (0.12 + 0.76 * NextRandom(state)) * layout.Width;
    const double fromY = (0.03 + 0.09 * NextRandom(state)) * layout.Height;
    const double angle = 0.3 + 0.2 * NextRandom(state);
    const double leftwards = NextRandom(state) < 0.5 ? -1 : 1;
    const double travel = (90 + 50 * NextRandom(state)) * layout.Scale;
    const double stepX = leftwards * std::cos(angle);
    const double stepY = std::sin(angle);
    const double headX = fromX + stepX * travel * progress;
    const double headY = fromY + stepY * travel * progress;
    const double glow = std::sin(Pi * progress);
    const double tail = travel * 0.45 * glow;
    const COLORREF sky = SkyColourAt(layout, RoundToInt(headY));
    const int width = AtLeastOne(layout.Scale * 0.9 - 0.3);
    const int pieces = 4;
    for (int i = pieces - 1; i >= 0; --i) {
        HPEN pen =
            CreatePen(PS_SOLID, width, MixColours(sky, RGB(255, 252, 240), glow * (1 - 0.22 * i)));
        if (pen == nullptr) {
            continue;
        }
        const HGDIOBJ old = SelectObject(Scene->FrameDc, pen);
        const double from = tail * i / pieces;
        const double to = tail * (i + 1) / pieces;
        MoveToEx(Scene->FrameDc, RoundToInt(headX - stepX * from), RoundToInt(headY - stepY * from),
                 nullptr);
        LineTo(Scene->FrameDc, RoundToInt(headX - stepX * to), RoundToInt(headY - stepY * to));
        SelectObject(Scene->FrameDc, old);
        DeleteObject(pen);
    }
}

// A thin cloud of a few flat puffs drifts across the top of the sky, lit
// where it passes the moon. Every crossing has a shape of its own.
static void DrawCloud(double Seconds) {
    const PictureLayout& layout = Scene->Layout;
    const double reach = 250 * layout.Scale; // puffs lie within this of the cloud's left end
    const double travel = layout.Width + 2 * reach;
    const double speed = 8 * layout.ScaleX;
    const double along = Seconds * speed + (Scene->Variety % 1000) * travel / 1000;
    const int crossing = static_cast<int>(along / travel);
    const double left = along - crossing * travel - reach;
    uint32_t state = ScrambleNumber(Scene->Variety ^ (static_cast<uint32_t>(crossing) * 40503u));
    const double middle = (24 + 20 * NextRandom(state)) * layout.ScaleY;
    const int puffs = 3 + static_cast<int>(NextRandom(state) * 3);
    const COLORREF tint = RGB(150, 140, 190);
    double offset = 0;
    for (int p = 0; p < puffs; ++p) {
        const double radiusX = (22 + 20 * NextRandom(state)) * layout.Scale;
        const double radiusY = (3 + 4 * NextRandom(state)) * layout.Scale;
        const double centreX = left + offset + radiusX;
        const double centreY = middle + (NextRandom(state) - 0.5) * 6 * layout.Scale;
        offset += radiusX * (0.9 + 0.4 * NextRandom(state));
        const double dx = centreX - layout.MoonX;
        const double dy = centreY - layout.MoonY;
        double lit = 1 - std::sqrt(dx * dx + dy * dy) / (layout.MoonRadius + 70 * layout.Scale);
        lit = lit < 0 ? 0 : lit;
        const COLORREF colour = MixColours(tint, MoonLight, 0.6 * lit);
        const double amount = 0.2 + 0.35 * lit;
        const int top = RoundToInt(centreY - radiusY);
        const int bottom = RoundToInt(centreY + radiusY);
        for (int row = top; row <= bottom; ++row) {
            const double f = (row - centreY) / (radiusY + 0.5);
            const double half = f < 1 && f > -1 ? radiusX * std::sqrt(1 - f * f) : 0;
            FillSolid(Scene->FrameDc, RoundToInt(centreX - half), row, RoundToInt(centreX + half),
                      row + 1, MixColours(SkyColourAt(layout, row), colour, amount));
        }
    }
}

// The moon's path on the water: each streak widens and narrows, sways and
// glints, and now and then breaks in two.
static void DrawMoonPath(double Seconds) {
    const PictureLayout& layout = Scene->Layout;
    const double s = layout.Scale;
    for (int i = 0; i < Scene->StreakCount; ++i) {
        const SceneStreak& streak = Scene->Streaks[i];
        const double ph = streak.Phase;
        const double half = streak.Half * (1 + 0.2 * std::sin(Seconds * 1.1 + ph));
        const double shift = streak.Shift + 2.5 * std::sin(Seconds * 0.63 + ph * 1.7);
        const double glint = 0.9 + 0.15 * std::sin(Seconds * 2.3 + ph * 2.3);
        const COLORREF colour =
            MixColours(streak.Water, MoonLight, (0.55 - 0.3 * streak.Depth) * glint);
        const int left = layout.MoonX + RoundToInt((shift - half) * s);
        const int right = layout.MoonX + RoundToInt((shift + half) * s);
        const int top = streak.Top;
        const int bottom = top + Scene->LineHeight;
        const double gap = std::sin(Seconds * 0.9 + ph * 3.1);
        if (gap > 0.35) {
            const int centre =
                layout.MoonX + RoundToInt((shift + 0.45 * half * std::sin(Seconds * 0.4 + ph)) * s);
            const int opening = RoundToInt((gap - 0.35) * 7 * s);
            FillSolid(Scene->FrameDc, left, top, centre - opening, bottom, colour);
            FillSolid(Scene->FrameDc, centre + opening, top, right, bottom, colour);
        } else {
            FillSolid(Scene->FrameDc, left, top, right, bottom, colour);
        }
    }
}

// The bank and its pines stand still in front of the moving water.
static void DrawShore() {
    FillPolygon(Scene->FrameDc, Scene->Bank, BankSamples + 3, BankColour);
    for (int pine = 0; pine < PineCount; ++pine) {
        FillPolygon(Scene->FrameDc, Scene->Pines[pine], PineOutlinePoints, BankColour);
    }
}

void DrawSaverFrame(uint32_t Milliseconds) {
    if (Scene == nullptr || !Scene->Ready) {
        return;
    }
    const double seconds = Milliseconds / 1000.0;
    BitBlt(Scene->FrameDc, 0, 0, Scene->Layout.Width, Scene->Layout.Horizon, Scene->BackdropDc, 0,
           0, SRCCOPY);
    DrawWater(seconds);
    DrawStars(seconds);
    DrawShootingStar(seconds);
    DrawCloud(seconds);
    DrawMoonPath(seconds);
    DrawShore();
}

void PresentSaverFrame(HDC WindowDc) {
    if (Scene != nullptr && Scene->Ready) {
        BitBlt(WindowDc, 0, 0, Scene->Layout.Width, Scene->Layout.Height, Scene->FrameDc, 0, 0,
               SRCCOPY);
    }
}

} // namespace Velmora
