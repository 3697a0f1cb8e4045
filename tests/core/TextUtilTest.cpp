#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/TextUtil.h"

using TextUtil::LeadingDouble;
using TextUtil::LeadingInt;

TEST(TextUtilTest, LeadingIntReadsLikeAtoi) {
    EXPECT_EQ(LeadingInt("0007"), 7);
    EXPECT_EQ(LeadingInt("7abc"), 7);
    EXPECT_EQ(LeadingInt("  \t-12 km"), -12);
    EXPECT_EQ(LeadingInt("+42"), 42);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_EQ(LeadingInt("abc"), 0);
    EXPECT_EQ(LeadingInt("- 5"), 0);
    EXPECT_EQ(LeadingInt("--5"), 0);
    EXPECT_EQ(LeadingInt("12.9"), 12);
    EXPECT_EQ(LeadingInt("99999999999999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(LeadingInt("-99999999999999999999"), std::numeric_limits<int32_t>::min());
}

TEST(TextUtilTest, LeadingDoubleReadsLikeAtofInTheCLocale) {
    EXPECT_DOUBLE_EQ(LeadingDouble("55,75"), 55.0);  // a comma is no decimal point
    EXPECT_DOUBLE_EQ(LeadingDouble("55.75 (12.00)"), 55.75);
    EXPECT_DOUBLE_EQ(LeadingDouble("  -3.5x"), -3.5);
    EXPECT_DOUBLE_EQ(LeadingDouble("+2"), 2.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingDouble("1.5e2km"), 150.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("7e"), 7.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("."), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("abc"), 0.0);
    EXPECT_TRUE(std::isinf(LeadingDouble("1e999")));
}

TEST(TextUtilTest, SplitLinesEndsAtCrAndDropsLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(TextUtil::SplitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(TextUtil::SplitLines("a\r\nb"), (Lines{"a"}));  // no CR, no line
    EXPECT_EQ(TextUtil::SplitLines("\r\r\n"), (Lines{"", ""}));
    EXPECT_EQ(TextUtil::SplitLines("x\ny\r"), (Lines{"xy"}));
    EXPECT_EQ(TextUtil::SplitLines("only\n"), Lines{});
    EXPECT_EQ(TextUtil::SplitLines(""), Lines{});
}

TEST(TextUtilTest, FormatUsesCNumbers) {
    EXPECT_EQ(TextUtil::Format("%.02f (%.02f)", 1.5, 0.0), "1.50 (0.00)");
    EXPECT_EQ(TextUtil::Format("%04i", 7), "0007");
    EXPECT_EQ(TextUtil::Format("%s", ""), "");
}
