// The screensaver's command line: which of its four jobs it is asked to do.
// Pure text handling, the same on every build and testable off Windows.
#pragma once

#include <cstdint>

namespace Velmora {

enum SaverMode : uint8_t {
    SaverShowOptions,    // /c, no switch at all, or a switch it does not know
    SaverRunFullScreen,  // /s
    SaverShowPreview,    // /p <window>
    SaverChangePassword, // /a <window> (95, 98 and ME): change the password
};

struct SaverArgs {
    SaverMode Mode;
    // The window handle given with /p, /c or /a, as its decimal value; 0 when none
    // was given or it is not a plain decimal number that fits in 32 bits
    // (window handles are 32-bit values on 32- and 64-bit Windows alike).
    uint32_t Handle;
};

// The rest of a full command line after the program name, which is either
// quoted (up to the closing quote) or runs up to the first blank. Leading
// blanks of the rest are skipped. A null line gives an empty one.
const char* SkipProgramName(const char* CommandLine);

// Reads the switch: '/' or '-', then one letter in either case, ended by a
// blank, a ':', a digit or the end of the line. /p, /c and /a take a decimal
// handle after a ':' or blanks. Anything after that is ignored.
SaverArgs ParseSaverArgs(const char* CommandLineAfterProgramName);

} // namespace Velmora
