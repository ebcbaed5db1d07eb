// Byte strings capped at 255 characters.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/support_strings.h"

using namespace Velmora;

namespace {

TEST(ShortStrings, AssignAndAppendKeepShortTextsWhole) {
    ShortString text;
    EXPECT_TRUE(AssignString(text, "C:\\WINDOWS"));
    EXPECT_TRUE(AppendString(text, "\\"));
    EXPECT_TRUE(AppendString(text, "Velmora.scr"));
    EXPECT_STREQ("C:\\WINDOWS\\Velmora.scr", text);
    EXPECT_TRUE(AssignString(text, ""));
    EXPECT_STREQ("", text);
}

TEST(ShortStrings, ALongerResultKeepsItsFirst255Characters) {
    ShortString text;
    std::memset(text, 'x', sizeof text); // no NUL where the cap lies
    const std::string head(250, 'a');
    EXPECT_TRUE(AssignString(text, head.c_str()));
    EXPECT_FALSE(AppendString(text, "0123456789"));
    EXPECT_EQ(head + "01234", std::string(text));
    EXPECT_EQ(255u, std::strlen(text));
    EXPECT_FALSE(AppendString(text, "z"));
    EXPECT_EQ(255u, std::strlen(text));
}

TEST(ShortStrings, ExactlyFullIsNotCut) {
    ShortString text;
    const std::string full(255, 'b');
    EXPECT_TRUE(AssignString(text, full.c_str()));
    EXPECT_EQ(full, std::string(text));
    EXPECT_TRUE(AppendString(text, ""));
    EXPECT_FALSE(AssignString(text, (full + "c").c_str()));
    EXPECT_EQ(full, std::string(text));
}

TEST(ShortStrings, DecimalNumbersAreSignedWithoutPadding) {
    ShortString text;
    AssignString(text, "(");
    EXPECT_TRUE(AppendDecimal(text, -3));
    EXPECT_TRUE(AppendString(text, ")"));
    EXPECT_STREQ("(-3)", text);
    const struct {
        long value;
        std::string expected;
    } cases[] = {{0, "0"},
                 {-5, "-5"},
                 {10, "10"},
                 {35840, "35840"},
                 {LONG_MIN, std::to_string(LONG_MIN)},
                 {LONG_MAX, std::to_string(LONG_MAX)}};
    for (const auto& c : cases) {
        AssignString(text, "");
        EXPECT_TRUE(AppendDecimal(text, c.value));
        EXPECT_EQ(c.expected, std::string(text));
    }
    const std::string nearlyFull(253, 'n');
    AssignString(text, nearlyFull.c_str());
    EXPECT_FALSE(AppendDecimal(text, -40));
    EXPECT_EQ(nearlyFull + "-4", std::string(text));
}

} // namespace
