// The screen saver password of Windows 95, 98 and ME. Those systems leave it
// to the screen saver: with "Password protected" ticked, it locks task
// switching while it runs and asks the system's password box before it ends.
// The NT family checks the password itself, so there nothing here asks.
#pragma once

#include <windows.h>

namespace Velmora {

// For a full-screen run: reads once whether this is 95, 98 or ME with the
// password on and the system's password routine at hand; if so, locks task
// switching until EndSaverPassword.
void StartSaverPassword();

// Whether the full-screen saver may end now: always without a password;
// with one, only when the user gives it in the system's box, asked for
// Window. Asks nothing while that box is already open.
bool SaverPasswordLetsGo(HWND Window);

// Unlocks task switching and lets the password routine go; safe to call
// when nothing was started.
void EndSaverPassword();

// The /a switch: the system's dialog that changes the screen saver password,
// owned by Owner, or by the foreground window when Owner is not a window.
// Returns the exit code: 0, or 1 (after saying so) when the system has no
// such dialog.
int ChangeSaverPassword(HWND Owner);

} // namespace Velmora
