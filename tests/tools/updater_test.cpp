#include "app/install_journal.h"
#include "updater/install_transaction.h"
#include "updater/staged_update.h"
#include "updater/updater.h"

#include "temp_program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kElf = std::string("\x7f"
                                     "ELF",
                                     4) +
                         "binary";

struct KeyPair
{
    PublicKey publicKey{};
    SecretKey secretKey{};
    KeyPair() { MakeKeyPair(publicKey, secretKey); }
};

// Every file and folder below the program folder except the staging folder and the log,
// with each file's bytes and mode: two equal snapshots are the same tree byte for byte.
using Snapshot = std::map<std::string, std::string>;

Snapshot TakeSnapshot(const fs::path& root)
{
    Snapshot snapshot;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (relative == "Release/Update.staging" || relative == "Release/update.log") {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        struct stat st
        {};
        lstat(it->path().c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            snapshot[relative + "/"] = "folder";
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            snapshot[relative] = "link:" + fs::read_symlink(it->path()).string();
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        snapshot[relative] = std::to_string(st.st_mode & 07777) + ":" + bytes;
    }
    return snapshot;
}

struct ListEntry
{
    std::string p;
    std::string content;
};

// An installed version 4.0.0 and, staged beside it, a version 4.0.1 that replaces a
// database (mode 0600), a skin file and the updater itself, and adds an executable and an
// image in a folder that does not exist yet.
class UpdaterTest : public ::testing::Test
{
protected:
    TempProgramDir dir;
    InstallLayout layout{dir.Path().string()};
    KeyPair key;

    std::vector<ListEntry> m_new = {
        {"Release\\data\\tavro_tip.db", "new tips"}, {"Skin\\Default.skn", "new skin"},
        {"Release\\Update", kElf + " new updater"},  {"Release\\Helper", kElf + " new helper"},
        {"Skin\\art\\moon.svg", "<svg/>"},
    };

    void SetUp() override
    {
        dir.Write("Release/Tavro", kElf + " program");
        dir.Write("Release/Update", kElf + " old updater");
        dir.Write("Release/data/tavro_tip.db", "old tips");
        dir.Write("Skin/Default.skn", "old skin");
        dir.Write("Release/conf/userdata.xml", "<profile/>");
        dir.Write("Release/version.xml", "<version v=\"4.0.0\"/>");
        fs::permissions(dir.Sub("Release/Tavro"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/Update"), fs::perms(0755));
        fs::permissions(dir.Sub("Release/data/tavro_tip.db"), fs::perms(0600));
        Stage(m_new);
    }

    std::string ListText(const std::vector<ListEntry>& entries) const
    {
        std::string list = "<?xml version=\"1.0\"?>\r\n<version v=\"4.0.1\">\r\n";
        list += "<file p=\"Release\\Tavro\" v=\"4.0.0\" sha256=\"" + Sha256Hex(kElf + " program") +
                "\"/>\r\n";
        for (const auto& e : entries)
            list +=
                "<file p=\"" + e.p + "\" v=\"4.0.1\" sha256=\"" + Sha256Hex(e.content) + "\"/>\r\n";
        return list + "</version>\r\n";
    }

    void Stage(const std::vector<ListEntry>& entries)
    {
        const std::string list = ListText(entries);
        dir.Write("Release/Update.staging/Release/version.xml", list);
        dir.Write("Release/Update.staging/Release/version.xml.sig", SignList(list, key.secretKey));
        std::string files = "<List>\r\n";
        for (const auto& e : entries) {
            dir.Write("Release/Update.staging/" + ToSlashes(e.p), e.content);
            files += "<File p=\"" + e.p + "\" v=\"4.0.1\" />\r\n";
        }
        dir.Write("Release/Update.staging/update.xml", files + "</List>\r\n");
    }

    static std::string ToSlashes(std::string p)
    {
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    }

    // The tree a complete install must give.
    Snapshot ExpectedNewTree()
    {
        const Snapshot before = TakeSnapshot(dir.Path());
        Snapshot expected = before;
        expected["Release/data/tavro_tip.db"] = "384:new tips"; // 0600 kept
        expected["Skin/Default.skn"] = ModeOf(before.at("Skin/Default.skn")) + "new skin";
        expected["Release/Update"] = "493:" + kElf + " new updater"; // 0755 kept
        expected["Release/Helper"] = "493:" + kElf + " new helper";  // new executable: 0755
        expected["Skin/art/"] = "folder";
        expected["Skin/art/moon.svg"] = "420:<svg/>"; // new file: 0644
        expected["Release/version.xml"] = ModeOf(before.at("Release/version.xml")) +
                                          dir.Read("Release/Update.staging/Release/version.xml");
        return expected;
    }

    static std::string ModeOf(const std::string& entry)
    {
        return entry.substr(0, entry.find(':') + 1);
    }

    // The tree without the test's own copy of the staging folder.
    Snapshot Snap() const
    {
        Snapshot now = TakeSnapshot(dir.Path());
        std::erase_if(now, [](const auto& e) { return e.first.rfind("pristine-staging", 0) == 0; });
        return now;
    }

    // Writes the old tree back after an install, for the next round of a test.
    void RestoreOld(const Snapshot& old)
    {
        fs::remove_all(layout.Kept());
        fs::remove(layout.Journal());
        fs::remove(dir.Sub("Release/Helper"));
        fs::remove_all(dir.Sub("Skin/art"));
        for (const auto& [path, content] : old) {
            if (path.back() == '/')
                continue;
            const auto colon = content.find(':');
            dir.Write(path, content.substr(colon + 1));
            fs::permissions(dir.Sub(path), fs::perms(std::stoi(content.substr(0, colon))));
        }
        ASSERT_EQ(Snap(), old);
    }

    // A fresh copy of the same staging folder for each round.
    fs::path KeepPristineStaging()
    {
        const fs::path pristine = dir.Sub("pristine-staging");
        fs::copy(layout.Staging(), pristine, fs::copy_options::recursive);
        return pristine;
    }
    void RestoreStaging(const fs::path& pristine)
    {
        fs::remove_all(layout.Staging());
        fs::copy(pristine, layout.Staging(), fs::copy_options::recursive);
    }

    StagedUpdate Checked()
    {
        const StagedCheck check = CheckStagedUpdate(SystemInstallFs(), layout, key.publicKey);
        EXPECT_TRUE(check.update) << check.error;
        return check.update.value_or(StagedUpdate{});
    }

    std::vector<std::string> m_log;
    InstallLog Log()
    {
        return [this](const std::string& line) { m_log.push_back(line); };
    }
};

// The real file system with one step made to fail, or with every step from the Nth on
// doing nothing, as when the updater is killed there.
class FaultyFs final : public IInstallFs
{
public:
    enum class Fault
    {
        FailOnce,
        DieAt
    };
    FaultyFs(int failAt, Fault fault) : m_failAt(failAt), m_fault(fault) {}
    int Changes() const { return m_changes; }

    FileKind Kind(const std::string& p) override { return Real().Kind(p); }
    std::optional<std::string> ReadSmall(const std::string& p, std::size_t n) override
    {
        return Real().ReadSmall(p, n);
    }
    std::string ReadHead(const std::string& p, std::size_t n) override
    {
        return Real().ReadHead(p, n);
    }
    std::optional<std::string> Sha256Hex(const std::string& p) override
    {
        return Real().Sha256Hex(p);
    }
    std::optional<unsigned> Mode(const std::string& p) override { return Real().Mode(p); }

    bool WriteAtomically(const std::string& p, std::string_view c) override
    {
        return Change([&] { return Real().WriteAtomically(p, c); });
    }
    bool SetMode(const std::string& p, unsigned m) override
    {
        return Change([&] { return Real().SetMode(p, m); });
    }
    bool Rename(const std::string& a, const std::string& b) override
    {
        return Change([&] { return Real().Rename(a, b); });
    }
    bool RemoveFile(const std::string& p) override
    {
        return Change([&] { return Real().RemoveFile(p); });
    }
    bool MakeFolder(const std::string& p) override
    {
        return Change([&] { return Real().MakeFolder(p); });
    }
    bool RemoveEmptyFolder(const std::string& p) override
    {
        return Change([&] { return Real().RemoveEmptyFolder(p); });
    }
    bool RemoveTree(const std::string& p) override
    {
        return Change([&] { return Real().RemoveTree(p); });
    }
    bool SyncFile(const std::string& p) override
    {
        return Change([&] { return Real().SyncFile(p); });
    }
    bool SyncFolder(const std::string& p) override
    {
        return Change([&] { return Real().SyncFolder(p); });
    }

private:
    static IInstallFs& Real() { return SystemInstallFs(); }
    bool Change(const std::function<bool()>& change)
    {
        ++m_changes;
        if (m_changes == m_failAt || (m_fault == Fault::DieAt && m_changes > m_failAt))
            return false;
        return change();
    }
    int m_failAt;
    Fault m_fault;
    int m_changes = 0;
};

TEST_F(UpdaterTest, InstallReplacesAddsKeepsModesAndClearsItsWorkingFiles)
{
    const Snapshot expected = ExpectedNewTree();
    const StagedUpdate update = Checked();
    ASSERT_EQ(update.files.size(), 5u);

    EXPECT_EQ(InstallStagedUpdate(SystemInstallFs(), layout, update, Log()),
              InstallResult::Installed);

    EXPECT_EQ(TakeSnapshot(dir.Path()), expected);
    EXPECT_FALSE(fs::exists(layout.Staging()));
    EXPECT_FALSE(fs::exists(layout.Journal()));
    EXPECT_FALSE(fs::exists(layout.Kept()));
}

TEST_F(UpdaterTest, AFailureAtAnyStepLeavesTheOldTreeByteForByte)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    const Snapshot expected = ExpectedNewTree();
    const StagedUpdate update = Checked();
    const fs::path pristine = KeepPristineStaging();

    // Each change the install makes fails in turn, alone.
    int rolledBack = 0;
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE("step " + std::to_string(failAt));
        RestoreStaging(pristine);
        FaultyFs faulty(failAt, FaultyFs::Fault::FailOnce);
        const InstallResult result = InstallStagedUpdate(faulty, layout, update, Log());
        if (failAt > faulty.Changes()) {
            ASSERT_EQ(result, InstallResult::Installed);
            EXPECT_EQ(Snap(), expected);
            break;
        }
        if (result == InstallResult::Installed) {
            // Only the clearing after the commit failed: the new version is in place and
            // the next run clears the rest.
            RecoverInterruptedInstall(SystemInstallFs(), layout, Log());
            EXPECT_EQ(Snap(), expected);
            RestoreOld(old);
            continue;
        }
        ASSERT_EQ(result, InstallResult::RolledBack);
        EXPECT_EQ(Snap(), old);
        ++rolledBack;
    }
    // Modes, journal, folders, five files and the list set aside and moved, flushes, commit.
    EXPECT_GT(rolledBack, 20);
}

TEST_F(UpdaterTest, AnUpdaterKilledAtAnyStepIsUndoneOrFinishedByTheNextRun)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    const Snapshot expected = ExpectedNewTree();
    const StagedUpdate update = Checked();
    const fs::path pristine = KeepPristineStaging();

    bool sawRollBack = false;
    bool sawFinish = false;
    for (int dieAt = 1;; ++dieAt) {
        SCOPED_TRACE("killed at step " + std::to_string(dieAt));
        RestoreStaging(pristine);
        FaultyFs dying(dieAt, FaultyFs::Fault::DieAt);
        InstallStagedUpdate(dying, layout, update, Log());
        if (dieAt > dying.Changes())
            break;

        // A start of the program sees the journal exactly when there is something to do.
        const bool journal = UnfinishedInstallFound(dir.WidePath());
        const RecoveryResult recovery = RecoverInterruptedInstall(SystemInstallFs(), layout, Log());
        EXPECT_EQ(journal, recovery != RecoveryResult::NothingToDo);
        EXPECT_NE(recovery, RecoveryResult::Failed);
        EXPECT_FALSE(UnfinishedInstallFound(dir.WidePath()));
        if (recovery == RecoveryResult::Finished) {
            sawFinish = true;
            EXPECT_EQ(Snap(), expected);
            RestoreOld(old);
        } else {
            sawRollBack = true;
            EXPECT_EQ(Snap(), old);
        }
    }
    EXPECT_TRUE(sawRollBack);
    EXPECT_TRUE(sawFinish);
}

