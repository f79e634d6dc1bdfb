#include "app/command_line.h"
#include "app/instance_lock.h"
#include "app/running_copy.h"
#include "app/tavro_app.h"
#include "fake_services.h"
#include "fake_ui_services.h"
#include "host/text_codec.h"
#include "profile/calendar.h"
#include "remind/tip_database.h"
#include "scoped_env.h"
#include "temp_program_dir.h"
#include "test_windows.h"
#include "ui/qt_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TEST(CommandLine, OnlyTheExactSwitchesCount)
{
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({})), StartSwitch::Empty);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({"-start"})), StartSwitch::Start);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({"-restart"})), StartSwitch::Restart);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({"-START"})), StartSwitch::Other);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({" -start"})), StartSwitch::Other);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({"-start", ""})), StartSwitch::Other);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({"-start", "x"})), StartSwitch::Other);
    EXPECT_EQ(ClassifyCommandLine(RawCommandLine({""})), StartSwitch::Empty);
}

TEST(InstanceLockTest, OneHolderAtATimeAndNothingStaleAfterRelease)
{
    TempProgramDir dir;
    const std::string path = dir.Sub("lock").string();
    InstanceLock first(path), second(path);
    EXPECT_FALSE(first.IsTakenByAnyone());
    EXPECT_TRUE(first.TryAcquire());
    EXPECT_TRUE(second.IsTakenByAnyone());
    EXPECT_FALSE(second.TryAcquire());
    first.Release();
    EXPECT_TRUE(second.TryAcquire());
}

TEST(RunningCopyChannel, DeliversMessagesToTheListenerInOrder)
{
    const QString title =
        QStringLiteral("Tavro测试窗口 %1").arg(QCoreApplication::applicationPid());
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> received;
    RunningCopyListener listener(
        [&](UINT m, WPARAM w, LPARAM l) { received.emplace_back(m, w, l); });
    EXPECT_FALSE(PostToRunningCopy(title, WM_SHOW_MAIN, 0, 0));
    ASSERT_TRUE(listener.Listen(title));

    // The sender blocks until the bytes are written, so it runs beside the event loop. Only
    // "show the main window" is taken: nothing else a process can post through the channel
    // (an update marked ready, another page) reaches the parent window.
    bool sent = false;
    QTimer::singleShot(0, [&] {
        sent = PostToRunningCopy(title, WM_UPDATE_READY, 1, 0) &&
               PostToRunningCopy(title, WM_VIEW_MAIN, 2, -5) &&
               PostToRunningCopy(title, WM_SHOW_MAIN, 0, 0) &&
               PostToRunningCopy(title, WM_SHOW_MAIN, 0, 0);
    });
    QDeadlineTimer deadline(10000);
    while (received.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(sent);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], std::make_tuple(WM_SHOW_MAIN, WPARAM(0), LPARAM(0)));
    EXPECT_EQ(received[1], std::make_tuple(WM_SHOW_MAIN, WPARAM(0), LPARAM(0)));
    EXPECT_NE(ChannelNameForTitle(title), ChannelNameForTitle(title + "x"));
}

