// The still part of the picture, painted once per window size: sky, moon
// and halo, mountains, the lake with their reflection and a few ripples.
// Stars, the moon's path on the water and the shore are drawn every frame.
#pragma once

#include <windows.h>

#include "saver_picture.h"

namespace Velmora {

// Paints the whole Layout.Width x Layout.Height area of Dc.
void PaintBackdrop(HDC Dc, const PictureLayout& Layout);

} // namespace Velmora
