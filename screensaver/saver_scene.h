// The animated picture. What stands still (sky, moon, mountains, lake and
// shore) is painted once per window size; every frame only the moving
// parts are drawn and only the areas they changed reach the window: in the
// sky the twinkling stars, a shooting star now and then and a drifting
// cloud; on the lake the rippling reflection and the moon's shimmering path.
#pragma once

#include <cstdint>

#include <windows.h>

namespace Velmora {

// Each screen has a scene of its own, laid out for its size: the routines
// below work on the one chosen last (the first until another is chosen).
const int MaxScreens = 16;
void UseSaverScene(int Screen);

// Makes the pictures and the layout for the Area of a window that the scene
// fills (again only when the area changed). False when the pictures cannot
// be made.
bool PrepareSaverScene(HDC WindowDc, const RECT& Area);

// Draw the sky's or the water's moving parts for a moment of the animation,
// in milliseconds from its start, and copy the areas that changed to
// WindowDc (nothing is copied when it is null).
void UpdateSaverSky(HDC WindowDc, uint32_t Milliseconds);
void UpdateSaverWater(HDC WindowDc, uint32_t Milliseconds);

// Copies the whole picture as last drawn to a window's device context.
void PresentSaverFrame(HDC WindowDc);

// Frees the pictures of every scene from screen First on.
void FreeSaverScenes(int First = 0);

} // namespace Velmora