// A channel file left by a copy that was killed is replaced; the new channel is this user's
// alone; a record that arrives in pieces is delivered once, whole.
TEST(RunningCopyChannel, ReplacesALeftoverChannelAndJoinsRecordsThatArriveInPieces)
{
    const QString title = QStringLiteral("Tavro片段 %1").arg(QCoreApplication::applicationPid());
    const std::string path = ChannelPath(ChannelNameForTitle(title));
    std::ofstream(path) << "left behind";
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> received;
    {
        RunningCopyListener listener(
            [&](UINT m, WPARAM w, LPARAM l) { received.emplace_back(m, w, l); });
        ASSERT_TRUE(listener.Listen(title));
        struct stat info
        {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISSOCK(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        const std::string record = EncodeChannelRecord(WM_SHOW_MAIN, 0, 0);
        const auto deliver = [&](std::size_t count) {
            QDeadlineTimer deadline(10000);
            while (received.size() < count && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        };
        ASSERT_EQ(::write(fd, record.data(), 9), 9);
        // Lets the listener accept and read the first piece, which must not be delivered.
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_TRUE(received.empty());
        ASSERT_EQ(::write(fd, record.data() + 9, record.size() - 9),
                  static_cast<ssize_t>(record.size() - 9));
        ::close(fd);
        deliver(1);
    }
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], std::make_tuple(WM_SHOW_MAIN, WPARAM(0), LPARAM(0)));
    // The channel goes with its listener.
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

// Nobody can take the channel's place: not a listener at the shared temporary folder's old
// name, not a folder someone else made or pointed at where this user's own should be.
TEST(RunningCopyChannel, LiesOnlyInAFolderOfThisUsersOwn)
{
    const QString title = QStringLiteral("Tavro占位 %1").arg(QCoreApplication::applicationPid());
    const TempProgramDir temp;
    std::filesystem::create_directory(temp.Sub("tmp"));
    ::chmod(temp.Sub("tmp").c_str(), 0700);
    const ScopedEnv tmp("TMPDIR", temp.Sub("tmp").c_str());
    const std::string own = temp.Sub("tmp/tavro-" + std::to_string(::getuid())).string();
    const struct
    {
        const char* what;
        const char* runtime; // XDG_RUNTIME_DIR
        std::function<void()> make;
        bool usable;
    } cases[] = {
        {"the runtime folder", std::getenv("XDG_RUNTIME_DIR"), [] {}, true},
        {"no runtime folder: one of our own is made", nullptr, [] {}, true},
        {"our own folder others can enter", nullptr,
         [&] { ASSERT_EQ(::mkdir(own.c_str(), 0777) | ::chmod(own.c_str(), 0777), 0); }, false},
        {"our own folder's place taken by a link", nullptr,
         [&] { std::filesystem::create_directory_symlink(temp.Sub("tmp"), own); }, false},
        {"our own folder's place taken by another user", nullptr,
         [&] { ASSERT_EQ(::mkdir(own.c_str(), 0700) | ::chown(own.c_str(), 65534, 65534), 0); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
        std::filesystem::remove_all(own);
        c.make();
        // A listener squatting where the channel used to lie is not reached: this start
        // goes on as the first copy.
        RunningCopyListener squatter([](UINT, WPARAM, LPARAM) { ADD_FAILURE(); });
        {
            const ScopedEnv atTheOldPlace("XDG_RUNTIME_DIR", temp.Sub("tmp").c_str());
            ASSERT_TRUE(squatter.Listen(title));
        }
        EXPECT_FALSE(PostToRunningCopy(title, WM_SHOW_MAIN, 0, 0));
        EXPECT_EQ(ChannelFolder().empty(), !c.usable);
        RunningCopyListener listener([](UINT, WPARAM, LPARAM) {});
        EXPECT_EQ(listener.Listen(title), c.usable);
    }
    std::filesystem::remove_all(own);
}

// Start-up with every question about the machine answered by the test.
class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.CopyStage();
        dir.Write(
            "Release/conf/userdata.xml",
            R"(<userdata first="250" needup="0"><date year="2015" month="6" day="15"/></userdata>)");
        services.clock.Set(MakeLocalDate(2015, 3, 7));
        host.postToRunningCopy = [this](UINT m, WPARAM w, LPARAM l, int) {
            posted.emplace_back(m, w, l);
            return runningCopy;
        };
        host.isAnotherInstanceRunning = [this] { return otherProcesses; };
        host.isUpdaterRunning = [this] { return updaterRunning; };
        host.acquireInstanceLock = [this] { return !lockTaken; };
        host.getProgramDir = [this] { return dir.WidePath(); };
        host.getExecutableDir = [this] { return dir.WidePath() + L"/Release"; };
    }
    void TearDown() override
    {
        // A start that ended the process never reached shutdown, which frees it.
        delete app.profileDoc;
    }

    // Runs start-up; the parent window's run is ended as the tray's "退出" would end it.
    // Answers the exit code when start-up ended the process, -1 when it ran through.
    int Start(std::vector<std::string> arguments = {}, CTavroV4App* other = nullptr)
    {
        CTavroV4App& started = other ? *other : app;
        // A timer of this call's own: a start that ends the process never runs an event
        // loop, and a request left queued would reach this fixture after it is gone.
        QTimer quit;
        quit.setSingleShot(true);
        QObject::connect(&quit, &QTimer::timeout, [&started] { started.RequestQuit(); });
        quit.start(0);
        try {
            EXPECT_FALSE(started.InitInstance(arguments, host, windows.Parts()));
        } catch (const ProcessExited& exited) {
            return exited.code;
        }
        return -1;
    }
    bool Did(const std::string& step) const
    {
        return std::find(app.m_steps.begin(), app.m_steps.end(), step) != app.m_steps.end();
    }

    FakeServices services;
    FakeUiServices ui;
    TempProgramDir dir;
    TestWindows windows;
    CTavroV4App app;
    StartupHost host;
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> posted;
    bool runningCopy = false, otherProcesses = false, updaterRunning = false, lockTaken = false;
};

TEST_F(StartupTest, RunningCopyGetsShowMainAndThisCopyEndsWithoutTrace)
{
    runningCopy = true;
    EXPECT_EQ(Start(), 0);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], std::make_tuple(WM_SHOW_MAIN, WPARAM(0), LPARAM(0)));
    EXPECT_FALSE(Did("skin opened"));
    EXPECT_TRUE(windows.log.events.empty());
}

