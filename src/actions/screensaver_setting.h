// The system's screen saver settings that Install changes or must respect.
#pragma once

namespace Velmora {

// Switches the screen saver on, lasting (the user's profile), and tells the
// running programs without waiting for any of them. False when the system
// refused the setting.
bool SwitchScreensaverOn();

// True when the organisation's policy decides the screen saver against Name:
// none at all, or another file than Name (compared by file name, any letter
// case).
bool PolicyOverridesScreensaver(const char* Name);

} // namespace Velmora
