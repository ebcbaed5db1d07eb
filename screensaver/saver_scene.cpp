// What is drawn once per window size: the backdrop, the shore in front of
// it, where the stars and the streaks of moonlight lie, and which columns of
// each row of water the shore covers.
#include "saver_scene.h"

#include "saver_backdrop.h"
#include "saver_maths.h"
#include "saver_paint.h"
#include "saver_random.h"
#include "saver_scene_state.h"
#include "support/support_bytes.h"

namespace Velmora {

static const double Pi = 3.14159265358979;
static const int BankSamples = 56;

static SceneState* Scenes[MaxScreens];
SceneState* Scene;

void FillPixels(const PixelBuffer& Buffer, int Left, int Top, int Right, int Bottom,
                uint32_t Pixel) {
    Left = Left < 0 ? 0 : Left;
    Top = Top < 0 ? 0 : Top;
    Right = Right > Buffer.Width ? Buffer.Width : Right;
    Bottom = Bottom > Buffer.Height ? Buffer.Height : Bottom;
    for (int row = Top; row < Bottom; ++row) {
        uint32_t* pixels = PixelRow(Buffer, row);
        for (int column = Left; column < Right; ++column) {
            pixels[column] = Pixel;
        }
    }
}

void RestoreBackdrop(const RECT& Area) {
    const int left = Area.left < 0 ? 0 : Area.left;
    const int right = Area.right > Scene->Frame.Width ? Scene->Frame.Width : Area.right;
    const int bottom = Area.bottom > Scene->Frame.Height ? Scene->Frame.Height : Area.bottom;
    for (int row = Area.top < 0 ? 0 : Area.top; row < bottom && left < right; ++row) {
        CopyBytes(PixelRow(Scene->Frame, row) + left, PixelRow(Scene->Backdrop, row) + left,
                  (right - left) * sizeof(uint32_t));
    }
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
        if (SquareRoot(dx * dx + dy * dy) < clearOfMoon || y < margin) {
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

// The stars reach the window through one copy clipped to their squares.
static bool GatherStars() {
    const POINT at = Scene->Origin;
    Scene->StarRegion = CreateRectRgn(0, 0, 0, 0);
    for (int i = 0; i < Scene->StarCount && Scene->StarRegion != nullptr; ++i) {
        const RECT square = StarSquare(Scene->Stars[i], Scene->DotSize);
        HRGN part = CreateRectRgn(square.left + at.x, square.top + at.y, square.right + at.x,
                                  square.bottom + at.y);
        if (part == nullptr) {
            return false;
        }
        CombineRgn(Scene->StarRegion, Scene->StarRegion, part, RGN_OR);
        DeleteObject(part);
    }
    RECT& box = Scene->StarBox;
    if (Scene->StarRegion == nullptr || GetRgnBox(Scene->StarRegion, &box) == 0) {
        return false;
    }
    box = {box.left - at.x, box.top - at.y, box.right - at.x, box.bottom - at.y};
    return true;
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
        streak.DrawnLeft = 0;
        streak.DrawnRight = 0;
    }
}

// The dark bank in the lower left and its stand of pines.
static void PaintShore(HDC Dc, const PictureLayout& Layout) {
    POINT bank[BankSamples + 3];
    const int right = BankRightEdge(Layout);
    for (int i = 0; i <= BankSamples; ++i) {
        const int x = right * i / BankSamples;
        bank[i] = {x, BankTopAt(Layout, x)};
    }
    bank[BankSamples + 1] = {right, Layout.Height};
    bank[BankSamples + 2] = {0, Layout.Height};
    FillPolygon(Dc, bank, BankSamples + 3, BankColour);
    POINT pine[PineOutlinePoints];
    for (int i = 0; i < PineCount; ++i) {
        OutlinePine(Layout, i, pine);
        FillPolygon(Dc, pine, PineOutlinePoints, BankColour);
    }
}

// The shore's runs in each row of water, read off the frame's water rows
// where they hold nothing but the shore. Counts them first when Runs is null.
static int CollectShoreRuns(ShoreRun* Runs) {
    const PixelBuffer& frame = Scene->Frame;
    int count = 0;
    for (int i = 0; i < Scene->WaterRows; ++i) {
        const uint32_t* pixels = PixelRow(frame, Scene->Layout.Horizon + i);
        if (Runs != nullptr) {
            Scene->ShoreFirst[i] = count;
        }
        for (int column = 0; column < frame.Width;) {
            if (pixels[column] == 0) {
                ++column;
                continue;
            }
            const int left = column;
            while (column < frame.Width && pixels[column] != 0) {
                ++column;
            }
            if (Runs != nullptr) {
                Runs[count] = {left, column};
            }
            ++count;
        }
    }
    if (Runs != nullptr) {
        Scene->ShoreFirst[Scene->WaterRows] = count;
    }
    return count;
}

static void* AllocateZeroed(size_t Bytes) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, Bytes);
}

