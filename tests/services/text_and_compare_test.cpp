#include "services/compare_text.h"
#include "services/text_format.h"

#include <gtest/gtest.h>

#include <ctime>

namespace vellumark {
namespace {

TEST(NumberText, ParsesBothDecimalSeparatorsAndRejectsOtherText)
{
    EXPECT_DOUBLE_EQ(*ParseNumberText("12.50"), 12.5);
    EXPECT_DOUBLE_EQ(*ParseNumberText("12,50"), 12.5);
    EXPECT_DOUBLE_EQ(*ParseNumberText(" 5368709120 "), 5368709120.0);
    EXPECT_FALSE(ParseNumberText(""));
    EXPECT_FALSE(ParseNumberText("12 KB"));
    EXPECT_FALSE(ParseNumberText("abc"));
}

TEST(NumberText, FormatsSizesPercentagesAndKilobytes)
{
    EXPECT_EQ(FormatWholeNumber(5368709120.0), "5368709120");
    EXPECT_EQ(FormatPercent(12.5), "12.50");
    EXPECT_EQ(FormatPercent(0), "0.00");
    EXPECT_EQ(FormatPercent(100), "100.00");
    // Exact halves go to the even digit, as printf rounds them; values are never cut short.
    EXPECT_EQ(FormatPercent(0.125), "0.12");
    EXPECT_EQ(FormatPercent(0.375), "0.38");
    EXPECT_EQ(FormatPercent(2.0 / 3.0 * 100), "66.67");
    EXPECT_EQ(FormatWholeNumber(2.5), "2");
    EXPECT_EQ(FormatWholeNumber(3.5), "4");
    EXPECT_EQ(FormatWholeNumber(18446744073709551616.0), "18446744073709551616");
    EXPECT_EQ(FormatKilobytesText("1536"), "1.50 KB");
    EXPECT_EQ(FormatKilobytesText("1234567"), "1,205.63 KB");
    EXPECT_EQ(FormatKilobytesText("0"), "0.00 KB");
    EXPECT_EQ(FormatKilobytesText("5497558138880"), "5,368,709,120.00 KB");
    EXPECT_EQ(FormatKilobytesText(""), "");
    EXPECT_EQ(FormatKilobytesText("x"), "");
}

TEST(CompareNumberText, NonNumbersCountAsZeroAndEqualNumbersGiveMinusOne)
{
    EXPECT_EQ(CompareNumberText("10", "9"), 1);
    EXPECT_EQ(CompareNumberText("9", "10"), -1);
    EXPECT_EQ(CompareNumberText("7", "7"), -1);
    EXPECT_EQ(CompareNumberText("abc", "0"), -1);
    EXPECT_EQ(CompareNumberText("1", "abc"), 1);
    EXPECT_EQ(CompareNumberText("1,5", "1.25"), 1);
}

TEST(FileTime, WritesLocalTimeWithFatRules)
{
    std::tm local{};
    local.tm_year = 2004 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 7;
    local.tm_hour = 13;
    local.tm_min = 5;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    EXPECT_EQ(FormatFileTime(std::mktime(&local)), "2004-06-07 13:05:08");  // odd second rounded down

    local.tm_hour = local.tm_min = local.tm_sec = 0;
    EXPECT_EQ(FormatFileTime(std::mktime(&local)), "2004-06-07");  // midnight: the date alone

    local.tm_year = 1979 - 1900;
    EXPECT_EQ(FormatFileTime(std::mktime(&local)), "");
    local.tm_year = 2044 - 1900;
    EXPECT_EQ(FormatFileTime(std::mktime(&local)), "");
}

TEST(CompareDateText, OrdersByTimeWithTheEmptyAndUnreadableRules)
{
    EXPECT_EQ(CompareDateText("2004-06-07 13:05:08", "2004-06-07 13:05:10"), -1);
    EXPECT_EQ(CompareDateText("2004-06-08", "2004-06-07 23:59:58"), 1);
    EXPECT_EQ(CompareDateText("2004-06-07", "2004-06-07 00:00:00"), 0);
    EXPECT_EQ(CompareDateText("", ""), -1);
    EXPECT_EQ(CompareDateText("", "2004-06-07"), -1);
    EXPECT_EQ(CompareDateText("2004-06-07", ""), 1);
    EXPECT_EQ(CompareDateText("yesterday", "2004-06-07"), 1);
    EXPECT_EQ(CompareDateText("2004-06-07", "yesterday"), 1);
}

TEST(CompareDateText, ReadsDatesWrittenUnderOtherLocales)
{
    EXPECT_EQ(CompareDateText("07.06.2004 13:05:08", "2004-06-07 13:05:08"), 0);
    EXPECT_EQ(CompareDateText("6/7/2004 1:05:08 PM", "2004-06-07 13:05:08"), 0);
    EXPECT_EQ(CompareDateText("6/7/2004 12:00:00 AM", "2004-06-07"), 0);
    EXPECT_EQ(CompareDateText("2004/06/07 13:05", "2004-06-07 13:05:00"), 0);
    EXPECT_FALSE(ParseDateText("2004-13-01"));
    EXPECT_FALSE(ParseDateText("2004-06-07 25:00:00"));
}

TEST(CompareText, IgnoresOnlyAsciiCase)
{
    EXPECT_EQ(CompareTextIgnoringAsciiCase("alpha", "Alpha"), 0);
    EXPECT_LT(CompareTextIgnoringAsciiCase("a", "B"), 0);
    EXPECT_GT(CompareTextIgnoringAsciiCase("b", "A"), 0);
    EXPECT_LT(CompareTextIgnoringAsciiCase("ab", "abc"), 0);
    EXPECT_NE(CompareTextIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"), 0);  // é and É differ
}

}  // namespace
}  // namespace vellumark
