#include "pages.h"

#include <gtest/gtest.h>

using namespace devserver;

TEST(DevserverQuery, ReadsTheProgramsDoubledSeparators)
{
    const auto due = ParseDueDateQuery("year=2015&&month=3&&day=7&&mac=00-1A-2B-3C-4D-5E");
    ASSERT_TRUE(due);
    EXPECT_EQ(due->year, 2015);
    EXPECT_EQ(due->month, 3);
    EXPECT_EQ(due->day, 7);
    EXPECT_EQ(QueryValue("year=2015&&month=3&&day=7&&mac=00-1A", "mac"), "00-1A");
}

TEST(DevserverQuery, RefusesMissingOrMalformedDates)
{
    EXPECT_FALSE(ParseDueDateQuery("year=2015&&month=3"));
    EXPECT_FALSE(ParseDueDateQuery("year=0&&month=0&&day=0&&mac="));
    EXPECT_FALSE(ParseDueDateQuery("year=2015&&month=13&&day=1"));
    EXPECT_FALSE(ParseDueDateQuery("year=20x5&&month=3&&day=1"));
    EXPECT_FALSE(ParseDueDateQuery(""));
}

TEST(DevserverPages, CountsCalendarDaysAcrossLeapYears)
{
    EXPECT_EQ(DaysBetween({2016, 2, 28}, {2016, 3, 1}), 2);
    EXPECT_EQ(DaysBetween({2015, 2, 28}, {2015, 3, 1}), 1);
    EXPECT_EQ(DaysBetween({2015, 3, 1}, {2015, 2, 28}), -1);
    EXPECT_EQ(DaysBetween({2014, 8, 27}, {2015, 6, 2}), 279);
}

TEST(DevserverPages, ShowsTheCalendarAndEscapesTheMachineText)
{
    // 100 days before the due date is day 180 of pregnancy: 25 weeks and 5 days.
    const std::string page = DatedPage(DueDate{2015, 6, 10}, "<b>", DueDate{2015, 3, 2});
    EXPECT_NE(page.find("25<span style=\"font-size:22px\">周</span>5"), std::string::npos);
    EXPECT_NE(page.find("孕期第 180 天"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);
}
