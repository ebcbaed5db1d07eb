// The screensaver's command line: the program name cut off a full line, and
// the switch with its window handle read from the rest.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "saver_args.h"

using namespace Velmora;

namespace {

struct NameCase {
    const char* Line;
    const char* Rest;
};

// Quoted names may hold blanks and need no blank after the closing quote;
// unquoted ones end at the first blank or tab.
const NameCase NameCases[] = {
    {"\"C:\\Program Files\\Velmora.scr\" /s", "/s"},
    {"\"C:\\Program Files\\Velmora.scr\"/p 123", "/p 123"},
    {"\"C:\\Program Files\\Velmora.scr\"", ""},
    {"\"\" /c", "/c"},
    {"\"C:\\Velmora.scr /s", ""}, // no closing quote: all of it is the name
    {"C:\\WINDOWS\\VELMORA.SCR /p 66", "/p 66"},
    {"Velmora.scr\t-S", "-S"},
    {"Velmora.scr", ""},
    {"   Velmora.scr    /c:42  ", "/c:42  "},
    {"  \"Velmora.scr\"   /a", "/a"},
    {"Velmora\"x y\".scr /s", "y\".scr /s"}, // a quote inside a bare name is an ordinary character
    {"", ""},
    {"    ", ""},
};

TEST(SaverProgramName, SkipsQuotedAndBareNames) {
    for (const NameCase& c : NameCases) {
        EXPECT_EQ(std::string(c.Rest), std::string(SkipProgramName(c.Line))) << "line: " << c.Line;
    }
    EXPECT_STREQ("", SkipProgramName(nullptr));
}

struct SwitchCase {
    const char* Rest;
    SaverMode Mode;
    uint32_t Handle;
};

const SwitchCase SwitchCases[] = {
    // Full screen, in either case and with either introducer.
    {"/s", SaverRunFullScreen, 0},
    {"/S", SaverRunFullScreen, 0},
    {"-s", SaverRunFullScreen, 0},
    {"-S", SaverRunFullScreen, 0},
    {"  /s  ", SaverRunFullScreen, 0},
    {"/s 123", SaverRunFullScreen, 0}, // no handle with /s
    {"/s:9", SaverRunFullScreen, 0},
    {"/s /p 5", SaverRunFullScreen, 0}, // only the first switch counts
    // Preview, with the handle after blanks or a colon.
    {"/p 123", SaverShowPreview, 123},
    {"/p:123", SaverShowPreview, 123},
    {"-P 4660", SaverShowPreview, 4660},
    {"/P\t\t77", SaverShowPreview, 77},
    {"/p   8   ", SaverShowPreview, 8},
    {"/p: 31", SaverShowPreview, 31},
    {"/p123", SaverShowPreview, 123},
    {"/p 0123", SaverShowPreview, 123},
    {"/p 12 34", SaverShowPreview, 12}, // what follows the handle is ignored
    {"/p 4294967295", SaverShowPreview, 0xFFFFFFFFu},
    // Preview with no usable handle: 0.
    {"/p", SaverShowPreview, 0},
    {"/p ", SaverShowPreview, 0},
    {"/p:", SaverShowPreview, 0},
    {"/p abc", SaverShowPreview, 0},
    {"/p 12ab", SaverShowPreview, 0},
    {"/p -12", SaverShowPreview, 0},
    {"/p +12", SaverShowPreview, 0},
    {"/p 0x1F", SaverShowPreview, 0},
    {"/p 4294967296", SaverShowPreview, 0},
    {"/p 4294967297", SaverShowPreview, 0}, // not cut down to 32 bits
    {"/p 99999999999999999999999", SaverShowPreview, 0},
    // Options, with and without an owner window.
    {"/c", SaverShowOptions, 0},
    {"/C", SaverShowOptions, 0},
    {"/c:1234", SaverShowOptions, 1234},
    {"-c 56", SaverShowOptions, 56},
    {"/c:xyz", SaverShowOptions, 0},
    // Password change on old systems.
    {"/a", SaverChangePassword, 0},
    {"-A", SaverChangePassword, 0},
    {"/a 123", SaverChangePassword, 0},
    // No switch, or one it does not know: options.
    {"", SaverShowOptions, 0},
    {"   ", SaverShowOptions, 0},
    {"/", SaverShowOptions, 0},
    {"-", SaverShowOptions, 0},
    {"/x", SaverShowOptions, 0},
    {"/x 123", SaverShowOptions, 0},
    {"/save", SaverShowOptions, 0},
    {"/preview 12", SaverShowOptions, 0},
    {"s", SaverShowOptions, 0},
    {"p 123", SaverShowOptions, 0},
    {"//s", SaverShowOptions, 0},
    {"/?", SaverShowOptions, 0},
    {"\\s", SaverShowOptions, 0},
};

TEST(SaverSwitches, ModeAndHandleForEachForm) {
    for (const SwitchCase& c : SwitchCases) {
        const SaverArgs args = ParseSaverArgs(c.Rest);
        EXPECT_EQ(c.Mode, args.Mode) << "rest: \"" << c.Rest << "\"";
        EXPECT_EQ(c.Handle, args.Handle) << "rest: \"" << c.Rest << "\"";
    }
    const SaverArgs none = ParseSaverArgs(nullptr);
    EXPECT_EQ(SaverShowOptions, none.Mode);
    EXPECT_EQ(0u, none.Handle);
}

// The two steps together, as the program runs them on its own command line.
TEST(SaverSwitches, FullCommandLines) {
    const SaverArgs preview = ParseSaverArgs(SkipProgramName("\"C:\\My Saver\\V.scr\" /p 70000"));
    EXPECT_EQ(SaverShowPreview, preview.Mode);
    EXPECT_EQ(70000u, preview.Handle);
    // A switch-like word inside a quoted name is part of the name.
    const SaverArgs quoted = ParseSaverArgs(SkipProgramName("\"C:\\x /s\\V.scr\""));
    EXPECT_EQ(SaverShowOptions, quoted.Mode);
    const SaverArgs bare = ParseSaverArgs(SkipProgramName("V.scr -s"));
    EXPECT_EQ(SaverRunFullScreen, bare.Mode);
    const SaverArgs nameOnly = ParseSaverArgs(SkipProgramName("V.scr"));
    EXPECT_EQ(SaverShowOptions, nameOnly.Mode);
    EXPECT_EQ(0u, nameOnly.Handle);
}

} // namespace
