#include "options.h"
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

TEST(DevserverQuery, MalformedQueriesGetA400PageNeverAGuess)
{
    const DueDate today{2015, 3, 2};
    for (const char* query :
         {"", "year=2015&&month=3", "year=0&&month=0&&day=0&&mac=", "year=2015&&month=13&&day=1",
          "year=20x5&&month=3&&day=1", "year=2015&&month=3&&day=-7", "year=2015&&month=2&&day=29",
          "year=2015&&month=4&&day=31", "year=2015&&month=+3&&day=7",
          "year=99999&&month=3&&day=7"}) {
        SCOPED_TRACE(query);
        EXPECT_FALSE(ParseDueDateQuery(query));
        const PageAnswer answer = DatedPage(query, today);
        EXPECT_EQ(answer.status, 400);
        EXPECT_NE(answer.html.find("请求有误"), std::string::npos);
    }
    // A leap day is a real date.
    EXPECT_TRUE(ParseDueDateQuery("year=2016&&month=2&&day=29"));
}

TEST(DevserverPages, CountsCalendarDaysAcrossLeapYears)
{
    EXPECT_EQ(DaysBetween({2016, 2, 28}, {2016, 3, 1}), 2);
    EXPECT_EQ(DaysBetween({2015, 2, 28}, {2015, 3, 1}), 1);
    EXPECT_EQ(DaysBetween({2015, 3, 1}, {2015, 2, 28}), -1);
    EXPECT_EQ(DaysBetween({2014, 8, 27}, {2015, 6, 2}), 279);
}

TEST(DevserverPages, ShowsTheWeekItsDevelopmentAndCheckUps)
{
    struct Case
    {
        DueDate due;
        const char* age;         // weeks + days, as the page prints them
        const char* week;        // the week whose development is shown
        const char* development; // part of that development text
        const char* checkUp;     // part of a check-up listed, or the no-check-up text
    };
    const DueDate today{2015, 3, 2};
    const Case cases[] = {
        // 100 days before the due date is day 180: 25 weeks + 5 days, in week 26.
        {{2015, 6, 10}, "25<small> 周 + </small>5", "第 26 周", "身长约 33.8 厘米", "OGTT"},
        // Day 77 is 11+0, the last day of week 11; the NT scan is due.
        {{2015, 9, 21}, "11<small> 周 + </small>0", "第 11 周", "顶臀长约 4.1 厘米", "NT"},
        // Day 40 is 5+5 in week 6: no figures yet, no check-up of its own.
        {{2015, 10, 28}, "5<small> 周 + </small>5", "第 6 周", "心跳", "没有固定的检查"},
        // Day 280 is 40+0: weekly visits.
        {{2015, 3, 2}, "40<small> 周 + </small>0", "第 40 周", "51.2", "每周产检"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.week);
        const PageAnswer answer = DatedPage(
            "year=" + std::to_string(c.due.year) + "&&month=" + std::to_string(c.due.month) +
                "&&day=" + std::to_string(c.due.day) + "&&mac=00-1A",
            today);
        EXPECT_EQ(answer.status, 200);
        EXPECT_NE(answer.html.find(c.age), std::string::npos);
        EXPECT_NE(answer.html.find(c.week), std::string::npos);
        EXPECT_NE(answer.html.find(c.development), std::string::npos);
        EXPECT_NE(answer.html.find(c.checkUp), std::string::npos);
        EXPECT_NE(answer.html.find("window.external.ruzAzudir === true"), std::string::npos);
    }
}

TEST(DevserverPages, HomePageSaysWhatFollowsADueDateThatHasPassed)
{
    const DueDate today{2015, 3, 10};
    const std::string past = HomePage("year=2015&&month=3&&day=7&&mac=00-1A", today);
    EXPECT_NE(past.find("已经过去 3 天"), std::string::npos);
    EXPECT_NE(past.find("引产"), std::string::npos);
    EXPECT_NE(past.find("胎动明显减少，请立即去医院"), std::string::npos);
    // Not before the date has passed, and not without a date.
    for (const char* query : {"year=2015&&month=3&&day=10", ""})
        EXPECT_EQ(HomePage(query, today).find("after-due"), std::string::npos) << query;
}

TEST(DevserverPages, EscapesTheMachineText)
{
    const PageAnswer answer =
        DatedPage("year=2015&&month=6&&day=10&&mac=<b>\"x", DueDate{2015, 3, 2});
    EXPECT_EQ(answer.html.find("<b>"), std::string::npos);
    EXPECT_NE(answer.html.find("&lt;b&gt;&quot;x"), std::string::npos);
}

TEST(DevserverOptions, ReadsTheCommandLineOrSaysWhatIsWrong)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* error; // part of the message when refused, nullptr when read
        bool help = false;
        int port = 0;
    };
    const Case cases[] = {
        {{"--help"}, nullptr, true},
        {{"--port", "8000", "--log", "x.log"}, nullptr, false, 8000},
        {{"--verbose"}, "unknown argument --verbose"},
        {{"--ready-file"}, "--ready-file needs a value"},
        {{"--port", "80x"}, "bad value for --port"},
        {{"--port", "65534"}, "bad value for --port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::string error;
        const std::optional<Options> options = ReadOptions(c.args, error);
        ASSERT_EQ(options.has_value(), c.error == nullptr) << error;
        if (options) {
            EXPECT_EQ(options->help, c.help);
            EXPECT_EQ(options->port, c.port);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}
