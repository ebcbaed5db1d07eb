// Start-up steps and the main loop's handling of key codes.
#pragma once

#include <cstdint>

namespace Velmora {

const uint16_t KeyEnter = 13;
const uint16_t KeyEscape = 27;
const uint16_t KeyUp = 38;
const uint16_t KeyDown = 40;

// The menu state of a fresh start: three entries, the first highlighted.
void ResetMenuState();

// Reads the picture's size from its header, allocates the pixel block and
// decodes into it. Tells the user and ends the program when the block
// cannot be had.
void LoadBackgroundImage();

// Captions 2 and 3; caption 1 comes from the installation check.
void SetMenuCaptions();

// The whole start-up, in this order: the modules' initialisation (support,
// then shell), menu state, picture, payload table, installation check,
// captions, window.
void StartSetup();

// What the main loop does with one key code from the input loop.
void HandleMenuKey(uint16_t Key);

} // namespace Velmora
