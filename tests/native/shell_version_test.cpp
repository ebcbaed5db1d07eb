// The Windows version classification as a function of the three version
// fields. Expected values are written out as numbers on purpose.
#include <gtest/gtest.h>

#include <cstdint>

#include "shell/shell_version.h"

using namespace Velmora;

namespace {

const uint32_t Win32s = 0;
const uint32_t Windows95Platform = 1;
const uint32_t NtPlatform = 2;

struct VersionCase {
    uint32_t Platform;
    uint32_t Major;
    uint32_t Minor;
    uint32_t Expected;
};

void ExpectClassifications(const VersionCase* Cases, size_t Count) {
    for (size_t Index = 0; Index < Count; ++Index) {
        const VersionCase& Case = Cases[Index];
        EXPECT_EQ(Case.Expected, ClassifyVersionFields(Case.Platform, Case.Major, Case.Minor))
            << "platform " << Case.Platform << ", version " << Case.Major << "." << Case.Minor;
    }
}

TEST(VersionClassification, Win32sIsOneWhateverItsVersion) {
    const VersionCase Cases[] = {
        {Win32s, 0, 0, 0x01},
        {Win32s, 1, 30, 0x01},
        {Win32s, 3, 1, 0x01},
        {Win32s, 4, 0, 0x01},
        {Win32s, 5, 1, 0x01},
        {Win32s, 10, 0, 0x01},
        {Win32s, 0xFFFFFFFF, 0xFFFFFFFF, 0x01},
    };
    ExpectClassifications(Cases, sizeof Cases / sizeof Cases[0]);
}

TEST(VersionClassification, NinetyFivePlatformGoesByTheMinorVersionOnly) {
    const VersionCase Cases[] = {
        {Windows95Platform, 4, 0, 0x02},  // Windows 95
        {Windows95Platform, 4, 1, 0x04},  // minor version exactly 1
        {Windows95Platform, 4, 10, 0x08}, // Windows 98: 10 is not 1
        {Windows95Platform, 4, 90, 0x08}, // Windows Me
        {Windows95Platform, 4, 2, 0x08},
        {Windows95Platform, 4, 0xFFFFFFFF, 0x08},
        // The major version is never looked at on this platform.
        {Windows95Platform, 0, 0, 0x02},
        {Windows95Platform, 5, 0, 0x02},
        {Windows95Platform, 0xFFFFFFFF, 0, 0x02},
        {Windows95Platform, 3, 1, 0x04},
        {Windows95Platform, 6, 1, 0x04},
        {Windows95Platform, 0, 10, 0x08},
        {Windows95Platform, 6, 90, 0x08},
    };
    ExpectClassifications(Cases, sizeof Cases / sizeof Cases[0]);
}

TEST(VersionClassification, NtPlatformGoesByTheMajorVersionOnly) {
    const VersionCase Cases[] = {
        {NtPlatform, 3, 51, 0x10},                                                     // NT 3.51
        {NtPlatform, 3, 10, 0x10}, {NtPlatform, 3, 0, 0x10}, {NtPlatform, 4, 0, 0x20}, // NT 4.0
        {NtPlatform, 4, 90, 0x20}, {NtPlatform, 4, 1, 0x20}, {NtPlatform, 5, 0, 0x40}, // 2000
        {NtPlatform, 5, 1, 0x40},                                                      // XP
        {NtPlatform, 5, 2, 0x40}, // Server 2003
        {NtPlatform, 5, 10, 0x40},
    };
    ExpectClassifications(Cases, sizeof Cases / sizeof Cases[0]);
}

TEST(VersionClassification, NtOutsideThreeToFiveTakesTheNearestNtClass) {
    const VersionCase Cases[] = {
        // 6 and later (Vista to 8.1 report 6.x, 10 and 11 report 10.0): newest class.
        {NtPlatform, 6, 0, 0x40},
        {NtPlatform, 6, 1, 0x40},
        {NtPlatform, 6, 2, 0x40},
        {NtPlatform, 6, 3, 0x40},
        {NtPlatform, 10, 0, 0x40},
        {NtPlatform, 0xFFFFFFFF, 0, 0x40},
        // Below 3: the oldest class.
        {NtPlatform, 2, 0, 0x10},
        {NtPlatform, 2, 99, 0x10},
        {NtPlatform, 1, 0, 0x10},
        {NtPlatform, 0, 0, 0x10},
    };
    ExpectClassifications(Cases, sizeof Cases / sizeof Cases[0]);
}

TEST(VersionClassification, EveryNtVersionLandsInsideTheNtMaskAndNothingElseDoes) {
    for (uint32_t Major = 0; Major <= 12; ++Major) {
        for (uint32_t Minor : {0u, 1u, 10u, 51u, 90u}) {
            const uint32_t Nt = ClassifyVersionFields(NtPlatform, Major, Minor);
            EXPECT_NE(0u, Nt & 0x70u) << Major << "." << Minor;
            EXPECT_EQ(0u, Nt & ~0x70u) << Major << "." << Minor;
            EXPECT_EQ(0u, ClassifyVersionFields(Win32s, Major, Minor) & 0x70u);
            EXPECT_EQ(0u, ClassifyVersionFields(Windows95Platform, Major, Minor) & 0x70u);
        }
    }
}

TEST(VersionClassification, UnknownPlatformsAreZero) {
    const VersionCase Cases[] = {
        {3, 0, 0, 0}, // Windows CE
        {3, 5, 0, 0}, {3, 6, 1, 0},          {4, 4, 0, 0},          {4, 10, 0, 0},
        {5, 5, 1, 0}, {0x80000000, 6, 1, 0}, {0xFFFFFFFF, 0, 0, 0}, {0xFFFFFFFF, 4, 10, 0},
    };
    ExpectClassifications(Cases, sizeof Cases / sizeof Cases[0]);
}

} // namespace
