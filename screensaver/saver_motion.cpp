// What changes every frame: the stars' twinkle, the shooting star and the
// cloud in the sky; the rolling water and the moon's path on the lake. Each
// is drawn straight into the frame's pixels over what it covered before,
// and only the areas that changed are copied to the window.
#include "saver_maths.h"
#include "saver_random.h"
#include "saver_scene.h"
#include "saver_scene_state.h"
#include "support/support_bytes.h"

namespace Velmora {

static const double Pi = 3.14159265358979;

static void Present(HDC WindowDc, const RECT& Area) {
    if (WindowDc != nullptr && Area.right > Area.left && Area.bottom > Area.top) {
        BitBlt(WindowDc, Area.left + Scene->Origin.x, Area.top + Scene->Origin.y,
               Area.right - Area.left, Area.bottom - Area.top, Scene->Frame.Dc, Area.left, Area.top,
               SRCCOPY);
    }
}

// Each star brightens and dims on its own slow beat.
static void DrawStars(double Seconds) {
    const COLORREF white = RGB(255, 250, 236);
    const COLORREF warm = RGB(255, 248, 230);
    const COLORREF blue = RGB(220, 226, 255);
    const PixelBuffer& frame = Scene->Frame;
    const int d = Scene->DotSize;
    for (int i = 0; i < Scene->StarCount; ++i) {
        const SceneStar& star = Scene->Stars[i];
        const double beat = 0.5 + 0.5 * Sine(Seconds * star.Speed + star.Phase);
        const int x = star.X;
        const int y = star.Y;
        switch (star.Kind) {
        case BrightStar: {
            const uint32_t arm = PixelOf(MixColours(star.Sky, white, 0.25 + 0.35 * beat));
            FillPixels(frame, x - d, y, x, y + d, arm);
            FillPixels(frame, x + d, y, x + 2 * d, y + d, arm);
            FillPixels(frame, x, y - d, x + d, y, arm);
            FillPixels(frame, x, y + d, x + d, y + 2 * d, arm);
            FillPixels(frame, x, y, x + d, y + d,
                       PixelOf(MixColours(star.Sky, white, 0.7 + 0.3 * beat)));
            break;
        }
        case PlainStar:
            FillPixels(frame, x, y, x + d, y + d,
                       PixelOf(MixColours(star.Sky, warm, 0.5 + 0.4 * beat)));
            FillPixels(frame, x + d, y, x + 2 * d, y + d,
                       PixelOf(MixColours(star.Sky, warm, 0.2 + 0.3 * beat)));
            break;
        case FaintStar:
            FillPixels(frame, x, y, x + d, y + d,
                       PixelOf(MixColours(star.Sky, blue, 0.2 + 0.5 * beat)));
            break;
        }
    }
}

static void PresentStars(HDC WindowDc) {
    if (WindowDc != nullptr) {
        SelectClipRgn(WindowDc, Scene->StarRegion);
        Present(WindowDc, Scene->StarBox);
        SelectClipRgn(WindowDc, nullptr);
    }
}

// Grows Area (empty or not) to take in a rectangle.
static void TakeIn(RECT& Area, int Left, int Top, int Right, int Bottom) {
    if (Right <= Left || Bottom <= Top) {
        return;
    }
    if (Area.right <= Area.left || Area.bottom <= Area.top) {
        Area = {Left, Top, Right, Bottom};
        return;
    }
    Area.left = Left < Area.left ? Left : Area.left;
    Area.top = Top < Area.top ? Top : Area.top;
    Area.right = Right > Area.right ? Right : Area.right;
    Area.bottom = Bottom > Area.bottom ? Bottom : Area.bottom;
}

// Now and then a shooting star crosses the upper sky in under a second. Each
// nine-second slot has at most one, at a moment and on a course of its own.
// Drawn with GDI pens; gives the area it covered (empty when there is none).
static RECT DrawShootingStar(double Seconds) {
    RECT covered = {};
    const double slotLength = 9.0;
    const double duration = 0.9;
    const int slot = static_cast<int>(Seconds / slotLength);
    uint32_t state = ScrambleNumber(Scene->Variety + static_cast<uint32_t>(slot) * 2654435761u);
    if (NextRandom(state) < 0.35) {
        return covered; // a quiet slot
    }
    const double start = NextRandom(state) * (slotLength - duration);
    const double progress = (Seconds - slot * slotLength - start) / duration;
    if (progress < 0 || progress >= 1) {
        return covered;
    }
    const PictureLayout& layout = Scene->Layout;
    const double fromX = (0.12 + 0.76 * NextRandom(state)) * layout.Width;
    const double fromY = (0.03 + 0.09 * NextRandom(state)) * layout.Height;
    const double angle = 0.3 + 0.2 * NextRandom(state);
    const double leftwards = NextRandom(state) < 0.5 ? -1 : 1;
    const double travel = (90 + 50 * NextRandom(state)) * layout.Scale;
    const double stepX = leftwards * Cosine(angle);
    const double stepY = Sine(angle);
    const double headX = fromX + stepX * travel * progress;
    const double headY = fromY + stepY * travel * progress;
    const double glow = Sine(Pi * progress);
    const double tail = travel * 0.45 * glow;
    const COLORREF sky = SkyColourAt(layout, RoundToInt(headY));
    const int width = AtLeastOne(layout.Scale * 0.9 - 0.3);
    const int pieces = 4;
    HDC dc = Scene->Frame.Dc;
    for (int i = pieces - 1; i >= 0; --i) {
        HPEN pen =
            CreatePen(PS_SOLID, width, MixColours(sky, RGB(255, 252, 240), glow * (1 - 0.22 * i)));
        if (pen == nullptr) {
            continue;
        }
        const HGDIOBJ old = SelectObject(dc, pen);
        const double from = tail * i / pieces;
        const double to = tail * (i + 1) / pieces;
        const POINT a = {RoundToInt(headX - stepX * from), RoundToInt(headY - stepY * from)};
        const POINT b = {RoundToInt(headX - stepX * to), RoundToInt(headY - stepY * to)};
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
        SelectObject(dc, old);
        DeleteObject(pen);
        TakeIn(covered, (a.x < b.x ? a.x : b.x) - width, (a.y < b.y ? a.y : b.y) - width,
               (a.x > b.x ? a.x : b.x) + width + 1, (a.y > b.y ? a.y : b.y) + width + 1);
    }
    GdiFlush(); // the pens' pixels are in place before the cloud's are written
    return covered;
}

// A thin cloud of a few flat puffs drifts across the top of the sky, lit
// where it passes the moon. Every crossing has a shape of its own. Gives the
// area it covered.
static RECT DrawCloud(double Seconds) {
    RECT covered = {};
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
        double lit = 1 - SquareRoot(dx * dx + dy * dy) / (layout.MoonRadius + 70 * layout.Scale);
        lit = lit < 0 ? 0 : lit;
        const COLORREF colour = MixColours(tint, MoonLight, 0.6 * lit);
        const double amount = 0.2 + 0.35 * lit;
        const int top = RoundToInt(centreY - radiusY);
        const int bottom = RoundToInt(centreY + radiusY);
        for (int row = top; row <= bottom; ++row) {
            const double f = (row - centreY) / (radiusY + 0.5);
            const double half = f < 1 && f > -1 ? radiusX * SquareRoot(1 - f * f) : 0;
            const int from = RoundToInt(centreX - half);
            const int to = RoundToInt(centreX + half);
            if (to > from) {
                FillPixels(Scene->Frame, from, row, to, row + 1,
                           PixelOf(MixColours(SkyColourAt(layout, row), colour, amount)));
                TakeIn(covered, from, row, to, row + 1);
            }
        }
    }
    return covered;
}

