#include "../profile/scoped_time_zone.h"
#include "track/track_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// 2026-03-29 12:00 UTC; the rows count back from it.
constexpr std::int64_t kNow = 1774785600;
constexpr std::int64_t kMin = 60;

// `count` contractions `every` seconds apart, each `length` long, the first `firstAgo`
// seconds before now.
std::vector<Contraction> Regular(std::int64_t firstAgo, std::int64_t every, std::int64_t length,
                                 int count, std::int64_t now = kNow)
{
    std::vector<Contraction> series;
    for (int i = 0; i < count; ++i) {
        const std::int64_t start = now - firstAgo + i * every;
        series.push_back({i + 1, 1, start, start + length});
    }
    return series;
}

struct BannerRow
{
    const char* name;
    int day;
    std::vector<Contraction> series;
    LabourBanner expected;
};

TEST(TrackRulesTest, ContractionBannersAtAndJustPastEachThreshold)
{
    // Twelve starts from the hour's first second, every 5:00, cover the hour with 5:00 gaps.
    const std::vector<BannerRow> rows = {
        {"5-1-1 exactly at the thresholds", 259, Regular(3600, 300, 45, 12),
         LabourBanner::GoToHospital},
        {"a second too far apart", 265, Regular(3600, 301, 60, 12), LabourBanner::None},
        {"a second too short", 265, Regular(3600, 300, 44, 12), LabourBanner::None},
        {"closer, longer", 270, Regular(3600, 240, 70, 15), LabourBanner::GoToHospital},
        {"only the last half hour", 270, Regular(1800, 240, 60, 8), LabourBanner::None},
        {"regular but stopped 11 minutes ago", 270, Regular(3600 + 360, 300, 60, 12),
         LabourBanner::None},
        {"the same hour the day before 37 weeks", 258, Regular(3600, 300, 45, 12),
         LabourBanner::Preterm},
        {"preterm: 4 in 20 minutes", 230, Regular(19 * kMin, 6 * kMin, 30, 4),
         LabourBanner::Preterm},
        {"preterm: 3 in 20 minutes", 230, Regular(19 * kMin, 9 * kMin, 30, 3), LabourBanner::None},
        {"preterm: 4 spread over 21 minutes", 230, Regular(21 * kMin, 7 * kMin, 30, 4),
         LabourBanner::None},
        {"preterm: 8 in 60 minutes", 200, Regular(56 * kMin, 8 * kMin, 30, 8),
         LabourBanner::Preterm},
        {"preterm: 7 in 60 minutes", 200, Regular(56 * kMin, 9 * kMin, 30, 7), LabourBanner::None},
        {"4 in 20 minutes at term is no banner", 259, Regular(19 * kMin, 6 * kMin, 60, 4),
         LabourBanner::None},
        {"nothing at all", 265, {}, LabourBanner::None},
    };
    for (const BannerRow& row : rows)
        EXPECT_EQ(BannerFor(row.series, kNow, row.day), row.expected) << row.name;
}

TEST(TrackRulesTest, HourFiguresCountOnlyTheLastHourAndFinishedLengths)
{
    std::vector<Contraction> series = Regular(3 * 3600, 600, 50, 10); // older, left out
    const std::vector<Contraction> recent = Regular(20 * kMin, 6 * kMin, 40, 3);
    series.insert(series.end(), recent.begin(), recent.end());
    series.push_back({99, 1, kNow - 30, 0}); // still lasting: counted, no length yet
    const HourFigures figures = FiguresOfLastHour(series, kNow);
    EXPECT_EQ(figures.count, 4);
    EXPECT_DOUBLE_EQ(figures.averageInterval, (20 * kMin - 30) / 3.0);
    EXPECT_DOUBLE_EQ(figures.averageLength, 40);
}

struct KickRow
{
    const char* name;
    int count;
    std::int64_t startedAgo;
    KickOutcome expected;
};

TEST(TrackRulesTest, KickSessionsEndAtTenOrAfterTwoHours)
{
    const std::vector<KickRow> rows = {
        {"ten at the last second", 10, 7200, KickOutcome::ReachedTen},
        {"nine after 1:59:59", 9, 7199, KickOutcome::Running},
        {"nine after two hours", 9, 7200, KickOutcome::TimedOut},
        {"one after three hours", 1, 3 * 3600, KickOutcome::TimedOut},
    };
    for (const KickRow& row : rows) {
        const KickSession session{1, kNow - row.startedAgo, 0, row.count, KickOutcome::Running};
        EXPECT_EQ(KickOutcomeAt(session, kNow), row.expected) << row.name;
    }
}

KickSession Finished(std::int64_t minutes, KickOutcome outcome = KickOutcome::ReachedTen)
{
    return {0, 0, minutes * kMin, outcome == KickOutcome::ReachedTen ? 10 : 6, outcome};
}

struct SlowRow
{
    const char* name;
    std::vector<KickSession> earlier;
    std::int64_t seconds;
    bool slow;
};

TEST(TrackRulesTest, SlowerThanUsualNeedsThreeSessionsAndMoreThanTwiceTheMedian)
{
    const KickSession timedOut = Finished(120, KickOutcome::TimedOut);
    const std::vector<SlowRow> rows = {
        {"two sessions are not enough", {Finished(10), Finished(12)}, 60 * kMin, false},
        {"exactly twice the median", {Finished(10), Finished(12), Finished(14)}, 24 * kMin, false},
        {"a second past twice", {Finished(10), Finished(12), Finished(14)}, 24 * kMin + 1, true},
        {"median of an even count",
         {Finished(10), Finished(12), Finished(14), Finished(16)},
         26 * kMin + 1,
         true},
        {"only the last seven count",
         {Finished(60), Finished(60), Finished(10), Finished(10), Finished(10), Finished(10),
          Finished(10), Finished(10), Finished(10)},
         21 * kMin,
         true},
        {"timed-out sessions have no time to ten",
         {Finished(10), timedOut, Finished(10), timedOut},
         60 * kMin,
         false},
    };
    for (const SlowRow& row : rows) {
        const KickSession session{0, 0, row.seconds, 10, KickOutcome::ReachedTen};
        EXPECT_EQ(IsSlowerThanUsual(session, row.earlier), row.slow) << row.name;
    }
}

TEST(TrackRulesTest, DaylightSavingChangeInsideASeriesKeepsIntervalsAndLocalTimes)
{
    const ScopedTimeZone zone("Europe/Berlin");
    // Berlin's clocks go from 02:00 to 03:00 at 2026-03-29 01:00 UTC.
    constexpr std::int64_t kChange = 1774746000;
    const std::int64_t now = kChange + 30 * kMin;
    const std::vector<Contraction> series = Regular(3600, 300, 60, 12, now);
    EXPECT_EQ(BannerFor(series, now, 270), LabourBanner::GoToHospital);
    EXPECT_DOUBLE_EQ(FiguresOfLastHour(series, now).averageInterval, 300);
    // Five minutes apart on either side of the change, an hour apart on the wall clock.
    EXPECT_EQ(LocalClockText(kChange - 2 * kMin), "01:58:00");
    EXPECT_EQ(LocalClockText(kChange + 3 * kMin), "03:03:00");
    EXPECT_EQ(LocalDateTimeText(kChange + 3 * kMin), "2026-03-29 03:03:00");
    // That day began at 23:00 UTC the day before and lasted 23 hours.
    EXPECT_EQ(LocalDayStart(now), kChange - 2 * 3600);
    EXPECT_EQ(LocalDayStart(kChange + 23 * 3600), kChange + 21 * 3600);
}

} // namespace
