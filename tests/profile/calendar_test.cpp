#include "profile/calendar.h"

#include "fake_services.h"
#include "scoped_time_zone.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Local noon of a date, a time well inside the day for the fake clock.
std::int64_t LocalNoon(int year, int month, int day)
{
    return MakeLocalDate(year, month, day) + 12 * 3600;
}

class CalendarTest : public ::testing::Test
{
protected:
    ScopedTimeZone zone{"Asia/Shanghai"};
    FakeServices fakes;
    CTavroAppData app;

    // Today is 10 June 2026 unless a test says otherwise.
    void SetUp() override { fakes.clock.Set(LocalNoon(2026, 6, 10)); }
    // The due date `days` calendar days after 10 June 2026.
    static std::int64_t DaysAhead(int days)
    {
        std::tm parts{};
        parts.tm_year = 2026 - 1900;
        parts.tm_mon = 5;
        parts.tm_mday = 10 + days;
        parts.tm_isdst = -1;
        return std::mktime(&parts);
    }
};

HRESULT CodeOf(int year, int month, int day)
{
    try {
        MakeLocalDate(year, month, day);
    } catch (const HResultError& error) {
        return error.Code();
    }
    return 0;
}

} // namespace

TEST_F(CalendarTest, WorkedValues)
{
    struct Row
    {
        int daysToDue, daysPregnant, week, dayOfWeek;
    };
    const Row rows[] = {
        {0, 280, 40, 7}, {1, 279, 40, 6},   {6, 274, 40, 1},  {7, 273, 39, 7},
        {8, 272, 39, 6}, {140, 140, 20, 7}, {273, 7, 1, 7},   {279, 1, 1, 1},
        {280, 0, 0, 7},  {281, -1, 0, 7},   {288, -8, -1, 7}, {300, -20, -2, 7},
    };
    for (const Row& row : rows) {
        CTavroAppData data;
        EXPECT_EQ(SetDueDate(data, DaysAhead(row.daysToDue), DaysAhead(0)),
                  DueDateState::NotExpired);
        EXPECT_EQ(data.dueTime, DaysAhead(row.daysToDue));
        EXPECT_EQ(data.daysToDue, row.daysToDue);
        EXPECT_EQ(data.daysPregnant, row.daysPregnant) << row.daysToDue;
        EXPECT_EQ(data.pregnancyWeek, row.week) << row.daysToDue;
        EXPECT_EQ(data.dayOfWeek, row.dayOfWeek) << row.daysToDue;
    }
}

TEST_F(CalendarTest, TheTimeOfDayDoesNotMatter)
{
    for (std::int64_t seconds : {0, 1, 12 * 3600, 86399}) {
        fakes.clock.Set(MakeLocalDate(2026, 6, 10) + seconds);
        SetDueDate(app, DaysAhead(0));
        EXPECT_EQ(app.daysToDue, 0) << seconds;
        EXPECT_EQ(app.daysPregnant, 280);
    }
}

TEST_F(CalendarTest, AnExpiredDateIsReportedWithOnlyTheCountChanged)
{
    app.daysPregnant = 11;
    app.pregnancyWeek = 2;
    app.dayOfWeek = 4;
    EXPECT_EQ(SetDueDate(app, DaysAhead(-1), DaysAhead(0)), DueDateState::Expired);
    EXPECT_EQ(SetDueDate(app, DaysAhead(-1)), DueDateState::Expired);
    EXPECT_EQ(app.dueTime, DaysAhead(-1));
    EXPECT_EQ(app.daysToDue, -1);
    // The rest is left as it was.
    EXPECT_EQ(app.daysPregnant, 11);
    EXPECT_EQ(app.pregnancyWeek, 2);
    EXPECT_EQ(app.dayOfWeek, 4);
}

TEST_F(CalendarTest, AnUnreadableTodayFailsAfterStoringTheDate)
{
    fakes.clock.Set(std::numeric_limits<std::int64_t>::max());
    try {
        SetDueDate(app, DaysAhead(3));
        FAIL() << "no error";
    } catch (const HResultError& error) {
        EXPECT_EQ(error.Code(), E_FAIL);
    }
    EXPECT_EQ(app.dueTime, DaysAhead(3));
    EXPECT_EQ(app.daysToDue, 0);
}