TEST_F(UpdaterTest, ABadStagedUpdateIsRefusedBeforeAnythingChanges)
{
    struct Case
    {
        const char* what;
        std::function<void()> spoil;
        const char* error; // a part of the reason logged
    } cases[] = {
        {"the list altered after signing",
         [&] { dir.Write("Release/Update.staging/Release/version.xml", ListText(m_new) + " "); },
         "signature"},
        {"no signature", [&] { fs::remove(layout.StagedSignature()); }, "no signature"},
        {"signed by another key",
         [&] {
             const KeyPair other;
             dir.Write("Release/Update.staging/Release/version.xml.sig",
                       SignList(ListText(m_new), other.secretKey));
         },
         "signature"},
        {"a staged file altered on disk",
         [&] { dir.Write("Release/Update.staging/Skin/Default.skn", "evil skin"); }, "differs"},
        {"a staged file missing",
         [&] { fs::remove(dir.Sub("Release/Update.staging/Skin/art/moon.svg")); }, "not staged"},
        {"a staged link instead of a file",
         [&] {
             fs::remove(dir.Sub("Release/Update.staging/Skin/Default.skn"));
             fs::create_symlink("/etc/hostname",
                                dir.Sub("Release/Update.staging/Skin/Default.skn"));
         },
         "not staged"},
        {"a listed file the signed list does not name",
         [&] {
             dir.Write("Release/Update.staging/Release/extra", "x");
             dir.Write("Release/Update.staging/update.xml",
                       "<List><File p=\"Release\\extra\" v=\"1\"/></List>");
         },
         "not in the signed list"},
        {"a path that climbs out",
         [&] {
             std::vector<ListEntry> bad = m_new;
             bad.push_back({"Release\\..\\..\\escaped", "x"});
             Stage(bad);
         },
         "refused path"},
        {"an absolute path",
         [&] {
             std::vector<ListEntry> bad = m_new;
             bad.push_back({"/tmp/escaped", "x"});
             Stage(bad);
         },
         "refused path"},
        {"the user's profile",
         [&] {
             std::vector<ListEntry> bad = m_new;
             bad.push_back({"Release\\conf\\userdata.xml", "<stolen/>"});
             Stage(bad);
         },
         "refused path"},
        {"a path through a link to outside",
         [&] {
             fs::create_directory_symlink(fs::temp_directory_path(), dir.Sub("Skin/out"));
             std::vector<ListEntry> bad = m_new;
             bad.push_back({"Skin\\out\\escaped", "x"});
             Stage(bad);
         },
         "not a folder"},
        {"a folder where a file goes",
         [&] { fs::create_directories(dir.Sub("Release/Helper/inside")); }, "not a file"},
        {"a list that is not XML",
         [&] {
             dir.Write("Release/Update.staging/Release/version.xml", "not xml");
             dir.Write("Release/Update.staging/Release/version.xml.sig",
                       SignList("not xml", key.secretKey));
         },
         "not XML"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(layout.Staging());
        Stage(m_new);
        c.spoil();
        const Snapshot before = TakeSnapshot(dir.Path());
        const StagedCheck check = CheckStagedUpdate(SystemInstallFs(), layout, key.publicKey);
        EXPECT_FALSE(check.update);
        EXPECT_NE(check.error.find(c.error), std::string::npos) << check.error;
        EXPECT_EQ(TakeSnapshot(dir.Path()), before);
        fs::remove(dir.Sub("Skin/out"));
        fs::remove_all(dir.Sub("Release/Helper"));
    }
}

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
        {"Release\\.\\Tavro", ""},
        {"Release\\\\Tavro", ""},
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
        EXPECT_EQ(SafeRelativePath(c.listed), c.accepted) << c.listed;
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