// The frame starts as the still picture: the backdrop with the shore in
// front. The shore is painted once over empty water rows, so that each
// row's runs can be read off, and then over the backdrop's water.
static bool PaintStillFrame() {
    const PictureLayout& layout = Scene->Layout;
    const PixelBuffer& frame = Scene->Frame;
    const size_t rowBytes = frame.Width * sizeof(uint32_t);
    const int water = layout.Horizon < layout.Height ? layout.Horizon : layout.Height;
    Scene->WaterRows = layout.Height - water;
    GdiFlush();
    CopyBytes(frame.Bits, Scene->Backdrop.Bits, water * rowBytes);
    FillBytes(PixelRow(frame, water), 0, Scene->WaterRows * rowBytes);
    PaintShore(frame.Dc, layout);
    GdiFlush();
    const int rows = Scene->WaterRows;
    Scene->RowBlock = static_cast<int*>(AllocateZeroed((4 * rows + 1) * sizeof(int)));
    const int runs = CollectShoreRuns(nullptr);
    Scene->ShoreRuns = static_cast<ShoreRun*>(AllocateZeroed((runs + 1) * sizeof(ShoreRun)));
    if (Scene->RowBlock == nullptr || Scene->ShoreRuns == nullptr) {
        return false;
    }
    Scene->StripShift = Scene->RowBlock;
    Scene->DirtyLeft = Scene->StripShift + rows;
    Scene->DirtyRight = Scene->DirtyLeft + rows;
    Scene->ShoreFirst = Scene->DirtyRight + rows;
    CollectShoreRuns(Scene->ShoreRuns);
    CopyBytes(PixelRow(frame, water), PixelRow(Scene->Backdrop, water), rows * rowBytes);
    const uint32_t bank = PixelOf(BankColour);
    for (int i = 0; i < rows; ++i) {
        for (int run = Scene->ShoreFirst[i]; run < Scene->ShoreFirst[i + 1]; ++run) {
            FillPixels(frame, Scene->ShoreRuns[run].Left, water + i, Scene->ShoreRuns[run].Right,
                       water + i + 1, bank);
        }
    }
    return true;
}

static bool MakeBuffer(HDC WindowDc, int Width, int Height, PixelBuffer& Buffer) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Buffer.Dc = CreateCompatibleDC(WindowDc);
    Buffer.Bitmap = CreateDIBSection(WindowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (Buffer.Dc == nullptr || Buffer.Bitmap == nullptr || bits == nullptr) {
        return false;
    }
    Buffer.Plain = SelectObject(Buffer.Dc, Buffer.Bitmap);
    Buffer.Bits = static_cast<uint32_t*>(bits);
    Buffer.Width = Width;
    Buffer.Height = Height;
    return true;
}

static void FreeBuffer(PixelBuffer& Buffer) {
    if (Buffer.Dc != nullptr && Buffer.Plain != nullptr) {
        SelectObject(Buffer.Dc, Buffer.Plain);
    }
    if (Buffer.Bitmap != nullptr) {
        DeleteObject(Buffer.Bitmap);
    }
    if (Buffer.Dc != nullptr) {
        DeleteDC(Buffer.Dc);
    }
    Buffer = PixelBuffer();
}

static void FreeBlock(void* Block) {
    if (Block != nullptr) {
        HeapFree(GetProcessHeap(), 0, Block);
    }
}

static void FreeScene(SceneState* State) {
    if (State == nullptr) {
        return;
    }
    FreeBuffer(State->Backdrop);
    FreeBuffer(State->Frame);
    if (State->StarRegion != nullptr) {
        DeleteObject(State->StarRegion);
        State->StarRegion = nullptr;
    }
    FreeBlock(State->RowBlock);
    FreeBlock(State->ShoreRuns);
    State->RowBlock = nullptr;
    State->ShoreRuns = nullptr;
    State->Ready = false;
}

void FreeSaverScenes(int First) {
    for (int i = First; i < MaxScreens; ++i) {
        FreeScene(Scenes[i]);
    }
}

// Each screen's clouds and shooting stars differ from the others' and from
// run to run.
void UseSaverScene(int Screen) {
    SceneState*& state = Scenes[Screen];
    if (state == nullptr) {
        state = static_cast<SceneState*>(AllocateZeroed(sizeof(SceneState)));
        if (state != nullptr) {
            state->Variety = ScrambleNumber(GetTickCount() + Screen * 2654435761u) | 1;
        }
    }
    Scene = state;
}

bool PrepareSaverScene(HDC WindowDc, const RECT& Area) {
    if (Scene == nullptr) {
        UseSaverScene(0);
        if (Scene == nullptr) {
            return false;
        }
    }
    const int width = Area.right - Area.left;
    const int height = Area.bottom - Area.top;
    if (Scene->Ready && Scene->Layout.Width == width && Scene->Layout.Height == height &&
        Scene->Origin.x == Area.left && Scene->Origin.y == Area.top) {
        return true;
    }
    FreeScene(Scene);
    Scene->Origin = {Area.left, Area.top};
    if (width <= 0 || height <= 0) {
        return false;
    }
    if (!MakeBuffer(WindowDc, width, height, Scene->Backdrop) ||
        !MakeBuffer(WindowDc, width, height, Scene->Frame)) {
        FreeScene(Scene);
        return false;
    }
    PictureLayout& layout = Scene->Layout;
    LayOutPicture(layout, width, height);
    Scene->DotSize = AtLeastOne(layout.Scale * 0.85 - 0.5);
    Scene->StripHeight = AtLeastOne(layout.ScaleY * 0.9);
    Scene->LineHeight = AtLeastOne(layout.ScaleY * 0.9);
    PaintBackdrop(Scene->Backdrop.Dc, layout);
    if (!PaintStillFrame()) {
        FreeScene(Scene);
        return false;
    }
    PlaceStars();
    PlaceStreaks();
    if (!GatherStars()) {
        FreeScene(Scene);
        return false;
    }
    Scene->CloudDrawn = RECT();
    Scene->ShootingDrawn = RECT();
    Scene->Ready = true;
    return true;
}

void PresentSaverFrame(HDC WindowDc) {
    if (Scene != nullptr && Scene->Ready) {
        BitBlt(WindowDc, Scene->Origin.x, Scene->Origin.y, Scene->Layout.Width,
               Scene->Layout.Height, Scene->Frame.Dc, 0, 0, SRCCOPY);
    }
}

} // namespace Velmora
