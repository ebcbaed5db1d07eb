#include "saver_picture.h"

#include "saver_random.h"

namespace Velmora {

const COLORREF MoonLight = RGB(236, 232, 214);
const COLORREF BankColour = RGB(12, 14, 32);
const COLORREF RidgeColours[RidgeCount] = {RGB(96, 76, 140), RGB(58, 50, 104), RGB(32, 32, 70)};

struct ColourStop {
    double Position;
    COLORREF Colour;
};

// Night blue at the top, warm glow at the horizon.
static const ColourStop SkyStops[] = {
    {0.00, RGB(22, 26, 66)},   {0.35, RGB(40, 44, 104)},   {0.62, RGB(78, 62, 132)},
    {0.80, RGB(146, 90, 146)}, {0.92, RGB(214, 132, 128)}, {1.00, RGB(240, 176, 132)},
};

// The glow mirrored at the shore, darkening with depth.
static const ColourStop WaterStops[] = {
    {0.00, RGB(150, 96, 120)}, {0.10, RGB(92, 64, 112)}, {0.35, RGB(44, 42, 90)},
    {0.70, RGB(24, 28, 64)},   {1.00, RGB(16, 20, 48)},
};

// A range: a seeded rough profile plus two long waves, in design rows. The
// seeds are picked so that the ranges follow those of the installer's picture.
struct RidgeShape {
    uint32_t Seed;
    double Base;
    double Amplitude;
    double Roughness;
    double Waves[2][3]; // amplitude, frequency, phase
};

static const RidgeShape RidgeShapes[RidgeCount] = {
    {129, 244, 64, 0.55, {{0.35, 0.011, 0.4}, {0.2, 0.023, 2.0}}},
    {235, 276, 46, 0.52, {{0.4, 0.008, 2.6}, {0.15, 0.031, 0.3}}},
    {237, 305, 20, 0.5, {{0.5, 0.006, 4.1}, {0.2, 0.017, 1.1}}},
};

static const int RidgeNoiseSize = 1024; // the profile's detail, over the design width
static const int RidgeOctaves = 10;
static const double HighestPeak = 150; // no range rises above this design row

// The value of one lattice point of one layer of detail, in -0.5..0.5.
static double RidgeLatticeValue(uint32_t Seed, int Octave, int Point) {
    uint32_t state = ScrambleNumber(Seed * 977u + static_cast<uint32_t>(Octave) * 131071u +
                                    static_cast<uint32_t>(Point) * 2654435761u);
    return NextRandom(state) - 0.5;
}

// A rough profile at a position in 0..RidgeNoiseSize: layers of ever finer
// detail, each Roughness times as strong as the one before.
static double RidgeNoiseAt(const RidgeShape& Shape, double At) {
    double height = 0;
    double strength = 1;
    int spacing = RidgeNoiseSize;
    for (int octave = 0; octave < RidgeOctaves; ++octave) {
        const int point = static_cast<int>(At / spacing);
        const double part = (At - point * spacing) / spacing;
        const double from = RidgeLatticeValue(Shape.Seed, octave, point);
        const double to = RidgeLatticeValue(Shape.Seed, octave, point + 1);
        height += (from + (to - from) * part) * strength;
        strength *= Shape.Roughness;
        spacing /= 2;
    }
    return height;
}

COLORREF MixColours(COLORREF From, COLORREF To, double Amount) {
    const double r = GetRValue(From) + (GetRValue(To) - GetRValue(From)) * Amount;
    const double g = GetGValue(From) + (GetGValue(To) - GetGValue(From)) * Amount;
    const double b = GetBValue(From) + (GetBValue(To) - GetBValue(From)) * Amount;
    return RGB(RoundToInt(r), RoundToInt(g), RoundToInt(b));
}

static COLORREF GradientColour(const ColourStop* Stops, int Count, double Position) {
    if (Position <= Stops[0].Position) {
        return Stops[0].Colour;
    }
    for (int i = 1; i < Count; ++i) {
        if (Position <= Stops[i].Position) {
            const double span = Stops[i].Position - Stops[i - 1].Position;
            return MixColours(Stops[i - 1].Colour, Stops[i].Colour,
                              (Position - Stops[i - 1].Position) / span);
        }
    }
    return Stops[Count - 1].Colour;
}

void LayOutPicture(PictureLayout& Layout, int Width, int Height) {
    Layout.Width = Width;
    Layout.Height = Height;
    Layout.ScaleX = static_cast<double>(Width) / DesignWidth;
    Layout.ScaleY = static_cast<double>(Height) / DesignHeight;
    Layout.Scale = Layout.ScaleX < Layout.ScaleY ? Layout.ScaleX : Layout.ScaleY;
    Layout.Horizon = RoundToInt(DesignHorizon * Layout.ScaleY);
    Layout.MoonX = RoundToInt(372 * Layout.ScaleX);
    Layout.MoonY = RoundToInt(84 * Layout.ScaleY);
    Layout.MoonRadius = RoundToInt(26 * Layout.Scale);
    if (Layout.MoonRadius < 2) {
        Layout.MoonRadius = 2;
    }
}

// The gradient's colour at design row Design of Extent rows, in bands of
// NearBand rows before row Split and FarBand rows from there on.
static COLORREF BandedColour(const ColourStop* Stops, int Count, int Design, int Extent, int Split,
                             int NearBand, int FarBand) {
    if (Design < 0) {
        Design = 0;
    }
    if (Design >= Extent) {
        Design = Extent - 1;
    }
    const int band = Design < Split ? NearBand : FarBand;
    return GradientColour(Stops, Count, static_cast<double>(Design / band * band) / Extent);
}

// Bands ten design rows high in the upper sky, six lower down.
COLORREF SkyColourAt(const PictureLayout& Layout, int Row) {
    return BandedColour(SkyStops, sizeof SkyStops / sizeof SkyStops[0],
                        static_cast<int>(Row / Layout.ScaleY), DesignHorizon, 200, 10, 6);
}

// Bands four design rows high near the shore, eight further out.
COLORREF WaterColourAt(const PictureLayout& Layout, int Row) {
    return BandedColour(WaterStops, sizeof WaterStops / sizeof WaterStops[0],
                        static_cast<int>((Row - Layout.Horizon) / Layout.ScaleY), DesignWaterDepth,
                        24, 4, 8);
}

int RidgeTopAt(const PictureLayout& Layout, int Ridge, int Column) {
    const RidgeShape& shape = RidgeShapes[Ridge];
    const double x = (Column + 0.5) / Layout.ScaleX;
    double at = x * RidgeNoiseSize / DesignWidth;
    at = at < 0 ? 0 : (at > RidgeNoiseSize ? RidgeNoiseSize : at);
    double height = RidgeNoiseAt(shape, at);
    for (const double* wave : shape.Waves) {
        height += wave[0] * Sine(x * wave[1] + wave[2]);
    }
    double top = shape.Base - shape.Amplitude * height;
    if (top < HighestPeak) {
        top = HighestPeak;
    }
    const int row = RoundToInt(top * Layout.ScaleY);
    return row < Layout.Horizon ? row : Layout.Horizon;
}

// The bank slopes from 96 design rows high at the left edge to nothing at 330.
static const double BankWidth = 330;
static const double BankHeight = 96;

int BankTopAt(const PictureLayout& Layout, int Column) {
    double rise = 1 - Column / Layout.ScaleX / BankWidth;
    if (rise < 0) {
        rise = 0;
    }
    return RoundToInt((DesignHeight - BankHeight * rise * SquareRoot(rise)) * Layout.ScaleY);
}

int BankRightEdge(const PictureLayout& Layout) {
    return RoundToInt(BankWidth * Layout.ScaleX);
}

// Foot (design column) and height (design rows) of each pine.
static const int Pines[PineCount][2] = {{16, 156}, {42, 124}, {68, 142}, {96, 100}, {122, 112},
                                        {148, 82}, {176, 72}, {204, 58}, {232, 44}};

// Five tiers of branches, each widening downwards and then stepping back in,
// over a short trunk that reaches the bottom. Right side down, left side up.
void OutlinePine(const PictureLayout& Layout, int Pine, POINT* Points) {
    const double s = Layout.ScaleY;
    const int foot = RoundToInt(Pines[Pine][0] * Layout.ScaleX);
    const double tall = Pines[Pine][1] * s;
    const double base = BankTopAt(Layout, foot) + 8 * s;
    const double top = base - tall;
    const int tiers = 5;
    int n = 0;
    for (int k = 0; k < tiers; ++k) {
        const double down0 = static_cast<double>(k) / tiers;
        const double down1 = static_cast<double>(k + 1) / tiers;
        Points[n].x = foot + RoundToInt((3 + 15 * down0) * 0.55 * s);
        Points[n++].y = RoundToInt(top + tall * down0);
        Points[n].x = foot + RoundToInt((3 + 15 * down1) * s);
        Points[n++].y = RoundToInt(top + tall * down1);
    }
    const int trunk = RoundToInt(1.5 * s) > 1 ? RoundToInt(1.5 * s) : 1;
    const int bottom = Layout.Height;
    const POINT trunkPoints[4] = {{foot + trunk, RoundToInt(base)},
                                  {foot + trunk, bottom},
                                  {foot - trunk, bottom},
                                  {foot - trunk, RoundToInt(base)}};
    for (const POINT& point : trunkPoints) {
        Points[n++] = point;
    }
    for (int i = 2 * tiers - 1; i >= 0; --i) {
        Points[n].x = 2 * foot - Points[i].x;
        Points[n++].y = Points[i].y;
    }
}

} // namespace Velmora
