// Which names make the install action touch system.ini.
#include <gtest/gtest.h>

#include "actions/screensaver_name.h"

using namespace Velmora;

namespace {

TEST(ScreensaverName, TheLastFourCharactersMustReadDotScrInAnyCase) {
    for (const char* name : {"Velmora.scr", "VELMORA.SCR", "v.ScR", ".scr", "a.b.scr"}) {
        EXPECT_TRUE(IsScreensaverName(name)) << name;
    }
    for (const char* name : {"Velmora.txt", "Velmora.scr ", "Velmora.sc", "scr", "", "Velmora_scr",
                             "Velmora.scrx", "Velmora.scx"}) {
        EXPECT_FALSE(IsScreensaverName(name)) << name;
    }
}

TEST(ScreensaverName, ShortNamesArePaddedWithBlanksAndNeverMatch) {
    // A blank-padded tail can only equal ".SCR" if the name supplies all four.
    EXPECT_FALSE(IsScreensaverName("SCR"));
    EXPECT_FALSE(IsScreensaverName(" SCR"));
    EXPECT_TRUE(IsScreensaverName(" .SCR"));
}

} // namespace
