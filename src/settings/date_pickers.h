#pragma once

// The year, month and day pickers of the setup and settings windows. They offer the dates
// from today up to LATEST_DUE_OFFSET seconds later and keep the month and day lists in
// step with the chosen year and month. The rules work on an abstract combo, so tests
// drive them without windows; "today" comes from CurrentServices().clock.

#include "profile/calendar.h"

#include <cstdint>
#include <string>

// One picker: a shown text that may differ from every item, and a list of items.
class IPickerCombo
{
public:
    virtual ~IPickerCombo() = default;
    virtual void SetText(const std::wstring& text) = 0;
    virtual std::wstring GetText() const = 0;
    // Inserts before the item at `index`; an index past the end appends.
    virtual void Insert(const std::wstring& text, int index) = 0;
    // Removes the items; the shown text stays.
    virtual void Clear() = 0;
};

// Days of the month in the Gregorian calendar; 0 for a month outside 1-12.
int DaysInMonth(int month, int year);

// The dates the pickers offer: today (TY, TM, TD) and the latest due date (LY, LM, LD).
// A part that cannot be worked out is 0.
struct DateWindow
{
    int TY = 0, TM = 0, TD = 0;
    int LY = 0, LM = 0, LD = 0;
};
DateWindow DateWindowAt(std::int64_t now);
DateWindow CurrentDateWindow();

// The reading of a picker text as a number: leading blanks, an optional sign, decimal
// digits, anything after them ignored; 0 when there are no digits. Saturates beyond int.
int PickerNumber(const std::wstring& text);

class CDatePickers
{
public:
    CDatePickers(IPickerCombo& year, IPickerCombo& month, IPickerCombo& day);

    // Add the items "first" ... "last" at indexes 0 ... last - first; nothing when
    // first > last. The lists are not cleared first.
    void FillYearList(int first, int last);
    void FillMonthList(int first, int last);
    void FillDayList(int first, int last);
    void ClearLists();

    // First-run setup: texts and lists start at today.
    void FillPickersFromToday();
    // Settings: texts show the stored due date (even one the lists do not offer), the lists
    // the dates offered today.
    void FillPickersFromDueDate(std::int64_t dueTime);
    // The handler of a picker's change notification; `changed` is the combo that changed,
    // or null for a control that is none of the three. Always 1.
    int OnPickerChanged(const IPickerCombo* changed);
    // The chosen date's local midnight. Throws HResultError when the texts make no date.
    std::int64_t ReadPickedDate() const;

private:
    static void FillList(IPickerCombo& combo, int first, int last);

    IPickerCombo& m_year;
    IPickerCombo& m_month;
    IPickerCombo& m_day;
};
