#include "track/track_rules.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kPretermShortWindow = 20 * 60;
constexpr int kPretermShortCount = 4;
constexpr int kPretermHourCount = 8;
constexpr double kLabourInterval = 5 * 60;
constexpr double kLabourLength = 45;
constexpr std::int64_t kLabourLongestGap = 10 * 60;

std::vector<const Contraction*> StartedSince(const std::vector<Contraction>& series,
                                             std::int64_t since, std::int64_t now)
{
    std::vector<const Contraction*> found;
    for (const Contraction& c : series) {
        if (c.started >= since && c.started <= now)
            found.push_back(&c);
    }
    return found;
}

bool LocalParts(std::int64_t time, std::tm& parts)
{
    const std::time_t t = static_cast<std::time_t>(time);
    return localtime_r(&t, &parts) != nullptr;
}

} // namespace

KickOutcome KickOutcomeAt(const KickSession& session, std::int64_t now)
{
    if (!session.IsRunning())
        return session.outcome;
    if (session.count >= kKicksToCount)
        return KickOutcome::ReachedTen;
    if (now - session.started >= kKickLimitSeconds)
        return KickOutcome::TimedOut;
    return KickOutcome::Running;
}

std::optional<double> UsualKickSeconds(const std::vector<KickSession>& earlier)
{
    std::vector<double> times;
    for (auto it = earlier.rbegin(); it != earlier.rend() && times.size() < kMedianOfLast; ++it) {
        if (it->outcome == KickOutcome::ReachedTen)
            times.push_back(static_cast<double>(it->Duration()));
    }
    if (times.size() < static_cast<std::size_t>(kMinSessionsForMedian))
        return std::nullopt;
    std::sort(times.begin(), times.end());
    const std::size_t mid = times.size() / 2;
    return times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2;
}

bool IsSlowerThanUsual(const KickSession& session, const std::vector<KickSession>& earlier)
{
    if (session.outcome != KickOutcome::ReachedTen)
        return false;
    const std::optional<double> usual = UsualKickSeconds(earlier);
    return usual && static_cast<double>(session.Duration()) > kSlowFactor * *usual;
}

HourFigures FiguresOfLastHour(const std::vector<Contraction>& series, std::int64_t now)
{
    HourFigures figures;
    const auto inHour = StartedSince(series, now - kHour, now);
    figures.count = static_cast<int>(inHour.size());
    if (inHour.size() >= 2) {
        figures.averageInterval =
            static_cast<double>(inHour.back()->started - inHour.front()->started) /
            static_cast<double>(inHour.size() - 1);
    }
    int finished = 0;
    double total = 0;
    for (const Contraction* c : inHour) {
        if (!c->IsRunning()) {
            total += static_cast<double>(c->Length());
            ++finished;
        }
    }
    if (finished)
        figures.averageLength = total / finished;
    return figures;
}

LabourBanner BannerFor(const std::vector<Contraction>& series, std::int64_t now, int daysPregnant)
{
    if (daysPregnant < kTermDay) {
        const bool shortRun =
            StartedSince(series, now - kPretermShortWindow, now).size() >= kPretermShortCount;
        const bool hourRun = StartedSince(series, now - kHour, now).size() >= kPretermHourCount;
        return shortRun || hourRun ? LabourBanner::Preterm : LabourBanner::None;
    }
    const auto inHour = StartedSince(series, now - kHour, now);
    if (inHour.size() < 2)
        return LabourBanner::None;
    // The whole hour must be covered: a gap counts from the hour's start to the first
    // contraction, between starts, and from the last one to now.
    std::int64_t previous = now - kHour;
    std::int64_t longestGap = 0;
    for (const Contraction* c : inHour) {
        longestGap = std::max(longestGap, c->started - previous);
        previous = c->started;
    }
    longestGap = std::max(longestGap, now - previous);
    const HourFigures figures = FiguresOfLastHour(series, now);
    const bool regular = figures.averageInterval <= kLabourInterval &&
                         figures.averageLength >= kLabourLength && longestGap <= kLabourLongestGap;
    return regular ? LabourBanner::GoToHospital : LabourBanner::None;
}

std::int64_t LocalDayStart(std::int64_t time)
{
    std::tm parts{};
    if (!LocalParts(time, parts))
        return time;
    parts.tm_hour = 0;
    parts.tm_min = 0;
    parts.tm_sec = 0;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

std::string LocalTimeText(std::int64_t time, const char* format)
{
    std::tm parts{};
    char text[64];
    if (!LocalParts(time, parts) || std::strftime(text, sizeof text, format, &parts) == 0)
        return {};
    return text;
}

std::string DurationText(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(seconds, 0);
    char text[32];
    if (seconds >= kHour)
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / kHour),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}
