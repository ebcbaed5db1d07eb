// Velmora.scr: a moonlit lake at night, as a Windows screensaver. Windows
// runs it with /s to show it, /p <window> for the preview in the display
// settings, /c for its settings and /a to change the password.

#include <cstdint>

#include <windows.h>

#include "saver_args.h"
#include "saver_maths.h"
#include "saver_options.h"
#include "saver_password.h"
#include "saver_window.h"

using namespace Velmora;

// Window handles travel on the command line as their 32-bit value.
static HWND WindowFromHandleValue(uint32_t Value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(Value));
}

static int RunSaver() {
    const SaverArgs args = ParseSaverArgs(SkipProgramName(GetCommandLineA()));
    switch (args.Mode) {
    case SaverRunFullScreen:
        return RunFullScreenSaver();
    case SaverShowPreview:
        if (args.Handle == 0 || !IsWindow(WindowFromHandleValue(args.Handle))) {
            return 1;
        }
        return RunPreviewSaver(WindowFromHandleValue(args.Handle));
    case SaverChangePassword:
        return ChangeSaverPassword(WindowFromHandleValue(args.Handle));
    case SaverShowOptions:
        break;
    }
    ShowSaverOptions(WindowFromHandleValue(args.Handle));
    return 0;
}

// The entry point: no C runtime's start-up runs before it (support_runtime.cpp).
extern "C" void SaverEntry() {
    ResetFloatingPoint();
    ExitProcess(RunSaver());
}