TEST_F(StartupTest, CopyThatLosesTheRaceEndsAndHandsOverItsRequest)
{
    lockTaken = true;
    otherProcesses = true;
    EXPECT_EQ(Start(), 0);
    EXPECT_TRUE(Did("another instance"));
    EXPECT_EQ(posted.size(), 2u); // the quick look, then the wait for the winner's window
    EXPECT_FALSE(Did("skin opened"));
}

TEST_F(StartupTest, RenamedCopyHoldingTheLockIsNotCounted)
{
    // The lock is held, but no other process carries the program's name.
    lockTaken = true;
    EXPECT_EQ(Start(), -1);
    EXPECT_TRUE(Did("parent ended"));
}

TEST_F(StartupTest, RunningUpdaterStopsOnlyAnEmptyCommandLine)
{
    updaterRunning = true;
    EXPECT_EQ(Start(), 0);
    EXPECT_TRUE(Did("updater running"));
    EXPECT_FALSE(Did("skin opened"));

    app.m_steps.clear();
    EXPECT_EQ(Start({"-START"}), -1); // not the switch, and not empty: starts normally
    EXPECT_TRUE(Did("parent ended"));
}

// A pending update hands over to the updater at once: the start's mode goes with it, and a
// profile save that fails on the way out is logged, never shown in a box the updater
// would wait behind. A pending update with nothing staged has nothing to hand over.
TEST_F(StartupTest, AHandOverKeepsTheStartModeAndWaitsOnNoBox)
{
    const struct
    {
        const char* what;
        std::vector<std::string> arguments;
        bool staged;
        std::string mode; // what the updater is told
    } cases[] = {
        {"a start at login", {"-restart"}, true, "-restart"},
        {"a normal start", {}, true, ""},
        {"nothing staged", {}, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("Release/conf/userdata.xml",
                  R"(<userdata first="250" needup="1">)"
                  R"(<date year="2015" month="6" day="15"/></userdata>)");
        std::filesystem::remove_all(dir.Sub("Release/Update.staging"));
        if (c.staged)
            dir.Write("Release/Update.staging/update.xml", "<List/>");
        services.shell.startedPrograms.clear();
        services.messageBox.shown.clear();
        CTavroV4App fresh;
        EXPECT_EQ(Start(c.arguments, &fresh), -1);
        EXPECT_EQ(qEnvironmentVariable(kHandOverSwitchVariable).toStdString(), c.mode);
        EXPECT_EQ(services.shell.startedPrograms.size(), c.staged ? 1u : 0u);
        EXPECT_FALSE(fresh.updatePending);
        // The disk is full: the profile cannot be written.
        std::filesystem::remove_all(dir.Sub("Release/conf"));
        dir.Write("Release/conf", "a file where the folder goes");
        fresh.ExitInstance();
        EXPECT_EQ(services.messageBox.shown.empty(), c.staged);
        std::filesystem::remove(dir.Sub("Release/conf"));
    }
}

TEST_F(StartupTest, StartSwitchStartsTheRestarterAndEnds)
{
    EXPECT_EQ(Start({"-start"}), 0);
    ASSERT_EQ(services.shell.startedPrograms.size(), 1u);
    EXPECT_EQ(services.shell.startedPrograms[0], dir.WidePath() + L"/Release/Restart");
    EXPECT_FALSE(Did("skin opened"));
    EXPECT_TRUE(windows.log.events.empty());
}

TEST_F(StartupTest, RestartSwitchSkipsTheUpdaterTestAndKeepsMainHidden)
{
    updaterRunning = true;
    EXPECT_EQ(Start({"-restart"}), -1);
    EXPECT_TRUE(app.restartMode);
    EXPECT_EQ(windows.log.Count("show Main"), 0);
    EXPECT_EQ(windows.log.Count("show Float"), 1);
}

TEST_F(StartupTest, NormalStartPreparesEverythingInOrderAndShutdownSaves)
{
    EXPECT_EQ(Start(), -1);
    const std::vector<std::string> order = {"skin opened", "profile loading", "profile loaded",
                                            "parent running", "parent ended"};
    EXPECT_EQ(app.m_steps, order);
    EXPECT_NE(app.Skin(), nullptr);
    EXPECT_NE(app.ExternalDispatch(), nullptr);
    EXPECT_EQ(app.programDir, dir.WidePath());
    ASSERT_NE(app.Tips(), nullptr);
    EXPECT_TRUE(app.Tips()->IsOpen());
    EXPECT_EQ(app.daysToDue, 100);
    EXPECT_EQ(app.daysPregnant, 180);
    EXPECT_EQ(windows.log.Count("show Main"), 1);
    EXPECT_EQ(windows.log.Count("destroy Float"), 1);

    // Shutdown: the skin goes first, then the profile is written and the objects freed.
    dir.Write("Release/conf/userdata.xml", R"(<userdata first="0"><date/></userdata>)");
    EXPECT_EQ(app.ExitInstance(), 0);
    const std::vector<std::string> tail = {"skin freed", "profile saved"};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), app.m_steps.end() - 2));
    EXPECT_EQ(app.profileDoc, nullptr);
    EXPECT_EQ(app.Tips(), nullptr);
    EXPECT_NE(dir.Read("Release/conf/userdata.xml").find("year=\"2015\""), std::string::npos);
}

