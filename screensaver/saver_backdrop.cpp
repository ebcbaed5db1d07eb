#include "saver_backdrop.h"

#include "saver_paint.h"
#include "saver_random.h"

namespace Velmora {

typedef COLORREF (*RowColour)(const PictureLayout& Layout, int Row);

// Rows Top..Bottom-1 between Left and Right, each in its band's colour moved
// by Amount towards Tint; rows of one colour go in one fill.
static void FillRows(HDC Dc, const PictureLayout& Layout, int Left, int Right, int Top, int Bottom,
                     RowColour ColourAt, COLORREF Tint, double Amount) {
    int row = Top < 0 ? 0 : Top;
    while (row < Bottom) {
        const COLORREF colour = ColourAt(Layout, row);
        int end = row + 1;
        while (end < Bottom && ColourAt(Layout, end) == colour) {
            ++end;
        }
        FillSolid(Dc, Left, row, Right, end, MixColours(colour, Tint, Amount));
        row = end;
    }
}

// The halo: three flat rings of the sky brightened towards the moonlight.
static void PaintMoon(HDC Dc, const PictureLayout& Layout) {
    static const double Rings[3][2] = {{44, 0.05}, {26, 0.10}, {12, 0.18}};
    for (const double* ring : Rings) {
        const int radius = Layout.MoonRadius + RoundToInt(ring[0] * Layout.Scale);
        HRGN region = CreateEllipticRgn(Layout.MoonX - radius, Layout.MoonY - radius,
                                        Layout.MoonX + radius + 1, Layout.MoonY + radius + 1);
        if (region == nullptr) {
            continue;
        }
        SelectClipRgn(Dc, region);
        const int bottom = Layout.MoonY + radius + 1;
        FillRows(Dc, Layout, Layout.MoonX - radius, Layout.MoonX + radius + 1,
                 Layout.MoonY - radius, bottom < Layout.Horizon ? bottom : Layout.Horizon,
                 SkyColourAt, MoonLight, ring[1]);
        SelectClipRgn(Dc, nullptr);
        DeleteObject(region);
    }
    FillEllipse(Dc, Layout.MoonX, Layout.MoonY, Layout.MoonRadius, Layout.MoonRadius, MoonLight);
    // Three faint maria: offset and radii in design units.
    static const int Maria[3][4] = {{-8, -7, 9, 6}, {7, 6, 8, 7}, {-4, 11, 5, 4}};
    static const COLORREF MariaColours[3] = {RGB(214, 210, 196), RGB(222, 218, 202),
                                             RGB(218, 214, 199)};
    for (int i = 0; i < 3; ++i) {
        const double s = Layout.Scale;
        FillEllipse(Dc, Layout.MoonX + RoundToInt(Maria[i][0] * s),
                    Layout.MoonY + RoundToInt(Maria[i][1] * s), RoundToInt(Maria[i][2] * s),
                    RoundToInt(Maria[i][3] * s), MariaColours[i]);
    }
}

// One point per design column at most; the polygon joins them.
static const int MaxRidgeSamples = DesignWidth;

static int RidgeSampleCount(const PictureLayout& Layout) {
    return Layout.Width < MaxRidgeSamples ? Layout.Width : MaxRidgeSamples;
}

static int RidgeSampleColumn(const PictureLayout& Layout, int Sample) {
    return Sample * Layout.Width / RidgeSampleCount(Layout);
}

static void PaintMountains(HDC Dc, const PictureLayout& Layout) {
    POINT points[MaxRidgeSamples + 3];
    const int samples = RidgeSampleCount(Layout);
    for (int ridge = 0; ridge < RidgeCount; ++ridge) {
        for (int i = 0; i <= samples; ++i) {
            const int column = RidgeSampleColumn(Layout, i);
            points[i].x = column;
            points[i].y = RidgeTopAt(Layout, ridge, column < Layout.Width ? column : column - 1);
        }
        points[samples + 1] = {Layout.Width, Layout.Horizon};
        points[samples + 2] = {0, Layout.Horizon};
        FillPolygon(Dc, points, samples + 3, RidgeColours[ridge]);
    }
}

// The water's bands, then each range mirrored under the horizon in its own
// colour mixed with the water.
static void PaintLake(HDC Dc, const PictureLayout& Layout) {
    FillRows(Dc, Layout, 0, Layout.Width, Layout.Horizon, Layout.Height, WaterColourAt, 0, 0);
    POINT points[MaxRidgeSamples + 3];
    const int samples = RidgeSampleCount(Layout);
    for (int ridge = 0; ridge < RidgeCount; ++ridge) {
        for (int i = 0; i <= samples; ++i) {
            const int column = RidgeSampleColumn(Layout, i);
            const int top = RidgeTopAt(Layout, ridge, column < Layout.Width ? column : column - 1);
            const int mirrored = 2 * Layout.Horizon - top;
            points[i].x = column;
            points[i].y = mirrored < Layout.Height ? mirrored : Layout.Height;
        }
        points[samples + 1] = {Layout.Width, Layout.Horizon};
        points[samples + 2] = {0, Layout.Horizon};
        HRGN region = CreatePolygonRgn(points, samples + 3, ALTERNATE);
        if (region == nullptr) {
            continue;
        }
        SelectClipRgn(Dc, region);
        FillRows(Dc, Layout, 0, Layout.Width, Layout.Horizon, Layout.Height, WaterColourAt,
                 RidgeColours[ridge], 0.55);
        SelectClipRgn(Dc, nullptr);
        DeleteObject(region);
    }
}

// Short pale lines over the open water, away from the moon's path.
static void PaintRipples(HDC Dc, const PictureLayout& Layout) {
    const COLORREF pale = RGB(200, 170, 210);
    const int thickness = RoundToInt(Layout.ScaleY * 0.5) > 1 ? RoundToInt(Layout.ScaleY * 0.5) : 1;
    uint32_t state = 5;
    int placed = 0;
    for (int attempt = 0; placed < 34 && attempt < 400; ++attempt) {
        const int x = static_cast<int>(NextRandom(state) * Layout.Width);
        const double depth = 6 + NextRandom(state) * (DesignWaterDepth - 10);
        const int y = Layout.Horizon + static_cast<int>(depth * Layout.ScaleY);
        const int length = RoundToInt((8 + NextRandom(state) * 40) * Layout.ScaleX);
        const int fromMoon = x > Layout.MoonX ? x - Layout.MoonX : Layout.MoonX - x;
        if (fromMoon < 70 * Layout.ScaleX || y >= Layout.Height) {
            continue;
        }
        const COLORREF under = GetPixel(Dc, x, y);
        if (under == CLR_INVALID) {
            continue;
        }
        FillSolid(Dc, x, y, x + (length > 1 ? length : 1), y + thickness,
                  MixColours(under, pale, 0.22));
        ++placed;
    }
}

void PaintBackdrop(HDC Dc, const PictureLayout& Layout) {
    FillRows(Dc, Layout, 0, Layout.Width, 0, Layout.Horizon, SkyColourAt, 0, 0);
    PaintMoon(Dc, Layout);
    PaintMountains(Dc, Layout);
    PaintLake(Dc, Layout);
    PaintRipples(Dc, Layout);
}

} // namespace Velmora
