// A save killed at any moment leaves a complete profile: a child process saves over and
// over while the test kills it with SIGKILL at random points, and after every kill the
// profile must read back with one of the two dates the child was between.
// TAVRO_SOAK_SAVES sets how many saves in all (100 by default; 1000 for the long run).

#include "fake_services.h"
#include "host/file_io.h"
#include "host/xml_text.h"
#include "profile/calendar.h"
#include "profile/profile_file.h"
#include "scoped_time_zone.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kProfile = "Release/conf/userdata.xml";

// What the saving child has done, shared with the test across fork().
struct Progress
{
    std::atomic<int> done{0};
};

// The due date of save number n.
std::int64_t DateOf(int n) { return MakeLocalDate(2026, 7, 1) + (n % 200) * SECONDS_PER_DAY; }

// A forked child that is always killed and reaped, whatever the test's outcome.
class Child
{
public:
    explicit Child(pid_t pid) : m_pid(pid) {}
    ~Child() { Kill(); }
    // The way the child ended: its wait status.
    int Kill()
    {
        int status = 0;
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid;
};

[[noreturn]] void SaveForever(const std::wstring& programDir, Progress& progress)
{
    FakeServices fakes;
    fakes.clock.Set(MakeLocalDate(2026, 6, 10) + 12 * 3600);
    CTavroAppData app;
    app.programDir = programDir;
    for (int n = progress.done.load() + 1;; ++n) {
        app.dueTime = DateOf(n);
        SaveProfile(app);
        if (!fakes.messageBox.shown.empty())
            _exit(3); // a save that failed by itself
        progress.done.store(n);
    }
}

// Files beside the profile other than the profile itself.
std::vector<std::string> StrayFiles(const TempProgramDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Sub("Release/conf")))
        if (entry.path().filename() != "userdata.xml")
            names.push_back(entry.path().filename().string());
    return names;
}

int SoakSaves()
{
    const char* text = std::getenv("TAVRO_SOAK_SAVES");
    const int saves = text ? std::atoi(text) : 0;
    return saves > 0 ? saves : 100;
}

} // namespace

TEST(ProfileSoak, EveryProfileReadsBackAfterASigkillDuringASave)
{
    ScopedTimeZone zone{"Asia/Shanghai"};
    FakeServices fakes;
    fakes.clock.Set(MakeLocalDate(2026, 6, 10) + 12 * 3600);
    TempProgramDir dir;
    dir.Write(kProfile, "<userdata first=\"250\" needup=\"0\"><!-- kept -->"
                        "<date year=\"2026\" month=\"7\" day=\"1\" /></userdata>");

    void* shared =
        mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* progress = new (shared) Progress;
    struct Unmap
    {
        void* p;
        ~Unmap() { munmap(p, sizeof(Progress)); }
    } unmap{shared};

    std::mt19937 random(12345);
    const int total = SoakSaves();
    int kills = 0, strayFiles = 0;
    while (progress->done.load() < total) {
        const int before = progress->done.load();
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            SaveForever(dir.WidePath(), *progress);
        Child child(pid);
        // Let it complete a few saves, then strike at a random point of the next one.
        const int target = before + 1 + static_cast<int>(random() % 4);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (progress->done.load() < target && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_GE(progress->done.load(), target) << "the child stopped saving";
        for (unsigned spin = random() % 200000; spin > 0; --spin)
            std::atomic_signal_fence(std::memory_order_seq_cst); // not optimised away
        const int status = child.Kill();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended by itself: " << status;
        ++kills;

        const int done = progress->done.load();
        const auto text = ReadWholeFile(dir.Sub(kProfile).string(), 1 << 20);
        ASSERT_TRUE(text) << "no profile after kill " << kills;
        TiXmlDocument doc;
        ASSERT_TRUE(ParseXmlText(doc, *text)) << "kill " << kills << ":\n" << *text;
        CTavroAppData read;
        ApplyProfileDocument(read, doc);
        EXPECT_FALSE(read.firstRun) << "kill " << kills;
        EXPECT_TRUE(read.dueTime == DateOf(done) || read.dueTime == DateOf(done + 1))
            << "kill " << kills << " after save " << done << ":\n"
            << *text;
        EXPECT_NE(text->find("<!-- kept -->"), std::string::npos) << "kill " << kills;
        // A kill before the rename leaves the half-written new file beside the profile,
        // which the next save clears away.
        strayFiles += static_cast<int>(StrayFiles(dir).size());
    }
    std::cout << "soak: " << progress->done.load() << " saves, " << kills << " kills, "
              << strayFiles << " unfinished new files found after a kill\n";
    CTavroAppData last;
    last.programDir = dir.WidePath();
    last.dueTime = DateOf(7);
    SaveProfile(last);
    EXPECT_EQ(StrayFiles(dir), std::vector<std::string>{}) << "a later save leaves them";
    EXPECT_TRUE(fakes.messageBox.shown.empty());
}
