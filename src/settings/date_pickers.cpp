#include "settings/date_pickers.h"

#include "host/services.h"
#include "host/text_codec.h"
#include "profile/calendar.h"
#include "profile/profile_file.h"

int DaysInMonth(int month, int year)
{
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2:
        if (year % 400 == 0)
            return 29;
        if (year % 100 == 0)
            return 28;
        return year % 4 == 0 ? 29 : 28;
    default:
        return 0;
    }
}

DateWindow DateWindowAt(std::int64_t now)
{
    DateWindow window;
    std::int64_t todayTime = 0;
    try {
        todayTime = MakeLocalDate(YearOf(now), MonthOf(now), DayOf(now));
    } catch (const HResultError&) {
        // Today cannot be read: every part stays 0 and the lists stay empty.
        return window;
    }
    const std::int64_t latestDueTime = todayTime + LATEST_DUE_OFFSET;
    window.TY = YearOf(todayTime);
    window.TM = MonthOf(todayTime);
    window.TD = DayOf(todayTime);
    window.LY = YearOf(latestDueTime);
    window.LM = MonthOf(latestDueTime);
    window.LD = DayOf(latestDueTime);
    return window;
}

DateWindow CurrentDateWindow() { return DateWindowAt(CurrentServices().clock->Now()); }

int PickerNumber(const std::wstring& text)
{
    // Read like the C runtime's conversion: no digits read as 0.
    return ScanInt(WideToUtf8(text).c_str()).value_or(0);
}

CDatePickers::CDatePickers(IPickerCombo& year, IPickerCombo& month, IPickerCombo& day)
    : m_year(year), m_month(month), m_day(day)
{}

void CDatePickers::FillList(IPickerCombo& combo, int first, int last)
{
    for (long long v = first; v <= last; ++v)
        combo.Insert(std::to_wstring(v), static_cast<int>(v - first));
}

void CDatePickers::FillYearList(int first, int last) { FillList(m_year, first, last); }
void CDatePickers::FillMonthList(int first, int last) { FillList(m_month, first, last); }
void CDatePickers::FillDayList(int first, int last) { FillList(m_day, first, last); }

void CDatePickers::ClearLists()
{
    m_year.Clear();
    m_month.Clear();
    m_day.Clear();
}

void CDatePickers::FillPickersFromToday()
{
    const DateWindow w = CurrentDateWindow();
    m_year.SetText(std::to_wstring(w.TY));
    m_month.SetText(std::to_wstring(w.TM));
    m_day.SetText(std::to_wstring(w.TD));
    FillYearList(w.TY, w.LY);
    if (w.LY > w.TY)
        FillMonthList(w.TM, 12);
    else
        FillMonthList(w.TM, w.LM);
    FillDayList(w.TD, DaysInMonth(w.TM, w.TY));
}

void CDatePickers::FillPickersFromDueDate(std::int64_t dueTime)
{
    const DateWindow w = CurrentDateWindow();
    const int dy = YearOf(dueTime);
    const int dm = MonthOf(dueTime);
    const int dd = DayOf(dueTime);
    m_year.SetText(std::to_wstring(dy));
    m_month.SetText(std::to_wstring(dm));
    m_day.SetText(std::to_wstring(dd));
    FillYearList(w.TY, w.LY);
    if (w.TY < w.LY) {
        if (dy == w.LY)
            FillMonthList(1, w.LM);
        else
            FillMonthList(w.TM, 12);
    } else {
        FillMonthList(w.TM, w.LM);
    }
    if (dy == w.LY && dm == w.LM)
        FillDayList(1, w.LD);
    else if (dy == w.TY && dm == w.TM)
        FillDayList(w.TD, DaysInMonth(w.TM, w.TY));
    else
        FillDayList(1, DaysInMonth(dm, dy));
}

int CDatePickers::OnPickerChanged(const IPickerCombo* changed)
{
    if (changed != &m_year && changed != &m_month)
        return 1;
    const DateWindow w = CurrentDateWindow();
    const int y = PickerNumber(m_year.GetText());
    const int m = PickerNumber(m_month.GetText());
    if (changed == &m_year) {
        m_month.Clear();
        m_day.Clear();
        if (y == w.TY) {
            m_month.SetText(std::to_wstring(w.TM));
            m_day.SetText(std::to_wstring(w.TD));
            if (w.LY > w.TY)
                FillMonthList(w.TM, 12);
            else
                FillMonthList(w.TM, w.LM);
            FillDayList(w.TD, DaysInMonth(w.TM, w.TY));
        } else {
            m_month.SetText(L"1");
            m_day.SetText(L"1");
            FillMonthList(1, w.LM);
            FillDayList(1, 31);
        }
        return 1;
    }
    m_day.Clear();
    if (y == w.TY && m == w.TM) {
        FillDayList(w.TD, DaysInMonth(w.TM, w.TY));
        m_day.SetText(std::to_wstring(w.TD));
    } else if (y == w.LY && m == w.LM) {
        FillDayList(1, w.LD);
        m_day.SetText(L"1");
    } else {
        FillDayList(1, DaysInMonth(m, y));
        m_day.SetText(L"1");
    }
    return 1;
}

std::int64_t CDatePickers::ReadPickedDate() const
{
    const int day = PickerNumber(m_day.GetText());
    const int month = PickerNumber(m_month.GetText());
    const int year = PickerNumber(m_year.GetText());
    return MakeLocalDate(year, month, day);
}
