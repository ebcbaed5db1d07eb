// Test hooks: this thread's message boxes, read back and answered; and import
// slots, shared with the code under test, pointed elsewhere to inject failures.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace VelmoraTest {

// Each box as "caption|text|buttons|icon", e.g. " Error|text|OK|exclamation";
// buttons "OK" or "OK,Cancel", icon "exclamation", "question", "information", "none", "other".
typedef std::vector<std::string> Boxes;

// Answers in order: a button id clicked, or a key pressed (PressEnter...);
// without one left, Cancel.
const int PressEnter = -VK_RETURN, PressEscape = -VK_ESCAPE;
void WatchMessageBoxes(const std::vector<int>& Answers = {});
Boxes StopWatching(); // the boxes seen since WatchMessageBoxes
// Points an import slot (__imp_Name) at Replacement; returns what it held.
void* SwapImport(void** Slot, void* Replacement);

} // namespace VelmoraTest
