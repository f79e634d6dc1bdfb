#pragma once

// The rules of the movement counter and the contraction timer, on times in UTC seconds.
// Nothing here reads a clock: "now" is always handed in, so that tests set it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kKicksToCount = 10;
inline constexpr std::int64_t kKickLimitSeconds = 2 * 3600;
// Slower than usual: more than this many times her median, once she has enough sessions.
inline constexpr int kSlowFactor = 2;
inline constexpr int kMedianOfLast = 7;
inline constexpr int kMinSessionsForMedian = 3;
inline constexpr int kHistoryDays = 14;
// From 37+0 the labour rule applies, before it the preterm one.
inline constexpr int kTermDay = 259;

enum class KickOutcome
{
    Running = 0,
    ReachedTen = 1,
    TimedOut = 2,
};

struct KickSession
{
    std::int64_t id = 0;
    std::int64_t started = 0;
    std::int64_t ended = 0; // 0 while running
    int count = 0;
    KickOutcome outcome = KickOutcome::Running;

    bool IsRunning() const { return outcome == KickOutcome::Running; }
    // Seconds from the first press to the tenth; only for a session that reached ten.
    std::int64_t Duration() const { return ended - started; }
};

// What a running session has become at `now`: ten presses end it, two hours without ten
// end it as timed out.
KickOutcome KickOutcomeAt(const KickSession& session, std::int64_t now);

// The median, in seconds, of the last seven sessions that reached ten among `earlier`
// (oldest first); nothing while fewer than three did.
std::optional<double> UsualKickSeconds(const std::vector<KickSession>& earlier);

// Whether a session that reached ten took more than twice her usual time, judged against
// the sessions before it (oldest first).
bool IsSlowerThanUsual(const KickSession& session, const std::vector<KickSession>& earlier);

struct Contraction
{
    std::int64_t id = 0;
    std::int64_t series = 0;
    std::int64_t started = 0;
    std::int64_t ended = 0; // 0 while it lasts

    bool IsRunning() const { return ended == 0; }
    std::int64_t Length() const { return ended - started; }
};

// The figures over the last hour of a series (contractions oldest first).
struct HourFigures
{
    int count = 0;              // contractions that started in the hour
    double averageInterval = 0; // seconds between starts; 0 with fewer than two
    double averageLength = 0;   // seconds, of the finished ones; 0 with none
};

HourFigures FiguresOfLastHour(const std::vector<Contraction>& series, std::int64_t now);

enum class LabourBanner
{
    None,
    GoToHospital, // from 37 weeks: about every 5 minutes, about a minute long, for an hour
    Preterm,      // before 37 weeks: 4 in 20 minutes or 8 in an hour
};

// Which banner the series raises at `now` on the given day of pregnancy.
LabourBanner BannerFor(const std::vector<Contraction>& series, std::int64_t now, int daysPregnant);

// Local midnight at the start of the day that holds `time`.
std::int64_t LocalDayStart(std::int64_t time);
// The local time as strftime writes it with `format`; empty when it cannot be converted.
std::string LocalTimeText(std::int64_t time, const char* format);
// "HH:MM:SS" and "YYYY-MM-DD HH:MM:SS" in local time.
inline std::string LocalClockText(std::int64_t time) { return LocalTimeText(time, "%H:%M:%S"); }
inline std::string LocalDateTimeText(std::int64_t time)
{
    return LocalTimeText(time, "%Y-%m-%d %H:%M:%S");
}
// "M:SS", or "H:MM:SS" from an hour on; negative counts as 0.
std::string DurationText(std::int64_t seconds);
