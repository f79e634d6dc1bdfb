// The updater's install: replacing, adding, undoing a failed or killed install, refusing a
// bad staged update.

#include "updater_fixture.h"

namespace {

TEST_F(UpdaterTest, InstallReplacesAddsKeepsModesAndClearsItsWorkingFiles)
{
    const Snapshot old = TakeSnapshot(dir.Path());
    const mode_t userMask = umask(022);
    for (const unsigned mask : {022u, 027u}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        umask(mask);
        const Snapshot expected = ExpectedNewTree(mask);
        const StagedUpdate update = Checked();
        ASSERT_EQ(update.files.size(), 5u);
        // What was checked is held where nobody else can reach it...
        EXPECT_EQ(fs::status(layout.Kept()).permissions(), fs::perms::owner_all);
        EXPECT_FALSE(fs::exists(layout.Staging()));
        // ...so a file swapped at the staging path after the check is not what goes in.
        dir.Write("Release/Update.staging/Skin/Default.skn", "evil skin");

        EXPECT_EQ(InstallStagedUpdate(SystemInstallFs(), layout, update, Log()),
                  InstallResult::Installed);

        EXPECT_EQ(TakeSnapshot(dir.Path()), expected);
        EXPECT_FALSE(fs::exists(layout.Journal()));
        EXPECT_FALSE(fs::exists(layout.Kept()));
        fs::remove_all(layout.Staging());
        RestoreOld(old);
        Stage(m_new);
    }
    umask(userMask);
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
    // Stages the update with one more listed file.
    // Moves a staged folder outside and leaves a link to it in its place.
    const auto linkedOut = [this](const fs::path& folder) {
        return [this, folder] {
            fs::rename(folder, dir.Sub("outside"));
            fs::create_directory_symlink(dir.Sub("outside"), folder);
        };
    };
    const auto stageWith = [this](const char* p, const char* content) {
        return [this, p, content] {
            std::vector<ListEntry> bad = m_new;
            bad.push_back({p, content});
            Stage(bad);
        };
    };
    struct Case
    {
        const char* what;
        std::function<void()> spoil;
        const char* error; // a part of the reason logged
    } cases[] = {
        {"the list altered after signing",
         [&] { dir.Write("Release/Update.staging/Release/version.xml", ListText(m_new) + " "); },
         "signature"},
        {"no signature",
         [&] { fs::remove(dir.Sub("Release/Update.staging/Release/version.xml.sig")); },
         "no signature"},
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
        {"an older version", [&] { Stage(m_new, "3.9.0"); }, "not newer"},
        {"the installed version again", [&] { Stage(m_new, "4.0.0"); }, "not newer"},
        {"a list made before the installed one",
         [&] { Stage(m_new, "4.0.1", "2026-10-01T00:00:00Z"); }, "made before"},
        {"a folder of the staging folder that is a link to outside",
         linkedOut(dir.Sub("Release/Update.staging/Skin")), "not staged"},
        {"the staging folder a link to outside", linkedOut(layout.Staging()), "not a folder"},
        {"a path that climbs out", stageWith("Release\\..\\..\\escaped", "x"), "refused path"},
        {"an absolute path", stageWith("/tmp/escaped", "x"), "refused path"},
        {"the user's profile", stageWith("Release\\conf\\userdata.xml", "<stolen/>"),
         "refused path"},
        {"a path through a link to outside",
         [&] {
             fs::create_directory_symlink(fs::temp_directory_path(), dir.Sub("Skin/out"));
             stageWith("Skin\\out\\escaped", "x")();
         },
         "through a link"},
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
        fs::remove_all(dir.Sub("outside"));
        fs::remove_all(layout.Kept());
    }
}

} // namespace
