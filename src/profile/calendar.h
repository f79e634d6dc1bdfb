#pragma once

// The pregnancy calendar: local dates as 64-bit times, and the fields derived from the
// due date, with the expiry rule.

#include "host/hresult.h"
#include "profile/app_data.h"

#include <cstdint>
#include <optional>
#include <stdexcept>

inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

// A date that could not be made: E_FAIL for parts out of range, E_INVALIDARG when the
// local-time conversion rejects the date.
class HResultError : public std::runtime_error
{
public:
    explicit HResultError(HRESULT code);
    HRESULT Code() const { return m_code; }

private:
    HRESULT m_code;
};

inline constexpr int TERM_DAYS = 280;
inline constexpr std::int64_t SECONDS_PER_DAY = 86400;
// The latest due date the date pickers offer lies this long after today's local midnight:
// 279 days counted in seconds, not in calendar days.
inline constexpr std::int64_t LATEST_DUE_OFFSET = 24105600;

// Local midnight at the start of the date. A day past the end of its month rolls over into
// the next month (31 February 2015 is 3 March 2015). Throws HResultError.
std::int64_t MakeLocalDate(int year, int month, int day);

// The date itself when it exists: parts out of range give nothing, and so does a day past
// its month's end (30 February), which MakeLocalDate would roll over into the next month.
// A hand-edited date is read this way, so that a typing slip never becomes another date.
std::optional<std::int64_t> ExactLocalDate(int year, int month, int day);

// Whether a due date lies further ahead than the date pickers offer, counted in calendar
// days from today (CurrentServices().clock). Throws HResultError when today cannot be read.
bool IsBeyondOfferedDates(std::int64_t dueTime);

// The local year (four digits), month (1-12) and day of month (1-31) of a time; 0 when the
// time cannot be converted.
int YearOf(std::int64_t time);
int MonthOf(std::int64_t time);
int DayOf(std::int64_t time);

// Whole calendar days from one local midnight to another. Rounded rather than truncated,
// so a daylight-saving change in between (a 23- or 25-hour day) does not shift the count.
std::int64_t DaysBetweenMidnights(std::int64_t from, std::int64_t to);

// Local midnight of the clock's date now (CurrentServices().clock). Throws HResultError
// when it cannot be read.
std::int64_t Today();

// Whether the due date stored or loaded has passed.
enum class DueDateState
{
    NotExpired,
    Expired,
};

// Stores the due date and derives daysToDue, daysPregnant, pregnancyWeek and dayOfWeek as
// seen on `today` (a local midnight). When the due day is over only dueTime and daysToDue
// change and the answer is Expired: the caller then ends the program (EndExpired).
DueDateState SetDueDate(CTavroAppData& app, std::int64_t dueTime, std::int64_t today);
// The same as seen today (Today()). Throws HResultError (after storing dueTime) when
// today's date cannot be read.
DueDateState SetDueDate(CTavroAppData& app, std::int64_t dueTime);

// Keeps the calendar fields in step with the local date while the program runs (past
// midnight, after a resume from suspend). The expiry rule is not applied here: it holds
// at start-up and when a date is saved; past the due day the count simply goes on.
class CalendarFollower
{
public:
    // Called now and then (and once at start, which only notes the day). When the local
    // date (CurrentServices().clock) differs from the one seen last, recomputes daysToDue,
    // daysPregnant, pregnancyWeek and dayOfWeek from dueTime and returns true.
    bool Check(CTavroAppData& app);

private:
    std::int64_t m_today = 0;
};
