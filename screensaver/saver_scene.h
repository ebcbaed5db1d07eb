// The animated picture: the backdrop for the window's size, and on top of it
// every frame the twinkling stars, a shooting star now and then, a drifting
// cloud, the rippling reflection, the moon's shimmering path on the water
// and the dark shore. Each frame goes into a memory bitmap first and reaches
// the window in one copy.
#pragma once

#include <cstdint>

#include <windows.h>

namespace Velmora {

// Makes the bitmaps and the layout for a Width x Height window (again only
// when the size changed). False when the bitmaps cannot be made.
bool PrepareSaverScene(HDC WindowDc, int Width, int Height);

// Draws the frame for a moment of the animation, in milliseconds from its start.
void DrawSaverFrame(uint32_t Milliseconds);

// Copies the last frame drawn to a window's device context.
void PresentSaverFrame(HDC WindowDc);

void FreeSaverScene();

} // namespace Velmora
