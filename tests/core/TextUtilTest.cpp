#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
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

// At the edges of the range, bit for bit what strtod gives: the largest finite values,
// overflow to infinity, subnormals, and underflow to zero (with its sign) however the
// tiny value is written.
TEST(TextUtilTest, LeadingDoubleAtTheEdgesOfTheRangeReadsAsStrtod) {
    const char* const texts[] = {"1e-400",
                                 "-1e-400",
                                 "2e-324",
                                 "3e-324",
                                 "4.9e-324",
                                 "2.4703282292062328e-324",
                                 "2.4703282292062329e-324",
                                 "1e-310",
                                 "2.2250738585072011e-308",
                                 "0.0001e-320",
                                 "100000e-329",
                                 "0.000000000000000000000000001e-300",
                                 "1e-99999999999999999999999",
                                 "1.7976931348623157e308",
                                 "1.7976931348623158e308",
                                 "1.7976931348623159e308",
                                 "1e309",
                                 "-1e309",
                                 "0.001e312",
                                 "100e307",
                                 "1e99999999999999999999999",
                                 "1e+400",
                                 "0e99999",
                                 "0.0e-99999",
                                 "000.000001e-319",
                                 "1E-400",
                                 "1e-400km",
                                 " \t-7e-999."};
    for (const char* text : texts) {
        const double expected = std::strtod(text, nullptr);
        const double got = LeadingDouble(text);
        EXPECT_EQ(got, expected) << text;
        EXPECT_EQ(std::signbit(got), std::signbit(expected)) << text;
    }
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