TEST_F(CalendarTest, ADateBeyondThirtyTwoBitsOfDaysIsFarAwayNotExpired)
{
    EXPECT_EQ(SetDueDate(app, std::numeric_limits<std::int64_t>::max()), DueDateState::NotExpired);
    EXPECT_EQ(app.daysToDue, std::numeric_limits<std::int32_t>::max());
    EXPECT_LT(app.daysPregnant, 0);
    EXPECT_EQ(app.dayOfWeek, 7);
}

TEST_F(CalendarTest, TheFieldsFollowTheLocalDateWithoutExpiring)
{
    SetDueDate(app, DaysAhead(1));
    CalendarFollower follower;
    EXPECT_FALSE(follower.Check(app)) << "the first look only notes the day";

    // Times after 10 June noon, and what the calendar shows then.
    struct Step
    {
        std::int64_t now;
        bool changed;
        int daysToDue, daysPregnant, week, day;
    };
    const std::int64_t midnight = MakeLocalDate(2026, 6, 11);
    for (const Step& step :
         {Step{midnight - 1, false, 1, 279, 40, 6},          // a second before midnight
          Step{midnight, true, 0, 280, 40, 7},               // midnight: the due day
          Step{midnight + 3600, false, 0, 280, 40, 7},       // later the same day
          Step{midnight + 3 * 86400, true, -3, 283, 41, 3},  // a resume days later
          Step{midnight - 86400 + 60, true, 1, 279, 40, 6}}) // the clock set back
    {
        fakes.clock.Set(step.now);
        EXPECT_EQ(follower.Check(app), step.changed) << step.now;
        EXPECT_EQ(app.daysToDue, step.daysToDue) << step.now;
        EXPECT_EQ(app.daysPregnant, step.daysPregnant) << step.now;
        EXPECT_EQ(app.pregnancyWeek, step.week) << step.now;
        EXPECT_EQ(app.dayOfWeek, step.day) << step.now;
    }
    // Expiry applies at start-up and when a date is saved only.
    EXPECT_TRUE(fakes.messageBox.shown.empty());
    EXPECT_TRUE(fakes.processExit.codes.empty());
    EXPECT_EQ(app.dueTime, DaysAhead(1));
}

TEST_F(CalendarTest, NothingIsCountedDuringSetupOrWithoutADate)
{
    for (const bool firstRun : {true, false}) {
        CTavroAppData idle;
        idle.firstRun = firstRun;
        idle.dueTime = firstRun ? DaysAhead(10) : 0;
        CalendarFollower follower;
        follower.Check(idle);
        fakes.clock.Set(LocalNoon(2026, 6, 12));
        EXPECT_FALSE(follower.Check(idle));
        EXPECT_EQ(idle.daysPregnant, 0);
        EXPECT_EQ(idle.dayOfWeek, 0);
        fakes.clock.Set(LocalNoon(2026, 6, 10));
    }
}

