#include "host/host_utils.h"
#include "restarter/restarter.h"
#include "update/update_log.h"
#include "updater/program_process.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// The tray and the network come up after so many questions (-1: never).
class ScriptedDesktop final : public IDesktopProbe
{
public:
    ScriptedDesktop(int trayAfter, int networkAfter)
        : m_trayAfter(trayAfter), m_networkAfter(networkAfter)
    {}
    bool TrayAvailable() override { return m_trayAfter >= 0 && m_trayAsked++ >= m_trayAfter; }
    bool NetworkUp() override { return m_networkAfter >= 0 && m_networkAsked++ >= m_networkAfter; }
    void Pause(int ms) override { m_pausedMs += ms; }
    int m_trayAfter, m_networkAfter;
    int m_trayAsked = 0, m_networkAsked = 0;
    int m_pausedMs = 0;
};

TEST(Restarter, WaitsForTrayAndNetworkButNoLongerThanTheBound)
{
    const struct
    {
        const char* what;
        int trayAfter, networkAfter;
        bool tray, network;
        int waitedMs;
    } cases[] = {
        {"both there", 0, 0, true, true, 0},
        {"tray later", 3, 0, true, true, 1500},
        {"network later than the tray", 2, 6, true, true, 3000},
        {"no network ever", 1, -1, true, false, 10000},
        {"no tray ever", -1, 0, false, true, 10000},
        {"neither", -1, -1, false, false, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDesktop desktop(c.trayAfter, c.networkAfter);
        const DesktopWait wait = WaitForDesktop(desktop, 10000, 500);
        EXPECT_EQ(wait.tray, c.tray);
        EXPECT_EQ(wait.network, c.network);
        EXPECT_EQ(wait.waitedMs, c.waitedMs);
        EXPECT_EQ(desktop.m_pausedMs, c.waitedMs);
        EXPECT_EQ(DescribeMissing(wait).empty(), c.tray && c.network);
    }
}

TEST(UpdateLog, StaysShortAndKeepsTheNewestWholeLines)
{
    const std::string line(100, 'x');
    const struct
    {
        const char* what;
        std::string old;
        bool cut;
    } cases[] = {
        {"empty", "", false},
        {"a few lines", "a\nb\n", false},
        {"full",
         [&] {
             std::string full;
             for (std::size_t i = 0; full.size() < kLogLimitBytes; ++i)
                 full += std::to_string(i) + " " + line + "\n";
             return full;
         }(),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = AppendLogLine(c.old, 0, "Update", "installed version 4.0.1");
        EXPECT_TRUE(text.ends_with(" Update: installed version 4.0.1\n"));
        EXPECT_LE(text.size(), c.cut ? kLogLimitBytes / 2 : c.old.size() + 200);
        if (c.cut) {
            EXPECT_LT(text.size(), c.old.size());
            // Cut at a line start: the first line is one the old text had whole.
            const std::string first = text.substr(0, text.find('\n') + 1);
            EXPECT_NE(c.old.find("\n" + first), std::string::npos);
        } else {
            EXPECT_TRUE(text.starts_with(c.old));
        }
    }
    // The file itself, as every writer appends to it: kept short, private, newest line last.
    TempProgramDir dir;
    fs::create_directories(dir.Sub("Release"));
    for (int i = 0; i < 500; ++i)
        LogUpdateLine(dir.Path().string(), "Update", std::to_string(i) + " " + line);
    const std::string log = dir.Read("Release/update.log");
    EXPECT_LE(log.size(), kLogLimitBytes);
    EXPECT_TRUE(log.ends_with(" Update: 499 " + line + "\n"));
    EXPECT_EQ(fs::status(dir.Sub("Release/update.log")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// A child process running a copy of `sleep` under a path of the test's own (never named
// like one of the program's executables, which other tests on the machine look for), as
// this user or as another one.
class SleepingCopy
{
public:
    explicit SleepingCopy(const fs::path& exe, std::optional<uid_t> asUser = {}) : m_exe(exe)
    {
        if (!fs::exists(exe))
            fs::copy_file("/bin/sleep", exe);
        fs::permissions(exe, fs::perms(0755));
        std::string path = exe.string();
        std::string seconds = "60";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        // Opened first: another user may not reach the test's folder by path.
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        m_pid = fork();
        if (m_pid == 0) {
            if (!asUser || (setgid(*asUser) == 0 && setuid(*asUser) == 0))
                fexecve(fd, argv, environ);
            _exit(127);
        }
        close(fd);
    }
    ~SleepingCopy() { Stop(); }
    void Stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    pid_t m_pid = -1;
    fs::path m_exe;
};

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        PauseMs(10);
    }
    return true;
}

TEST(ProgramProcess, ARunningExecutableIsFoundByItsPathOnly)
{
    TempProgramDir dir;
    fs::create_directories(dir.Sub("a/Release"));
    fs::create_directories(dir.Sub("b/Release"));
    SleepingCopy copy(dir.Sub("a/Release/waiter"));
    ASSERT_GT(copy.m_pid, 0);
    fs::copy_file("/bin/sleep", dir.Sub("b/Release/waiter"));

    // The process shows its executable once exec is done.
    EXPECT_TRUE(WaitUntil([&] { return IsExecutableRunning(dir.Sub("a/Release/waiter")); }));
    EXPECT_TRUE(IsExecutableRunning(dir.Sub("a/Release/../Release/waiter")));
    // The same name in another program folder is another program.
    EXPECT_FALSE(IsExecutableRunning(dir.Sub("b/Release/waiter")));
    copy.Stop();
    EXPECT_FALSE(IsExecutableRunning(dir.Sub("a/Release/waiter")));

    // Another user running this very file is not this user's program.
    if (getuid() == 0) {
        SleepingCopy foreign(dir.Sub("a/Release/waiter"), 65534);
        ASSERT_GT(foreign.m_pid, 0);
        const std::string procExe = "/proc/" + std::to_string(foreign.m_pid) + "/exe";
        ASSERT_TRUE(WaitUntil([&] {
            std::error_code error;
            return fs::read_symlink(procExe, error) == dir.Sub("a/Release/waiter");
        }));
        EXPECT_FALSE(IsExecutableRunning(dir.Sub("a/Release/waiter")));
    }
}

} // namespace
