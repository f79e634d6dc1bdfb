// The updater's paths, its journal and its run: waiting for the program, installing,
// clearing and starting it again.

#include "updater_fixture.h"

namespace {

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

TEST_F(UpdaterTest, AnUnreadableJournalOrOneThroughALinkIsSetAsideWithoutTouchingAnything)
{
    fs::remove_all(layout.Staging());
    // Outside the program folder: a file a journal through a link would remove, and one
    // it would put a kept copy over.
    const TempProgramDir outside;
    outside.Write("added", "not ours");
    outside.Write("files/Release/replaced", "not ours either");
    const std::string head = "tavro-install-journal 1\nstate\tinstalling\n";
    const struct
    {
        const char* what;
        std::string journal;
        fs::path link; // made to point outside
    } cases[] = {
        {"an absolute path", head + "file\tadd\t/etc/passwd\nend\n", {}},
        {"paths through a link",
         head + "file\tadd\tRelease/lnk/added\nfile\treplace\tRelease/lnk/replaced\nend\n",
         dir.Sub("Release/lnk")},
        {"the kept folder a link", head + "file\treplace\tRelease/replaced\nend\n", layout.Kept()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Snapshot before = TakeSnapshot(dir.Path());
        const Snapshot outsideBefore = TakeSnapshot(outside.Path());
        if (!c.link.empty())
            fs::create_directory_symlink(outside.Path(), c.link);
        dir.Write("Release/update.journal", c.journal);

        EXPECT_EQ(RecoverInterruptedInstall(SystemInstallFs(), layout, Log()),
                  RecoveryResult::Failed);

        EXPECT_EQ(TakeSnapshot(outside.Path()), outsideBefore);
        // The program's next start runs normally instead of handing over again and again.
        EXPECT_FALSE(UnfinishedInstallFound(dir.WidePath()));
        EXPECT_TRUE(fs::remove(dir.Sub("Release/update.journal.failed")));
        fs::remove(c.link);
        EXPECT_EQ(TakeSnapshot(dir.Path()), before);
    }
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

TEST_F(UpdaterTest, TheRunWaitsBoundedForTheProgramThenInstallsClearsAndAlwaysStartsIt)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    const Snapshot expected = ExpectedNewTree();
    const UpdaterOptions options{1000, 100};
    const struct
    {
        const char* what;
        int runningFor;
        std::function<void()> before;
        bool diskFull;
        const char* logged; // a part of the line that says why nothing was installed
    } cases[] = {
        {"program ends at once", 0, [] {}, false, nullptr},
        {"program ends within the bound", 9, [] {}, false, nullptr},
        // The worker's own notes are not signed and decide nothing.
        {"the staged file list edited", 0,
         [&] { dir.Write("Release/Update.staging/update.xml", "<List/>"); }, false, nullptr},
        {"program never ends", 1000, [] {}, false, "still runs"},
        // Every refusal the check makes (its own table) ends the run the same way.
        {"a bad staged update", 0,
         [&] { dir.Write("Release/Update.staging/Skin/Default.skn", "evil"); }, false, "differs"},
        {"nothing staged", 0, [&] { fs::remove_all(layout.Staging()); }, false, "nothing staged"},
        {"a full disk", 0, [] {}, true, "cannot write the journal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(layout.Staging());
        Stage(m_new);
        c.before();
        m_log.clear();
        RecordingHost host(c.runningFor);
        FaultyFs full(0, FaultyFs::Fault::DiskFull);
        IInstallFs& fs = c.diskFull ? static_cast<IInstallFs&>(full) : SystemInstallFs();
        EXPECT_EQ(RunUpdater(fs, layout, host, Log(), options, key.publicKey), 1);
        EXPECT_LE(host.m_pausedMs, options.waitForProgramMs);
        EXPECT_EQ(host.m_starts, 1);
        const bool installs = !c.logged;
        EXPECT_EQ(TakeSnapshot(dir.Path()), installs ? expected : old);
        if (c.logged) {
            EXPECT_TRUE(std::any_of(m_log.begin(), m_log.end(), [&](const std::string& line) {
                return line.find(c.logged) != std::string::npos;
            }));
        }
        // Staging is left alone only while the program still runs; an update that could
        // not be installed is dropped, with the updater's private folder.
        EXPECT_EQ(fs::exists(layout.Staging()), c.runningFor > options.waitForProgramMs / 100);
        EXPECT_FALSE(fs::exists(layout.Kept()));
        if (installs)
            RestoreOld(old);
    }
}

TEST_F(UpdaterTest, AJournalLeftBehindIsRolledBackBeforeTheStagedUpdateIsLookedAt)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    // A run killed after it set aside the old database and moved the new one in.
    FaultyFs dying(20, FaultyFs::Fault::DieAt);
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