void UpdateSaverSky(HDC WindowDc, uint32_t Milliseconds) {
    if (Scene == nullptr || !Scene->Ready) {
        return;
    }
    const double seconds = Milliseconds / 1000.0;
    RECT cloud = Scene->CloudDrawn;
    RECT shooting = Scene->ShootingDrawn;
    RestoreBackdrop(cloud);
    RestoreBackdrop(shooting);
    DrawStars(seconds);
    Scene->ShootingDrawn = DrawShootingStar(seconds);
    Scene->CloudDrawn = DrawCloud(seconds);
    TakeIn(cloud, Scene->CloudDrawn.left, Scene->CloudDrawn.top, Scene->CloudDrawn.right,
           Scene->CloudDrawn.bottom);
    TakeIn(shooting, Scene->ShootingDrawn.left, Scene->ShootingDrawn.top,
           Scene->ShootingDrawn.right, Scene->ShootingDrawn.bottom);
    PresentStars(WindowDc);
    Present(WindowDc, cloud);
    Present(WindowDc, shooting);
}

// Marks columns Left..Right-1 of rows Top..Bottom-1 of the picture to redraw.
static void MarkWater(int Top, int Bottom, int Left, int Right) {
    const int horizon = Scene->Layout.Horizon;
    Left = Left < 0 ? 0 : Left;
    Right = Right > Scene->Layout.Width ? Scene->Layout.Width : Right;
    for (int row = Top < horizon ? horizon : Top; row < Bottom && Left < Right; ++row) {
        const int i = row - horizon;
        if (i >= Scene->WaterRows) {
            break;
        }
        Scene->DirtyLeft[i] = Left < Scene->DirtyLeft[i] ? Left : Scene->DirtyLeft[i];
        Scene->DirtyRight[i] = Right > Scene->DirtyRight[i] ? Right : Scene->DirtyRight[i];
    }
}

