#include "updater/updater.h"

#include "updater/staged_update.h"

namespace {

// Waits for the program to end, within the bound.
bool ProgramEnded(IUpdaterHost& host, const UpdaterOptions& options)
{
    for (int waited = 0; host.ProgramRunning(); waited += options.pollMs) {
        if (waited >= options.waitForProgramMs)
            return false;
        host.Pause(options.pollMs);
    }
    return true;
}

// Checks and installs what is staged. Whatever is left of it afterwards is used up or
// refused, and goes: an update that cannot be installed (a refusal, a full disk, a failed
// write) is not tried again, and the next update check stages afresh once there is room.
void InstallWhatIsStaged(IInstallFs& fs, const InstallLayout& layout, const InstallLog& log,
                         const PublicKey& key)
{
    const StagedCheck check = CheckStagedUpdate(fs, layout, key);
    InstallResult result = InstallResult::RolledBack;
    if (!check.update)
        log("staged update refused: " + check.error);
    else
        result = InstallStagedUpdate(fs, layout, *check.update, log);
    if (!fs.RemoveTree(layout.Staging()))
        log("cannot clear the staging folder");
    if (result == InstallResult::Broken) {
        // The journal and the kept files stay; the next start of the program hands over
        // again to finish the way back.
        log("the install could not be undone completely");
    } else if (!fs.RemoveTree(layout.Kept())) {
        log("cannot clear the private folder");
    }
}

} // namespace

int RunUpdater(IInstallFs& fs, const InstallLayout& layout, IUpdaterHost& host,
               const InstallLog& log, const UpdaterOptions& options, const PublicKey& key)
{
    log("started");
    if (!ProgramEnded(host, options)) {
        // The update stays staged for the next hand-over.
        log("the program still runs after " + std::to_string(options.waitForProgramMs / 1000) +
            " s; nothing installed");
    } else {
        RecoverInterruptedInstall(fs, layout, log);
        if (fs.Kind(layout.Staging()) != FileKind::Missing)
            InstallWhatIsStaged(fs, layout, log, key);
        else
            log("nothing staged");
    }
    log("starting the program");
    const std::string failure = host.StartProgram();
    log("cannot start the program: " + failure);
    return 1;
}