TEST_F(StartupTest, ExpiredDueDateEndsBeforeAnyWindowExists)
{
    services.clock.Set(MakeLocalDate(2015, 6, 16));
    EXPECT_EQ(Start(), 0);
    EXPECT_TRUE(Did("profile loading"));
    EXPECT_FALSE(Did("parent running"));
    EXPECT_TRUE(windows.log.events.empty());
    ASSERT_EQ(services.messageBox.shown.size(), 1u);
    EXPECT_EQ(services.messageBox.shown[0].text, L"您的Tavro已经过期，去我们的网站看看吧！");
}

TEST_F(StartupTest, MissingProfileStartsTheSetup)
{
    std::filesystem::remove(dir.Sub("Release/conf/userdata.xml"));
    EXPECT_EQ(Start(), -1);
    EXPECT_TRUE(app.firstRun);
    EXPECT_EQ(windows.log.Count("show SetFirst"), 1);
    EXPECT_EQ(windows.log.Count("show Main"), 0);
}

TEST_F(StartupTest, WithoutAUsableSkinTheUserIsToldWhatIsMissingAndTheProgramEnds)
{
    struct Case
    {
        const char* what;
        std::function<void(const TempProgramDir&)> damage;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"layout missing",
         [](const TempProgramDir& d) { std::filesystem::remove(d.Sub("Skin/RizIrozara.dui")); },
         "RizIrozara.dui"},
        {"skin missing",
         [](const TempProgramDir& d) { std::filesystem::remove(d.Sub("Skin/Default.skn")); },
         "Default.skn"},
        {"layout malformed",
         [](const TempProgramDir& d) { d.Write("Skin/RizIrozara.dui", "<skin><form"); },
         "RizIrozara.dui"},
        {"layout is a FIFO",
         [](const TempProgramDir& d) {
             std::filesystem::remove(d.Sub("Skin/RizIrozara.dui"));
             ASSERT_EQ(mkfifo(d.Sub("Skin/RizIrozara.dui").c_str(), 0600), 0);
         },
         "RizIrozara.dui"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir program;
        program.CopyStage();
        program.Write("Release/conf/userdata.xml",
                      R"(<userdata first="0"><date year="2015" month="6" day="15"/></userdata>)");
        c.damage(program);
        CTavroV4App fresh;
        StartupHost damaged = host;
        damaged.getProgramDir = [&program] { return program.WidePath(); };
        damaged.getExecutableDir = [&program] { return program.WidePath() + L"/Release"; };
        services.messageBox.shown.clear();
        EXPECT_FALSE(fresh.InitInstance({}, damaged, windows.Parts()));
        EXPECT_TRUE(std::find(fresh.m_steps.begin(), fresh.m_steps.end(), "parent running") ==
                    fresh.m_steps.end());
        ASSERT_EQ(services.messageBox.shown.size(), 1u);
        EXPECT_NE(services.messageBox.shown[0].text.find(L"重新安装"), std::wstring::npos);
        EXPECT_NE(services.messageBox.shown[0].text.find(Utf8ToWide(c.named)), std::wstring::npos);
        EXPECT_EQ(services.messageBox.shown[0].icon, BoxIcon::Error);
        EXPECT_TRUE(windows.log.events.empty());
        // Shutdown runs normally, with a code that says the start failed.
        EXPECT_EQ(fresh.ExitInstance(), 1);
        EXPECT_NE(program.Read("Release/conf/userdata.xml").find("year=\"2015\""),
                  std::string::npos);
    }
}