// The lake moves in strips of a few rows, each the backdrop's rows shifted a
// little sideways: waves that roll towards the viewer and grow with
// nearness. A strip whose shift is unchanged needs no redrawing.
static void ShiftWater(double Seconds) {
    const PictureLayout& layout = Scene->Layout;
    const int depthRows = layout.Height - layout.Horizon;
    const double swing = layout.Scale > 0.5 ? layout.Scale : 0.5;
    for (int y = layout.Horizon; y < layout.Height; y += Scene->StripHeight) {
        const double depth = static_cast<double>(y - layout.Horizon) / depthRows;
        const double designRow = (y - layout.Horizon) / layout.ScaleY;
        const double wave = 0.7 * Sine(designRow * 0.85 - Seconds * 1.9) +
                            0.3 * Sine(designRow * 0.31 + Seconds * 1.15 + 1.3);
        const int dx = RoundToInt((0.35 + 2.4 * depth) * swing * wave);
        int& drawn = Scene->StripShift[(y - layout.Horizon) / Scene->StripHeight];
        if (dx != drawn) {
            drawn = dx;
            MarkWater(y, y + Scene->StripHeight, 0, layout.Width);
        }
    }
}

// Widens the columns From..To-1 (none when To <= From) to take in Left..Right-1.
static void Widen(int& From, int& To, int Left, int Right) {
    if (Right <= Left) {
        return;
    }
    if (To <= From) {
        From = Left;
        To = Right;
        return;
    }
    From = From < Left ? From : Left;
    To = To > Right ? To : Right;
}

// The moon's path on the water: each streak widens and narrows, sways and
// glints, and now and then breaks in two.
static void ShapeMoonPath(double Seconds) {
    const PictureLayout& layout = Scene->Layout;
    const double s = layout.Scale;
    for (int i = 0; i < Scene->StreakCount; ++i) {
        SceneStreak& streak = Scene->Streaks[i];
        const double ph = streak.Phase;
        const double half = streak.Half * (1 + 0.2 * Sine(Seconds * 1.1 + ph));
        const double shift = streak.Shift + 2.5 * Sine(Seconds * 0.63 + ph * 1.7);
        const double glint = 0.9 + 0.15 * Sine(Seconds * 2.3 + ph * 2.3);
        streak.Colour =
            PixelOf(MixColours(streak.Water, MoonLight, (0.55 - 0.3 * streak.Depth) * glint));
        const int left = layout.MoonX + RoundToInt((shift - half) * s);
        const int right = layout.MoonX + RoundToInt((shift + half) * s);
        const double gap = Sine(Seconds * 0.9 + ph * 3.1);
        int centre = right;
        int opening = 0;
        if (gap > 0.35) {
            centre =
                layout.MoonX + RoundToInt((shift + 0.45 * half * Sine(Seconds * 0.4 + ph)) * s);
            opening = RoundToInt((gap - 0.35) * 7 * s);
        }
        streak.Pieces[0][0] = left;
        streak.Pieces[0][1] = centre - opening;
        streak.Pieces[1][0] = centre + opening;
        streak.Pieces[1][1] = right;
        // Where it was and where it is now are redrawn.
        int from = streak.DrawnLeft;
        int to = streak.DrawnRight;
        streak.DrawnLeft = 0;
        streak.DrawnRight = 0;
        for (const int* piece : streak.Pieces) {
            Widen(from, to, piece[0], piece[1]);
            Widen(streak.DrawnLeft, streak.DrawnRight, piece[0], piece[1]);
        }
        MarkWater(streak.Top, streak.Top + Scene->LineHeight, from, to);
    }
}

