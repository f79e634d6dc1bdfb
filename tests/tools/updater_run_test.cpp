// The updater's paths, its journal and its run: waiting for the program, installing,
// clearing and starting it again.

#include "updater_fixture.h"

namespace {

TEST(UpdaterPaths, OnlyPathsInsideTheProgramFolderThatAreNotItsOwnAreAccepted)
{
    const struct
    {
        const char* listed;
        const char* accepted; // empty: refused
    } cases[] = {
        {"Release\\data\\tavro_tip.db", "Release/data/tavro_tip.db"},
        {"Skin/Default.skn", "Skin/Default.skn"},
        {"Release\\Update", "Release/Update"},
        {"", ""},
        {"\\Release\\Tavro", ""},
        {"/etc/passwd", ""},
        {"C:\\Windows\\x", ""},
        {"Release\\..\\..\\x", ""},
        {"..", ""},
        {"Release\\.\\Tavro", "Release/Tavro"},
        {"Release\\\\Tavro", "Release/Tavro"},
        {"Release\\", ""},
        {"Release/a\nb", ""},
        {"Release\\version.xml", ""},
        {"Release\\conf\\userdata.xml", ""},
        {"Release\\update.journal", ""},
        {"Release\\update.kept\\Tavro", ""},
        {"Release\\Update.staging\\update.xml", ""},
        {"Release\\update.log", ""},
        {"Release\\Update.stagingx", "Release/Update.stagingx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallablePath(c.listed), c.accepted) << c.listed;
}

TEST(UpdaterJournal, AJournalThatIsDamagedOrNamesAnUnsafePathIsNotActedOn)
{
    InstallJournal journal;
    journal.madeFolders = {"Skin/art"};
    journal.files = {
        {"Skin/art/moon.svg", false}, {"Release/Tavro", true}, {"Release/version.xml", true}};
    const std::string good = FormatJournal(journal);
    const auto parsed = ParseJournal(good);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(FormatJournal(*parsed), good);

    const struct
    {
        const char* what;
        std::string text;
    } damaged[] = {
        {"empty", ""},
        {"cut short", good.substr(0, good.size() - 4)},
        {"another header", "journal 2\n" + good.substr(good.find('\n') + 1)},
        {"a climbing path", "tavro-install-journal 1\nstate\tinstalling\nfile\tadd\t../x\nend\n"},
        {"an absolute folder", "tavro-install-journal 1\nstate\tinstalling\nfolder\t/etc\nend\n"},
        {"an unknown line", "tavro-install-journal 1\nstate\tinstalling\nrm\t-rf\nend\n"},
        {"an unknown state", "tavro-install-journal 1\nstate\tmaybe\nend\n"},
    };
    for (const auto& c : damaged)
        EXPECT_FALSE(ParseJournal(c.text)) << c.what;
}

TEST_F(UpdaterTest, AnUnreadableJournalIsSetAsideWithoutTouchingTheTree)
{
    dir.Write("Release/update.journal",
              "tavro-install-journal 1\nstate\tinstalling\nfile\tadd\t/etc/passwd\nend\n");
    fs::remove_all(layout.Staging());
    Snapshot before = TakeSnapshot(dir.Path());
    before.erase("Release/update.journal");

    EXPECT_EQ(RecoverInterruptedInstall(SystemInstallFs(), layout, Log()), RecoveryResult::Failed);

    Snapshot after = TakeSnapshot(dir.Path());
    EXPECT_TRUE(after.erase("Release/update.journal.failed"));
    EXPECT_EQ(after, before);
    // The program's next start runs normally instead of handing over again and again.
    EXPECT_FALSE(UnfinishedInstallFound(dir.WidePath()));
}

// The program ends after the given number of questions; starting it is recorded.
class RecordingHost final : public IUpdaterHost
{
public:
    explicit RecordingHost(int runningFor) : m_runningFor(runningFor) {}
    bool ProgramRunning() override { return m_asked++ < m_runningFor; }
    void Pause(int ms) override { m_pausedMs += ms; }
    std::string StartProgram() override
    {
        ++m_starts;
        return "recorded";
    }
    int m_runningFor;
    int m_asked = 0;
    int m_pausedMs = 0;
    int m_starts = 0;
};

TEST_F(UpdaterTest, TheRunWaitsBoundedForTheProgramThenInstallsClearsAndStartsIt)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    const Snapshot expected = ExpectedNewTree();
    const UpdaterOptions options{1000, 100};
    const struct
    {
        const char* what;
        int runningFor;
        std::function<void()> before;
        bool installs;
        bool starts;
    } cases[] = {
        {"program ends at once", 0, [] {}, true, true},
        {"program ends within the bound", 9, [] {}, true, true},
        {"program never ends", 1000, [] {}, false, false},
        {"a bad staged update", 0,
         [&] { dir.Write("Release/Update.staging/Skin/Default.skn", "evil"); }, false, true},
        {"nothing staged", 0, [&] { fs::remove_all(layout.Staging()); }, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(layout.Staging());
        Stage(m_new);
        c.before();
        RecordingHost host(c.runningFor);
        EXPECT_EQ(RunUpdater(SystemInstallFs(), layout, host, Log(), options, key.publicKey), 1);
        EXPECT_LE(host.m_pausedMs, options.waitForProgramMs);
        EXPECT_EQ(host.m_starts, c.starts ? 1 : 0);
        EXPECT_EQ(TakeSnapshot(dir.Path()), c.installs ? expected : old);
        // Staging is left alone only while the program still runs.
        EXPECT_EQ(fs::exists(layout.Staging()), !c.starts && c.runningFor > 0);
        if (c.installs)
            RestoreOld(old);
    }
}

TEST_F(UpdaterTest, AJournalLeftBehindIsRolledBackBeforeTheStagedUpdateIsLookedAt)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    // A run killed after it set aside the old database and moved the new one in.
    FaultyFs dying(21, FaultyFs::Fault::DieAt);
    InstallStagedUpdate(dying, layout, Checked(), Log());
    ASSERT_TRUE(UnfinishedInstallFound(dir.WidePath()));
    ASSERT_NE(TakeSnapshot(dir.Path()), old);

    RecordingHost host(0);
    RunUpdater(SystemInstallFs(), layout, host, Log(), {}, key.publicKey);

    EXPECT_EQ(TakeSnapshot(dir.Path()), old);
    EXPECT_EQ(host.m_starts, 1);
    EXPECT_FALSE(fs::exists(layout.Staging()));
}

} // namespace
