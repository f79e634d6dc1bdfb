#include "../profile/scoped_time_zone.h"
#include "temp_program_dir.h"
#include "track/track_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kStart = 1774785600;

class TrackRecordsTest : public ::testing::Test
{
protected:
    std::string Path() const { return dir.Sub("records.db").string(); }
    // Every press stored, over all sessions.
    static int StoredPresses(const TrackRecords& records)
    {
        int presses = 0;
        for (const KickSession& s : records.KickSessionsSince(0))
            presses += s.count;
        return presses;
    }

    ScopedTimeZone zone{"Asia/Shanghai"};
    TempProgramDir dir;
};

// A child presses as fast as it can and acknowledges each press once PressKick returned;
// it is killed at a moment the parent does not choose. Every acknowledged press must be
// in the file, and at most one more (the one in flight may or may not have landed).
TEST_F(TrackRecordsTest, KillDuringPressesLosesAtMostThePressInFlight)
{
    int acknowledged = 0;
    for (int round = 0; round < 3; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            TrackRecords records;
            if (records.Open(Path()) != TrackRecords::OpenState::Opened)
                _exit(3);
            for (std::int64_t i = 0;; ++i) {
                if (!records.PressKick(kStart + i))
                    _exit(4);
                if (write(pipeFds[1], "k", 1) != 1)
                    _exit(5);
            }
        }
        close(pipeFds[1]);
        // Killed after a hundred acknowledged presses or more, wherever it then is.
        int thisRound = 0;
        char byte;
        while (thisRound < 100 + round * 7 && read(pipeFds[0], &byte, 1) == 1)
            ++thisRound;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(pipeFds[0], &byte, 1) == 1)
            ++thisRound;
        close(pipeFds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;
        acknowledged += thisRound;

        TrackRecords records;
        ASSERT_EQ(records.Open(Path()), TrackRecords::OpenState::Opened);
        const int stored = StoredPresses(records);
        EXPECT_GE(stored, acknowledged) << "round " << round;
        EXPECT_LE(stored, acknowledged + 1) << "round " << round;
        acknowledged = stored;
        // Every ten made a finished session, and at most one runs.
        int running = 0;
        for (const KickSession& s : records.KickSessionsSince(0)) {
            running += s.IsRunning();
            EXPECT_LE(s.count, kKicksToCount);
            if (!s.IsRunning()) {
                EXPECT_EQ(s.count, kKicksToCount);
            }
        }
        EXPECT_LE(running, 1);
    }
    EXPECT_GE(acknowledged, 300);
}

TEST_F(TrackRecordsTest, UnreadableFileIsSetAsideWithItsLogAndAFreshOneStarted)
{
    const std::string garbage(4096, 'x');
    dir.Write("records.db", garbage);
    dir.Write("records.db-wal", "old log");
    {
        TrackRecords records;
        ASSERT_EQ(records.Open(Path()), TrackRecords::OpenState::SetAside);
        EXPECT_EQ(records.SetAsideName(), Path() + ".unreadable");
        EXPECT_EQ(dir.Read("records.db.unreadable"), garbage);
        // The damaged file's log is never played into the fresh file.
        EXPECT_FALSE(std::filesystem::exists(dir.Sub("records.db-wal")) &&
                     dir.Read("records.db-wal") == "old log");
        ASSERT_TRUE(records.PressKick(kStart));
    }
    TrackRecords again;
    ASSERT_EQ(again.Open(Path()), TrackRecords::OpenState::Opened);
    ASSERT_TRUE(again.RunningKickSession());
    EXPECT_EQ(again.RunningKickSession()->count, 1);

    // A second damaged file keeps the first one aside as it is.
    again = TrackRecords();
    dir.Write("records.db", std::string(300, 'y'));
    std::filesystem::remove(dir.Sub("records.db-wal"));
    std::filesystem::remove(dir.Sub("records.db-shm"));
    TrackRecords third;
    ASSERT_EQ(third.Open(Path()), TrackRecords::OpenState::SetAside);
    EXPECT_EQ(third.SetAsideName(), Path() + ".unreadable-2");
    EXPECT_EQ(dir.Read("records.db.unreadable"), garbage);
}

TEST_F(TrackRecordsTest, FolderInThePlaceOfTheFileIsRefusedAndLeftAlone)
{
    std::filesystem::create_directories(dir.Sub("records.db"));
    TrackRecords records;
    EXPECT_EQ(records.Open(Path()), TrackRecords::OpenState::Failed);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Sub("records.db")));
}

TEST_F(TrackRecordsTest, RunningSessionSurvivesReopeningAndTheTenthPressEndsIt)
{
    {
        TrackRecords records;
        ASSERT_EQ(records.Open(Path()), TrackRecords::OpenState::Opened);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(records.PressKick(kStart + i * 60));
    }
    TrackRecords records;
    ASSERT_EQ(records.Open(Path()), TrackRecords::OpenState::Opened);
    const auto running = records.RunningKickSession();
    ASSERT_TRUE(running);
    EXPECT_EQ(running->count, 3);
    EXPECT_EQ(running->started, kStart);
    std::optional<KickSession> last;
    for (int i = 3; i < 10; ++i)
        last = records.PressKick(kStart + i * 60);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outcome, KickOutcome::ReachedTen);
    EXPECT_EQ(last->Duration(), 9 * 60);
    EXPECT_FALSE(records.RunningKickSession());
    // The next press starts a new session.
    const auto next = records.PressKick(kStart + 3600);
    ASSERT_TRUE(next);
    EXPECT_NE(next->id, last->id);
    EXPECT_EQ(next->count, 1);
}

TEST_F(TrackRecordsTest, ClearingStartsANewSeriesAndTheExportKeepsEveryRecord)
{
    TrackRecords records;
    ASSERT_EQ(records.Open(Path()), TrackRecords::OpenState::Opened);
    EXPECT_EQ(records.CurrentSeries(), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(records.ToggleContraction(kStart + i * 300));
        ASSERT_TRUE(records.ToggleContraction(kStart + i * 300 + 50));
    }
    const auto lasting = records.ToggleContraction(kStart + 1000);
    ASSERT_TRUE(lasting && lasting->IsRunning());
    const std::int64_t first = records.CurrentSeries();
    ASSERT_EQ(records.SeriesContractions(first).size(), 4u);

    ASSERT_TRUE(records.StartNewSeries(kStart + 1030));
    EXPECT_NE(records.CurrentSeries(), first);
    EXPECT_TRUE(records.SeriesContractions(records.CurrentSeries()).empty());
    // The one that lasted was closed with its series.
    EXPECT_EQ(records.SeriesContractions(first).back().Length(), 30);
    ASSERT_TRUE(records.ToggleContraction(kStart + 2000));

    for (int i = 0; i < 10; ++i)
        records.PressKick(kStart + i * 30);
    const std::string csv = records.ExportCsv();
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u) << "a spreadsheet needs the mark to read UTF-8";
    // A header, one session and five contractions in two series.
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 1 + 5);
    // Shanghai time (the tests' zone) and the interval from the previous start.
    EXPECT_NE(csv.find("数胎动,2026-03-29 20:00:00,2026-03-29 20:04:30,270,10,满10次"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("宫缩,2026-03-29 20:05:00,2026-03-29 20:05:50,50,,,300,"), std::string::npos)
        << csv;
}

} // namespace