TEST_F(StartupTest, AQuitRequestClosesAnOpenBoxAndLaterOnesAndEndsTheRun)
{
    // The real boxes: a box open inside the parent's run must not hold up the shutdown.
    QtMessageBox boxes;
    Services withBoxes = InstallServices({});
    InstallServices(withBoxes);
    withBoxes.messageBox = &boxes;
    ScopedServices real(withBoxes);
    bool boxReturned = false, secondReturned = false;
    QTimer::singleShot(0, [&] {
        CurrentServices().messageBox->Show(L"box", L"Tavro", BoxIcon::None);
        boxReturned = true;
        // Shown after the quit request: returns at once.
        CurrentServices().messageBox->Show(L"second", L"Tavro", BoxIcon::None);
        secondReturned = true;
    });
    // Only a safety net, so that a box left open fails the test instead of hanging it.
    bool safetyNetUsed = false;
    QTimer safetyNet;
    QObject::connect(&safetyNet, &QTimer::timeout, [&] {
        safetyNetUsed = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->done(0);
    });
    safetyNet.start(20000);
    EXPECT_EQ(Start(), -1);
    safetyNet.stop();
    EXPECT_FALSE(safetyNetUsed) << "the box stayed open after the quit request";
    EXPECT_TRUE(boxReturned);
    EXPECT_TRUE(secondReturned);
    EXPECT_TRUE(Did("parent ended"));
    EXPECT_EQ(app.ExitInstance(), 0);
}

} // namespace
