// The menu told to assistive technology. The window has no controls of its
// own, so the system's accessible object for its client area is annotated
// instead: its name is the highlighted entry's caption, its role a push
// button, its description the keys. The system hears of every move of the
// highlight and of every change of the highlighted caption. Everything is
// looked up while running (ole32's COM and the annotation service it creates,
// user32's NotifyWinEvent); where a system lacks a part, that part does nothing.
#pragma once

#include <windows.h>

namespace Velmora {

// Looks everything up and annotates the role and description of Window; the
// next AnnounceMenu tells the system the highlight as new.
void StartMenuAccess(HWND Window);

// Brings the name up to date with the menu state and tells the system what
// changed since the last call: a focus event when the highlight moved, a name
// change when its caption changed. Its first call starts the module for
// MainWindow, after the window has been painted once.
void AnnounceMenu();

} // namespace Velmora
