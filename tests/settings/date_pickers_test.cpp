#include "fake_services.h"
#include "profile/calendar.h"
#include "settings/date_pickers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

// A combo that keeps its text and items and inserts the way the skin's combo does.
class FakeCombo : public IPickerCombo
{
public:
    void SetText(const std::wstring& value) override { text = value; }
    std::wstring GetText() const override { return text; }
    void Insert(const std::wstring& item, int index) override
    {
        if (index < 0 || index > static_cast<int>(items.size()))
            index = static_cast<int>(items.size());
        items.insert(items.begin() + index, item);
    }
    void Clear() override { items.clear(); }

    std::wstring text;
    std::vector<std::wstring> items;
};

std::vector<std::wstring> Range(int first, int last)
{
    std::vector<std::wstring> values;
    for (int v = first; v <= last; ++v)
        values.push_back(std::to_wstring(v));
    return values;
}

class DatePickersTest : public ::testing::Test
{
protected:
    // Some time in the afternoon of the day: the pickers work from its midnight.
    void Today(int year, int month, int day)
    {
        services.clock.Set(MakeLocalDate(year, month, day) + 15 * 3600 + 42);
    }
    // The user picks `value` in `combo`: the combo shows it, then the pickers hear of it.
    int Choose(FakeCombo& combo, int value)
    {
        combo.text = std::to_wstring(value);
        return pickers.OnPickerChanged(&combo);
    }
    void ExpectTexts(int y, int m, int d) const
    {
        EXPECT_EQ(year.text, std::to_wstring(y));
        EXPECT_EQ(month.text, std::to_wstring(m));
        EXPECT_EQ(day.text, std::to_wstring(d));
    }

    FakeServices services;
    FakeCombo year, month, day;
    CDatePickers pickers{year, month, day};
};

TEST(DaysInMonthTest, GregorianLeapYearsAndBadMonths)
{
    EXPECT_EQ(DaysInMonth(2, 2016), 29);
    EXPECT_EQ(DaysInMonth(2, 1900), 28);
    EXPECT_EQ(DaysInMonth(2, 2000), 29);
    EXPECT_EQ(DaysInMonth(2, 2015), 28);
    EXPECT_EQ(DaysInMonth(13, 2015), 0);
    EXPECT_EQ(DaysInMonth(0, 2015), 0);
    EXPECT_EQ(DaysInMonth(-1, 2015), 0);
    // Years far outside the usual range keep the leap rule.
    EXPECT_EQ(DaysInMonth(2, 2400), 29);
    EXPECT_EQ(DaysInMonth(2, 2100), 28);
    EXPECT_EQ(DaysInMonth(2, -4), 29);
    EXPECT_EQ(DaysInMonth(2, -100), 28);
    EXPECT_EQ(DaysInMonth(2, 40000), 29);
    EXPECT_EQ(DaysInMonth(2, 2147483647), 28);
    EXPECT_EQ(DaysInMonth(12, -2147483647 - 1), 31);
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(DaysInMonth(m, 2015), lengths[m - 1]) << "month " << m;
}