TEST(MakeLocalDate, RejectsPartsOutOfRangeWithEFail)
{
    ScopedTimeZone zone("Asia/Shanghai");
    EXPECT_EQ(CodeOf(1899, 1, 1), E_FAIL);
    EXPECT_EQ(CodeOf(2015, 13, 1), E_FAIL);
    EXPECT_EQ(CodeOf(2015, 0, 1), E_FAIL);
    EXPECT_EQ(CodeOf(2015, 2, 0), E_FAIL);
    EXPECT_EQ(CodeOf(2015, 2, 32), E_FAIL);
    EXPECT_EQ(CodeOf(std::numeric_limits<int>::min(), 1, 1), E_FAIL);
    EXPECT_EQ(CodeOf(1900, 1, 1), 0);
    EXPECT_EQ(E_FAIL, static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(E_INVALIDARG, static_cast<HRESULT>(0x80070057));
}

TEST(MakeLocalDate, ADateTheConversionRejectsGivesEInvalidArg)
{
    // One second east of UTC, local midnight of 1 January 1970 is the time -1, which is
    // also how the conversion reports failure.
    ScopedTimeZone zone("XXX-00:00:01");
    EXPECT_EQ(CodeOf(1970, 1, 1), E_INVALIDARG);
    EXPECT_EQ(CodeOf(1970, 1, 2), 0);
}

TEST(MakeLocalDate, GivesLocalMidnightAndRollsOverShortMonths)
{
    ScopedTimeZone zone("Asia/Shanghai");
    // 1 January 2015 00:00 in UTC+8 is 31 December 2014 16:00 UTC.
    EXPECT_EQ(MakeLocalDate(2015, 1, 1), 1420041600);
    const std::int64_t march3 = MakeLocalDate(2015, 2, 31);
    EXPECT_EQ(march3, MakeLocalDate(2015, 3, 3));
    EXPECT_EQ(YearOf(march3), 2015);
    EXPECT_EQ(MonthOf(march3), 3);
    EXPECT_EQ(DayOf(march3), 3);
    EXPECT_EQ(MakeLocalDate(2016, 2, 31), MakeLocalDate(2016, 3, 2));
    EXPECT_EQ(MakeLocalDate(2015, 4, 31), MakeLocalDate(2015, 5, 1));
}

TEST(DateParts, ZeroForTimesThatCannotBeConverted)
{
    ScopedTimeZone zone("Asia/Shanghai");
    for (std::int64_t bad :
         {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
        EXPECT_EQ(YearOf(bad), 0);
        EXPECT_EQ(MonthOf(bad), 0);
        EXPECT_EQ(DayOf(bad), 0);
    }
    // Time 0 is 1 January 1970, 08:00 in this zone.
    EXPECT_EQ(YearOf(0), 1970);
    EXPECT_EQ(MonthOf(0), 1);
    EXPECT_EQ(DayOf(0), 1);
}

TEST(DaysBetweenMidnights, RoundsToWholeDaysWithoutOverflow)
{
    constexpr std::int64_t day = 86400;
    EXPECT_EQ(DaysBetweenMidnights(0, 0), 0);
    EXPECT_EQ(DaysBetweenMidnights(0, 14 * day - 3600), 14);
    EXPECT_EQ(DaysBetweenMidnights(0, 14 * day + 3600), 14);
    EXPECT_EQ(DaysBetweenMidnights(0, -day + 3600), -1);
    EXPECT_EQ(DaysBetweenMidnights(0, -day - 3600), -1);
    EXPECT_EQ(DaysBetweenMidnights(5 * day, 2 * day), -3);
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    // The extremes, rounded exactly (worked out with unbounded integers).
    EXPECT_EQ(DaysBetweenMidnights(0, kMax), 106751991167301);
    EXPECT_EQ(DaysBetweenMidnights(kMin, kMax), 213503982334601);
    EXPECT_EQ(DaysBetweenMidnights(kMax, kMin), -213503982334601);
}

// Daylight-saving changes between today and the due date do not move the count.
struct DstCase
{
    const char* zone;
    int today[3];
    int due[3];
    int days;
};

class DaylightSavingTest : public ::testing::TestWithParam<DstCase>
{};

TEST_P(DaylightSavingTest, CountsCalendarDays)
{
    const DstCase& c = GetParam();
    ScopedTimeZone zone(c.zone);
    const std::int64_t today = MakeLocalDate(c.today[0], c.today[1], c.today[2]);
    CTavroAppData app;
    const std::int64_t due = MakeLocalDate(c.due[0], c.due[1], c.due[2]);
    if (c.days < 0) {
        EXPECT_EQ(SetDueDate(app, due, today), DueDateState::Expired);
    } else {
        EXPECT_EQ(SetDueDate(app, due, today), DueDateState::NotExpired);
        EXPECT_EQ(app.daysPregnant, TERM_DAYS - c.days);
    }
    EXPECT_EQ(app.daysToDue, c.days);
}

INSTANTIATE_TEST_SUITE_P(Zones, DaylightSavingTest,
                         ::testing::Values(
                             // Spring forward on 8 March 2026: the span is an hour short.
                             DstCase{"America/New_York", {2026, 3, 1}, {2026, 3, 15}, 14},
                             // Fall back on 1 November 2026: the span is an hour long.
                             DstCase{"America/New_York", {2026, 10, 25}, {2026, 11, 5}, 11},
                             // Due yesterday, across the 23-hour day: expired, not "due today".
                             DstCase{"America/New_York", {2026, 3, 9}, {2026, 3, 8}, -1},
                             DstCase{"America/New_York", {2026, 3, 8}, {2026, 3, 9}, 1},
                             DstCase{"Europe/Berlin", {2026, 3, 20}, {2026, 4, 3}, 14},
                             DstCase{"Europe/Berlin", {2026, 10, 20}, {2026, 10, 27}, 7},
                             DstCase{"Europe/Berlin", {2026, 10, 26}, {2026, 10, 25}, -1},
                             // A whole term across both changes.
                             DstCase{"Europe/Berlin", {2026, 2, 1}, {2026, 11, 8}, 280}));
