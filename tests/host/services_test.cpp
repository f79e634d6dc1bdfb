#include "host/endpoints.h"
#include "host/services.h"
#include "host/services_posix.h"

#include "fake_services.h"
#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

TEST(Services, DefaultsStandInForEveryUnsetEntry)
{
    const Services& current = CurrentServices();
    ASSERT_NE(current.clock, nullptr);
    ASSERT_NE(current.messageBox, nullptr);
    ASSERT_NE(current.shell, nullptr);
    ASSERT_NE(current.processExit, nullptr);
    ASSERT_NE(current.network, nullptr);
    const std::int64_t before = std::time(nullptr);
    const std::int64_t now = current.clock->Now();
    EXPECT_GE(now, before);
    EXPECT_LE(now, std::int64_t{std::time(nullptr)});
}

TEST(Services, InstallingReturnsThePreviousSetAndScopesRestoreIt)
{
    const IClock* systemClock = CurrentServices().clock;
    FakeClock clock(1234);
    FakeShell shell;
    {
        ScopedServices scope(Services{&clock, nullptr, &shell, nullptr, nullptr});
        EXPECT_EQ(CurrentServices().clock->Now(), 1234);
        EXPECT_EQ(CurrentServices().shell, &shell);
        // Entries left null fall back to the defaults.
        EXPECT_NE(CurrentServices().messageBox, nullptr);
        {
            FakeServices fakes;
            fakes.clock.Set(99);
            EXPECT_EQ(CurrentServices().clock->Now(), 99);
        }
        EXPECT_EQ(CurrentServices().clock->Now(), 1234);
        const Services previous = InstallServices({});
        EXPECT_EQ(previous.clock, &clock);
        EXPECT_EQ(CurrentServices().clock, systemClock);
        InstallServices(previous);
    }
    EXPECT_EQ(CurrentServices().clock, systemClock);
}

TEST(Services, StartProgramStartsItDetached)
{
    TempProgramDir dir;
    const auto marker = dir.Sub("started");
    dir.Write("Release/Restart", "#!/bin/sh\necho started > '" + marker.string() + "'\n");
    const std::string script = dir.Sub("Release/Restart").string();
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);

    EXPECT_TRUE(SpawnDetached(script));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_TRUE(std::filesystem::exists(marker));

    EXPECT_FALSE(SpawnDetached(dir.Sub("Release/Update").string()));
    EXPECT_FALSE(SpawnDetached(""));
}

TEST(Services, AnExpiredProgramTellsTheUserThenOpensTheHomePageAndExits)
{
    FakeServices fakes;
    // A box answered later still comes before the page and the exit.
    fakes.messageBox.onShow = [&] {
        EXPECT_TRUE(fakes.shell.openedUrls.empty());
        EXPECT_TRUE(fakes.processExit.codes.empty());
    };
    // Noon UTC on 9 June 2026: that date in every time zone the tests run in.
    EXPECT_THROW(EndExpired(1781006400), ProcessExited);
    EXPECT_EQ(fakes.messageBox.Texts(),
              std::vector<std::wstring>{L"您的Tavro已经过期，去我们的网站看看吧！"});
    EXPECT_EQ(fakes.shell.openedUrls,
              std::vector<std::wstring>{HomePage() + L"/?year=2026&&month=6&&day=9"});
    EXPECT_EQ(fakes.processExit.codes, std::vector<int>{0});
}

TEST(ServicesDeathTest, ProcessExitFlushesOutputAndEndsWithTheCode)
{
    EXPECT_EXIT(
        {
            // Fully buffered, so the text only appears if the exit flushes it.
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
            std::fputs("pending output", stderr);
            ExitProcessNow(3);
        },
        ::testing::ExitedWithCode(3), "pending output");
}
