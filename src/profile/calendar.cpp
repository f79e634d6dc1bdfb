#include "profile/calendar.h"

#include "host/services.h"

#include <cstdio>
#include <ctime>
#include <limits>
#include <string>

namespace {

bool ToLocal(std::int64_t time, std::tm& out)
{
    if (time < std::numeric_limits<std::time_t>::min() ||
        time > std::numeric_limits<std::time_t>::max())
        return false;
    const std::time_t t = static_cast<std::time_t>(time);
    return localtime_r(&t, &out) != nullptr;
}

std::string HResultText(HRESULT code)
{
    char text[32];
    std::snprintf(text, sizeof text, "HRESULT 0x%08X", static_cast<unsigned>(code));
    return text;
}

} // namespace

HResultError::HResultError(HRESULT code) : std::runtime_error(HResultText(code)), m_code(code) {}

std::int64_t MakeLocalDate(int year, int month, int day)
{
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31)
        throw HResultError(E_FAIL);
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_isdst = -1;
    const std::time_t time = std::mktime(&parts);
    if (time == static_cast<std::time_t>(-1))
        throw HResultError(E_INVALIDARG);
    return static_cast<std::int64_t>(time);
}

int YearOf(std::int64_t time)
{
    std::tm parts{};
    if (!ToLocal(time, parts))
        return 0;
    // tm_year counts from 1900; years beyond int's range cannot be told apart from failure.
    if (parts.tm_year > std::numeric_limits<int>::max() - 1900)
        return 0;
    return parts.tm_year + 1900;
}

int MonthOf(std::int64_t time)
{
    std::tm parts{};
    return ToLocal(time, parts) ? parts.tm_mon + 1 : 0;
}

int DayOf(std::int64_t time)
{
    std::tm parts{};
    return ToLocal(time, parts) ? parts.tm_mday : 0;
}

std::int64_t DaysBetweenMidnights(std::int64_t from, std::int64_t to)
{
    // Written so that no intermediate can overflow for any pair of 64-bit times.
    const std::int64_t days = to / SECONDS_PER_DAY - from / SECONDS_PER_DAY;
    const std::int64_t rest = to % SECONDS_PER_DAY - from % SECONDS_PER_DAY;
    const std::int64_t half = SECONDS_PER_DAY / 2;
    if (rest >= half)
        return days + (rest + half) / SECONDS_PER_DAY;
    if (rest <= -half)
        return days - (-rest + half) / SECONDS_PER_DAY;
    return days;
}

std::int64_t Today()
{
    const std::int64_t now = CurrentServices().clock->Now();
    return MakeLocalDate(YearOf(now), MonthOf(now), DayOf(now));
}

namespace {

void DeriveDays(CTavroAppData& app)
{
    app.daysPregnant = TERM_DAYS - app.daysToDue;
    const std::int32_t week = app.daysPregnant / 7;
    const std::int32_t rest = app.daysPregnant % 7;
    if (rest > 0) {
        app.pregnancyWeek = week + 1;
        app.dayOfWeek = rest;
    } else {
        app.pregnancyWeek = week;
        app.dayOfWeek = 7;
    }
}

} // namespace

std::optional<std::int64_t> ExactLocalDate(int year, int month, int day)
{
    try {
        const std::int64_t time = MakeLocalDate(year, month, day);
        if (YearOf(time) == year && MonthOf(time) == month && DayOf(time) == day)
            return time;
    } catch (const HResultError&) {
    }
    return std::nullopt;
}

bool IsBeyondOfferedDates(std::int64_t dueTime)
{
    return DaysBetweenMidnights(Today(), dueTime) > LATEST_DUE_OFFSET / SECONDS_PER_DAY;
}

namespace {

std::int32_t DaysToDue(std::int64_t today, std::int64_t dueTime)
{
    const std::int64_t days = DaysBetweenMidnights(today, dueTime);
    // A date further away than 32 bits of days is not expired; it saturates instead of
    // wrapping into a negative count.
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(days > kMax ? kMax : (days < kMin ? kMin : days));
}

} // namespace

DueDateState SetDueDate(CTavroAppData& app, std::int64_t dueTime, std::int64_t today)
{
    app.dueTime = dueTime;
    app.daysToDue = DaysToDue(today, dueTime);
    if (app.daysToDue < 0)
        return DueDateState::Expired;
    DeriveDays(app);
    return DueDateState::NotExpired;
}

DueDateState SetDueDate(CTavroAppData& app, std::int64_t dueTime)
{
    app.dueTime = dueTime;
    return SetDueDate(app, dueTime, Today());
}

bool CalendarFollower::Check(CTavroAppData& app)
{
    std::int64_t today = 0;
    try {
        today = Today();
    } catch (const HResultError&) {
        return false;
    }
    if (today == m_today)
        return false;
    const bool first = m_today == 0;
    m_today = today;
    // Nothing to follow during setup or without a date; the first look only notes the day.
    if (first || app.firstRun || app.dueTime == 0)
        return false;
    app.daysToDue = DaysToDue(today, app.dueTime);
    DeriveDays(app);
    return true;
}
