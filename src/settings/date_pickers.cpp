#include "settings/date_pickers.h"

#include "host/services.h"
#include "host/text_codec.h"
#include "profile/calendar.h"
#include "profile/profile_file.h"

#include <chrono>

int DaysInMonth(int month, int year)
{
    if (month < 1 || month > 12)
        return 0;
    // The calendar repeats every 400 years, which keeps any year in the library's range.
    const std::chrono::year sameLeapRule{2000 + year % 400};
    const std::chrono::year_month_day_last last{
        sameLeapRule / std::chrono::month{static_cast<unsigned>(month)} / std::chrono::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
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
    const DateWindow offered = CurrentDateWindow();
    m_year.SetText(std::to_wstring(offered.TY));
    m_month.SetText(std::to_wstring(offered.TM));
    m_day.SetText(std::to_wstring(offered.TD));
    FillYearList(offered.TY, offered.LY);
    if (offered.LY > offered.TY)
        FillMonthList(offered.TM, 12);
    else
        FillMonthList(offered.TM, offered.LM);
    FillDayList(offered.TD, DaysInMonth(offered.TM, offered.TY));
}

void CDatePickers::FillPickersFromDueDate(std::int64_t dueTime)
{
    const DateWindow offered = CurrentDateWindow();
    const int dueYear = YearOf(dueTime);
    const int dueMonth = MonthOf(dueTime);
    const int dueDay = DayOf(dueTime);
    m_year.SetText(std::to_wstring(dueYear));
    m_month.SetText(std::to_wstring(dueMonth));
    m_day.SetText(std::to_wstring(dueDay));
    FillYearList(offered.TY, offered.LY);
    if (offered.TY < offered.LY) {
        if (dueYear == offered.LY)
            FillMonthList(1, offered.LM);
        else
            FillMonthList(offered.TM, 12);
    } else {
        FillMonthList(offered.TM, offered.LM);
    }
    if (dueYear == offered.LY && dueMonth == offered.LM)
        FillDayList(1, offered.LD);
    else if (dueYear == offered.TY && dueMonth == offered.TM)
        FillDayList(offered.TD, DaysInMonth(offered.TM, offered.TY));
    else
        FillDayList(1, DaysInMonth(dueMonth, dueYear));
}

int CDatePickers::OnPickerChanged(const IPickerCombo* changed)
{
    if (changed != &m_year && changed != &m_month)
        return 1;
    const DateWindow offered = CurrentDateWindow();
    const int pickedYear = PickerNumber(m_year.GetText());
    const int pickedMonth = PickerNumber(m_month.GetText());
    if (changed == &m_year) {
        m_month.Clear();
        m_day.Clear();
        if (pickedYear == offered.TY) {
            m_month.SetText(std::to_wstring(offered.TM));
            m_day.SetText(std::to_wstring(offered.TD));
            if (offered.LY > offered.TY)
                FillMonthList(offered.TM, 12);
            else
                FillMonthList(offered.TM, offered.LM);
            FillDayList(offered.TD, DaysInMonth(offered.TM, offered.TY));
        } else {
            m_month.SetText(L"1");
            m_day.SetText(L"1");
            FillMonthList(1, offered.LM);
            FillDayList(1, 31);
        }
        return 1;
    }
    m_day.Clear();
    if (pickedYear == offered.TY && pickedMonth == offered.TM) {
        FillDayList(offered.TD, DaysInMonth(offered.TM, offered.TY));
        m_day.SetText(std::to_wstring(offered.TD));
    } else if (pickedYear == offered.LY && pickedMonth == offered.LM) {
        FillDayList(1, offered.LD);
        m_day.SetText(L"1");
    } else {
        FillDayList(1, DaysInMonth(pickedMonth, pickedYear));
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
