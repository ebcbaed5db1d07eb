// Small GDI drawing helpers shared by the backdrop and the moving scene.
#pragma once

#include <windows.h>

namespace Velmora {

// A solid rectangle (right and bottom edges excluded).
void FillSolid(HDC Dc, int Left, int Top, int Right, int Bottom, COLORREF Colour);

// A solid ellipse around a centre.
void FillEllipse(HDC Dc, int CentreX, int CentreY, int RadiusX, int RadiusY, COLORREF Colour);

// A solid polygon without an outline.
void FillPolygon(HDC Dc, const POINT* Points, int Count, COLORREF Colour);

} // namespace Velmora