// Redraws columns Left..Right-1 of water row Row where the shore leaves
// them open: the shifted backdrop (the end the shift uncovers from the still
// backdrop) and the streaks of moonlight on it.
static void DrawOpenWater(int Row, int Left, int Right) {
    const PictureLayout& layout = Scene->Layout;
    const int width = layout.Width;
    int dx = Scene->StripShift[(Row - layout.Horizon) / Scene->StripHeight];
    dx = dx > width ? width : (dx < -width ? -width : dx);
    uint32_t* frame = PixelRow(Scene->Frame, Row);
    const uint32_t* backdrop = PixelRow(Scene->Backdrop, Row);
    const int shiftedFrom = dx > 0 ? dx : 0;
    const int shiftedTo = dx < 0 ? width + dx : width;
    const int from = Left > shiftedFrom ? Left : shiftedFrom;
    const int to = Right < shiftedTo ? Right : shiftedTo;
    if (from < to) {
        CopyBytes(frame + from, backdrop + from - dx, (to - from) * sizeof(uint32_t));
    }
    const int stillTo = Right < shiftedFrom ? Right : shiftedFrom;
    if (Left < stillTo) {
        CopyBytes(frame + Left, backdrop + Left, (stillTo - Left) * sizeof(uint32_t));
    }
    const int stillFrom = Left > shiftedTo ? Left : shiftedTo;
    if (stillFrom < Right) {
        CopyBytes(frame + stillFrom, backdrop + stillFrom, (Right - stillFrom) * sizeof(uint32_t));
    }
    for (int s = 0; s < Scene->StreakCount; ++s) {
        const SceneStreak& streak = Scene->Streaks[s];
        if (Row >= streak.Top && Row < streak.Top + Scene->LineHeight) {
            for (const int* piece : streak.Pieces) {
                FillPixels(Scene->Frame, piece[0] > Left ? piece[0] : Left, Row,
                           piece[1] < Right ? piece[1] : Right, Row + 1, streak.Colour);
            }
        }
    }
}

// Redraws columns Left..Right-1 of water row Row. The shore in front keeps
// the pixels the still frame gave it; only the water between its runs is drawn.
static void DrawWaterRow(int Row, int Left, int Right) {
    const int i = Row - Scene->Layout.Horizon;
    int from = Left;
    for (int run = Scene->ShoreFirst[i]; run < Scene->ShoreFirst[i + 1] && from < Right; ++run) {
        const ShoreRun& shore = Scene->ShoreRuns[run];
        if (shore.Left > from) {
            DrawOpenWater(Row, from, shore.Left < Right ? shore.Left : Right);
        }
        from = shore.Right > from ? shore.Right : from;
    }
    if (from < Right) {
        DrawOpenWater(Row, from, Right);
    }
}

void UpdateSaverWater(HDC WindowDc, uint32_t Milliseconds) {
    if (Scene == nullptr || !Scene->Ready) {
        return;
    }
    const double seconds = Milliseconds / 1000.0;
    const int rows = Scene->WaterRows;
    for (int i = 0; i < rows; ++i) {
        Scene->DirtyLeft[i] = Scene->Layout.Width;
        Scene->DirtyRight[i] = 0;
    }
    ShiftWater(seconds);
    ShapeMoonPath(seconds);
    const int horizon = Scene->Layout.Horizon;
    for (int i = 0; i < rows; ++i) {
        if (Scene->DirtyLeft[i] < Scene->DirtyRight[i]) {
            DrawWaterRow(horizon + i, Scene->DirtyLeft[i], Scene->DirtyRight[i]);
        }
    }
    // Rows redrawn over the same columns reach the window together.
    for (int i = 0; i < rows;) {
        int end = i + 1;
        while (end < rows && Scene->DirtyLeft[end] == Scene->DirtyLeft[i] &&
               Scene->DirtyRight[end] == Scene->DirtyRight[i]) {
            ++end;
        }
        const RECT area = {Scene->DirtyLeft[i], horizon + i, Scene->DirtyRight[i], horizon + end};
        Present(WindowDc, area);
        i = end;
    }
}

} // namespace Velmora
