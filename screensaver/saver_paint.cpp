#include "saver_paint.h"

namespace Velmora {

// An opaque text call with no text: the cheapest solid fill GDI has, and it
// needs no brush.
void FillSolid(HDC Dc, int Left, int Top, int Right, int Bottom, COLORREF Colour) {
    if (Right <= Left || Bottom <= Top) {
        return;
    }
    const RECT area = {Left, Top, Right, Bottom};
    SetBkColor(Dc, Colour);
    ExtTextOutA(Dc, 0, 0, ETO_OPAQUE, &area, "", 0, nullptr);
}

void FillEllipse(HDC Dc, int CentreX, int CentreY, int RadiusX, int RadiusY, COLORREF Colour) {
    HRGN region = CreateEllipticRgn(CentreX - RadiusX, CentreY - RadiusY, CentreX + RadiusX + 1,
                                    CentreY + RadiusY + 1);
    HBRUSH brush = CreateSolidBrush(Colour);
    if (region != nullptr && brush != nullptr) {
        FillRgn(Dc, region, brush);
    }
    if (brush != nullptr) {
        DeleteObject(brush);
    }
    if (region != nullptr) {
        DeleteObject(region);
    }
}

void FillPolygon(HDC Dc, const POINT* Points, int Count, COLORREF Colour) {
    HBRUSH brush = CreateSolidBrush(Colour);
    if (brush == nullptr) {
        return;
    }
    const HGDIOBJ oldBrush = SelectObject(Dc, brush);
    const HGDIOBJ oldPen = SelectObject(Dc, GetStockObject(NULL_PEN));
    Polygon(Dc, Points, Count);
    SelectObject(Dc, oldPen);
    SelectObject(Dc, oldBrush);
    DeleteObject(brush);
}

} // namespace Velmora