TEST(PickerNumberTest, ReadsLikeTheCRuntime)
{
    EXPECT_EQ(PickerNumber(L"2015"), 2015);
    EXPECT_EQ(PickerNumber(L"  \t6"), 6);
    EXPECT_EQ(PickerNumber(L"+7"), 7);
    EXPECT_EQ(PickerNumber(L"-3"), -3);
    EXPECT_EQ(PickerNumber(L"12日"), 12);
    EXPECT_EQ(PickerNumber(L""), 0);
    EXPECT_EQ(PickerNumber(L"年"), 0);
    EXPECT_EQ(PickerNumber(L"-"), 0);
    EXPECT_EQ(PickerNumber(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(PickerNumber(L"-99999999999999999999"), INT_MIN);
}

TEST(DateWindowTest, LatestDateIs279DaysLater)
{
    const DateWindow w = DateWindowAt(MakeLocalDate(2014, 8, 27) + 23 * 3600 + 59 * 60);
    EXPECT_EQ(w.TY, 2014);
    EXPECT_EQ(w.TM, 8);
    EXPECT_EQ(w.TD, 27);
    EXPECT_EQ(w.LY, 2015);
    EXPECT_EQ(w.LM, 6);
    EXPECT_EQ(w.LD, 2);

    // A time the local calendar cannot hold gives an empty window, not a crash.
    const DateWindow none = DateWindowAt(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(none.TY + none.TM + none.TD + none.LY + none.LM + none.LD, 0);
}

TEST_F(DatePickersTest, SetupInAugustThenYearAndMonthChanges)
{
    Today(2014, 8, 27);
    pickers.FillPickersFromToday();
    ExpectTexts(2014, 8, 27);
    EXPECT_EQ(year.items, Range(2014, 2015));
    EXPECT_EQ(month.items, Range(8, 12));
    EXPECT_EQ(day.items, Range(27, 31));

    EXPECT_EQ(Choose(year, 2015), 1);
    ExpectTexts(2015, 1, 1);
    EXPECT_EQ(month.items, Range(1, 6));
    EXPECT_EQ(day.items, Range(1, 31));
    EXPECT_EQ(year.items, Range(2014, 2015)) << "the year list is left alone";

    EXPECT_EQ(Choose(month, 6), 1);
    ExpectTexts(2015, 6, 1);
    EXPECT_EQ(day.items, Range(1, 2));
    EXPECT_EQ(month.items, Range(1, 6)) << "a month change keeps the month list";

    EXPECT_EQ(Choose(month, 2), 1);
    EXPECT_EQ(day.items, Range(1, 28));
    EXPECT_EQ(day.text, L"1");

    EXPECT_EQ(Choose(year, 2014), 1);
    ExpectTexts(2014, 8, 27);
    EXPECT_EQ(month.items, Range(8, 12));
    EXPECT_EQ(day.items, Range(27, 31));

    EXPECT_EQ(Choose(month, 9), 1);
    ExpectTexts(2014, 9, 1);
    EXPECT_EQ(day.items, Range(1, 30));
    EXPECT_EQ(Choose(month, 8), 1);
    ExpectTexts(2014, 8, 27);
    EXPECT_EQ(day.items, Range(27, 31));
}

TEST_F(DatePickersTest, SetupWhenTheWholeWindowIsInOneYear)
{
    Today(2015, 3, 27); // latest: 31 December 2015
    pickers.FillPickersFromToday();
    ExpectTexts(2015, 3, 27);
    EXPECT_EQ(year.items, Range(2015, 2015));
    EXPECT_EQ(month.items, Range(3, 12));
    EXPECT_EQ(day.items, Range(27, 31));

    EXPECT_EQ(Choose(month, 12), 1);
    EXPECT_EQ(day.items, Range(1, 31));
    EXPECT_EQ(Choose(year, 2015), 1);
    EXPECT_EQ(month.items, Range(3, 12));
}

TEST_F(DatePickersTest, NextYearOffersAllDaysOfJanuaryUntilTheMonthIsChosen)
{
    Today(2015, 3, 28); // latest: 1 January 2016
    pickers.FillPickersFromToday();
    EXPECT_EQ(year.items, Range(2015, 2016));
    EXPECT_EQ(month.items, Range(3, 12));

    EXPECT_EQ(Choose(year, 2016), 1);
    ExpectTexts(2016, 1, 1);
    EXPECT_EQ(month.items, Range(1, 1));
    EXPECT_EQ(day.items, Range(1, 31));

    EXPECT_EQ(Choose(month, 1), 1);
    EXPECT_EQ(day.items, Range(1, 1));
    EXPECT_EQ(day.text, L"1");
}

TEST_F(DatePickersTest, DayChangesAndForeignControlsChangeNothing)
{
    Today(2014, 8, 27);
    pickers.FillPickersFromToday();
    day.text = L"29";
    const FakeCombo y = year, m = month, d = day;
    EXPECT_EQ(pickers.OnPickerChanged(&day), 1);
    FakeCombo other;
    EXPECT_EQ(pickers.OnPickerChanged(&other), 1);
    EXPECT_EQ(pickers.OnPickerChanged(nullptr), 1);
    EXPECT_EQ(year.items, y.items);
    EXPECT_EQ(month.items, m.items);
    EXPECT_EQ(day.items, d.items);
    ExpectTexts(2014, 8, 29);
}

TEST_F(DatePickersTest, FillsAddToTheListsWithoutClearing)
{
    pickers.FillDayList(1, 2);
    pickers.FillDayList(1, 2);
    EXPECT_EQ(day.items, (std::vector<std::wstring>{L"1", L"2", L"1", L"2"}));
    pickers.FillMonthList(5, 4);
    EXPECT_TRUE(month.items.empty());
    pickers.FillYearList(INT_MAX - 1, INT_MAX); // the end of int's range does not wrap
    EXPECT_EQ(year.items.size(), 2u);
    pickers.ClearLists();
    EXPECT_TRUE(year.items.empty() && month.items.empty() && day.items.empty());
}

TEST_F(DatePickersTest, SettingsShowTheStoredDateWithTheListsOfToday)
{
    Today(2014, 8, 27); // latest: 2 June 2015

    // The latest month: its days run up to the latest day.
    pickers.FillPickersFromDueDate(MakeLocalDate(2015, 6, 1));
    ExpectTexts(2015, 6, 1);
    EXPECT_EQ(year.items, Range(2014, 2015));
    EXPECT_EQ(month.items, Range(1, 6));
    EXPECT_EQ(day.items, Range(1, 2));

    // Today's month: the days start today.
    pickers.ClearLists();
    pickers.FillPickersFromDueDate(MakeLocalDate(2014, 8, 30));
    ExpectTexts(2014, 8, 30);
    EXPECT_EQ(month.items, Range(8, 12));
    EXPECT_EQ(day.items, Range(27, 31));

    // Another month: all its days.
    pickers.ClearLists();
    pickers.FillPickersFromDueDate(MakeLocalDate(2015, 2, 14));
    EXPECT_EQ(month.items, Range(1, 6));
    EXPECT_EQ(day.items, Range(1, 28));

    // A stored date outside the window is still shown as it is.
    pickers.ClearLists();
    pickers.FillPickersFromDueDate(MakeLocalDate(2013, 12, 25));
    ExpectTexts(2013, 12, 25);
    EXPECT_EQ(year.items, Range(2014, 2015));
    EXPECT_EQ(month.items, Range(8, 12));
    EXPECT_EQ(day.items, Range(1, 31));
}

TEST_F(DatePickersTest, SettingsWhenTheWholeWindowIsInOneYear)
{
    Today(2016, 1, 10); // latest: 15 October 2016
    pickers.FillPickersFromDueDate(MakeLocalDate(2016, 2, 3));
    EXPECT_EQ(year.items, Range(2016, 2016));
    EXPECT_EQ(month.items, Range(1, 10));
    EXPECT_EQ(day.items, Range(1, 29));
}

TEST_F(DatePickersTest, ReadsTheChosenDateAsLocalMidnight)
{
    Today(2014, 8, 27);
    pickers.FillPickersFromToday();
    EXPECT_EQ(pickers.ReadPickedDate(), MakeLocalDate(2014, 8, 27));
    Choose(year, 2015);
    Choose(month, 6);
    day.text = L"2";
    EXPECT_EQ(pickers.ReadPickedDate(), MakeLocalDate(2015, 6, 2));

    day.text = L"";
    EXPECT_THROW(pickers.ReadPickedDate(), HResultError);
    day.text = L"2";
    month.text = L"13";
    EXPECT_THROW(pickers.ReadPickedDate(), HResultError);
    month.text = L"6";
    year.text = L"公元";
    EXPECT_THROW(pickers.ReadPickedDate(), HResultError);
}

TEST_F(DatePickersTest, TheWindowMovesOnWithTheClock)
{
    Today(2014, 8, 27);
    pickers.FillPickersFromToday();
    // Left open over midnight: the next change works from the new day.
    Today(2014, 8, 28);
    Choose(year, 2014);
    ExpectTexts(2014, 8, 28);
    EXPECT_EQ(day.items, Range(28, 31));
    Choose(year, 2015);
    EXPECT_EQ(month.items, Range(1, 6));
    Choose(month, 6);
    EXPECT_EQ(day.items, Range(1, 3));
}

TEST_F(DatePickersTest, AnUnreadableClockOffersNoDateThatCanBeConfirmed)
{
    services.clock.Set(std::numeric_limits<std::int64_t>::max());
    pickers.FillPickersFromToday();
    ExpectTexts(0, 0, 0);
    EXPECT_THROW(pickers.ReadPickedDate(), HResultError);
}

} // namespace
