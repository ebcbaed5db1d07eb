// The Windows version classification as a function of the three version
// fields. Expected values are written out as numbers on purpose.
#include <gtest/gtest.h>

#include <cstdint>

#include "shell/shell_version.h"

using namespace Velmora;

namespace {

const uint32_t Any = 0xFFFFFFFF;

// Platform, major, minor, classification. Win32s (platform 0): 1 whatever its
// version. The 95 line (1) goes by the minor only: 95 is 0, minor 1 has a
// class of its own, every other minor (98 is 10, Me 90) is 98. NT (2) goes by
// the major only: 3.51; 4.0; 2000, XP, 2003 (5.x); Vista to 8.1 (6.x), 10 and
// 11 (10.0) take the newest class, majors below 3 the oldest. Platform ids 3
// (Windows CE) and above: none of the classes.
const uint32_t Cases[][4] = {
    {0, 0, 0, 0x01},       {0, 1, 30, 0x01},  {0, 4, 0, 0x01},   {0, 10, 0, 0x01},
    {0, Any, Any, 0x01},   {1, 4, 0, 0x02},   {1, 4, 1, 0x04},   {1, 4, 10, 0x08},
    {1, 4, 90, 0x08},      {1, 4, 2, 0x08},   {1, 4, Any, 0x08}, {1, 0, 0, 0x02},
    {1, Any, 0, 0x02},     {1, 3, 1, 0x04},   {1, 6, 1, 0x04},   {1, 0, 10, 0x08},
    {2, 3, 51, 0x10},      {2, 3, 0, 0x10},   {2, 4, 0, 0x20},   {2, 4, 90, 0x20},
    {2, 4, 1, 0x20},       {2, 5, 0, 0x40},   {2, 5, 1, 0x40},   {2, 5, 2, 0x40},
    {2, 5, 10, 0x40},      {2, 6, 0, 0x40},   {2, 6, 1, 0x40},   {2, 6, 3, 0x40},
    {2, 10, 0, 0x40},      {2, Any, 0, 0x40}, {2, 2, 0, 0x10},   {2, 2, 99, 0x10},
    {2, 1, 0, 0x10},       {2, 0, 0, 0x10},   {3, 0, 0, 0},      {3, 5, 0, 0},
    {3, 6, 1, 0},          {4, 4, 0, 0},      {4, 10, 0, 0},     {5, 5, 1, 0},
    {0x80000000, 6, 1, 0}, {Any, 0, 0, 0},    {Any, 4, 10, 0}};

TEST(VersionClassification, EveryRowAndItsEdges) {
    for (const auto& Case : Cases) {
        const uint32_t Class = ClassifyVersionFields(Case[0], Case[1], Case[2]);
        EXPECT_EQ(Case[3], Class) << "platform " << Case[0] << ", " << Case[1] << "." << Case[2];
        // The folder routines keep the all-users folders for NT by this mask.
        EXPECT_EQ(Case[0] == 2, (Class & VersionNtMask) != 0) << Class;
    }
}

} // namespace
