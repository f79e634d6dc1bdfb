#include "host/host_utils.h"
#include "host/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(ProgramDir, CutsTheFileNameAndTheReleaseFolder)
{
    EXPECT_EQ(ProgramDirFromExePath(L"/X/Release/Tavro"), L"/X");
    EXPECT_EQ(ProgramDirFromExePath(L"/opt/apps/Tavro/Release/Tavro"), L"/opt/apps/Tavro");
    // The first cut leaves the empty string, which has no '/' for the second.
    EXPECT_EQ(ProgramDirFromExePath(L"/Tavro"), L"");
    EXPECT_EQ(ProgramDirFromExePath(L"/Release/Tavro"), L"");
    EXPECT_EQ(ProgramDirFromExePath(L"Tavro"), L"");
    EXPECT_EQ(ProgramDirFromExePath(L""), L"");
}

TEST(ProgramDir, LongPathsAreNotCut)
{
    const std::wstring deep = L"/" + std::wstring(300, L'd') + L"/" + std::wstring(300, L'e');
    EXPECT_EQ(ProgramDirFromExePath(deep + L"/Release/Tavro"), deep);
}

TEST(ProgramDir, OfThisProcessIsTwoLevelsAboveTheExecutable)
{
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(ReadExecutablePath(), exe.wstring());
    EXPECT_EQ(GetProgramDir(), exe.parent_path().parent_path().wstring());
}

TEST(Processes, CountsWholeNamesCaseSensitively)
{
    const std::vector<std::wstring> one = {L"init", L"Tavro", L"tavro", L"TAVRO", L"Tavro2"};
    EXPECT_EQ(CountProcessesNamed(one, L"Tavro"), 1);
    const std::vector<std::wstring> two = {L"Tavro", L"bash", L"Tavro"};
    EXPECT_EQ(CountProcessesNamed(two, L"Tavro"), 2);
    EXPECT_EQ(CountProcessesNamed({L"update", L"Update.exe", L"Updater"}, L"Update"), 0);
    EXPECT_EQ(CountProcessesNamed({}, L"Tavro"), 0);
}

TEST(Processes, TheUpdaterCountsOnlyAsThisProgramFoldersOwnFile)
{
    const std::string updater = "/home/u/.local/share/Tavro/Release/Update";
    const struct
    {
        const char* what;
        std::vector<std::string> running;
        bool counts;
    } cases[] = {
        {"this folder's updater", {"/usr/bin/bash", updater}, true},
        {"replaced on disk while it runs", {updater + " (deleted)"}, true},
        {"a process named Update elsewhere", {"/tmp/x/Release/Update", "/usr/bin/Update"}, false},
        {"a longer path", {updater + "2", updater + "/x"}, false},
        {"nothing", {}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListNamesExecutable(c.running, updater), c.counts) << c.what;
}

TEST(Processes, FindsThisProcessInTheLiveList)
{
    std::ifstream comm("/proc/self/comm");
    std::string self;
    std::getline(comm, self);
    ASSERT_FALSE(self.empty());
    const std::wstring wide(self.begin(), self.end());
    EXPECT_TRUE(IsProcessRunning(wide));
    EXPECT_FALSE(IsProcessRunning(wide + L"-no-such-process"));
    EXPECT_TRUE(IsExecutableRunning(std::filesystem::read_symlink("/proc/self/exe")));
    // Whether a Tavro or an updater runs depends on the machine (a user's copy, another
    // test's), so the two questions are checked on given lists, never on the live one.
}

TEST(MacText, FormatsTheFirstUsableAdapter)
{
    const AdapterRecord first{false, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    const AdapterRecord second{false, {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}};
    EXPECT_EQ(MacTextFromAdapters({first, second}), L"00-1A-2B-3C-4D-5E");
    EXPECT_EQ(MacTextFromAdapters({second}), L"FF-EE-DD-CC-BB-AA");
    EXPECT_EQ(MacTextFromAdapters({}), L"");
}

TEST(MacText, SkipsLoopbackAndOtherAddressLengths)
{
    const AdapterRecord loopback{true, {0, 0, 0, 0, 0, 0}};
    const AdapterRecord tunnel{false, {}};
    const AdapterRecord infiniband{false, std::vector<std::uint8_t>(20, 0x11)};
    const AdapterRecord ethernet{false, {0x02, 0x42, 0xAC, 0x11, 0x00, 0x02}};
    EXPECT_EQ(MacTextFromAdapters({loopback, tunnel, infiniband, ethernet}), L"02-42-AC-11-00-02");
    EXPECT_EQ(MacTextFromAdapters({loopback, tunnel}), L"");
}

TEST(MacText, OfThisMachineIsEmptyOrSeventeenCharacters)
{
    const std::wstring text = GetMacText();
    if (!text.empty()) {
        ASSERT_EQ(text.size(), 17u);
        EXPECT_EQ(text[2], L'-');
        EXPECT_EQ(text[14], L'-');
    }
    EXPECT_EQ(text, MacTextFromAdapters(ReadAdapters()));
}

TEST(Paths, TurnBackslashesIntoSlashes)
{
    EXPECT_EQ(ToForwardSlashes(std::wstring(L"\\Release\\data\\pic\\1.jpg")),
              L"/Release/data/pic/1.jpg");
    EXPECT_EQ(ToForwardSlashes(std::string("Release\\Update")), "Release/Update");
    EXPECT_EQ(std::wstring(L"/X") + kProfileTail, L"/X/Release/conf/userdata.xml");
}
