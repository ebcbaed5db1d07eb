// The still part of the picture, painted once per window size: sky, moon
// and halo, mountains, the lake with their reflection and a few ripples.
// The shore goes in front of it once as well; the stars, the cloud, the
// shooting star, the rolling water and the moon's path change every frame.
#pragma once

#include <windows.h>

#include "saver_picture.h"

namespace Velmora {

// Paints the whole Layout.Width x Layout.Height area of Dc.
void PaintBackdrop(HDC Dc, const PictureLayout& Layout);

} // namespace Velmora
