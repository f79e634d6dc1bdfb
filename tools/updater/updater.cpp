#include "updater/updater.h"

#include "updater/staged_update.h"

int RunUpdater(IInstallFs& fs, const InstallLayout& layout, IUpdaterHost& host,
               const InstallLog& log, const UpdaterOptions& options, const PublicKey& key)
{
    log("started");
    int waited = 0;
    while (host.ProgramRunning()) {
        if (waited >= options.waitForProgramMs) {
            log("the program still runs after " + std::to_string(waited / 1000) +
                " s; nothing installed");
            return 1;
        }
        host.Pause(options.pollMs);
        waited += options.pollMs;
    }

    RecoverInterruptedInstall(fs, layout, log);

    if (fs.Kind(layout.Staging()) != FileKind::Missing) {
        const StagedCheck check = CheckStagedUpdate(fs, layout, key);
        if (!check.update) {
            log("staged update refused: " + check.error);
        } else if (InstallStagedUpdate(fs, layout, *check.update, log) == InstallResult::Broken) {
            // The journal stays and the next start of the program hands over again.
            log("the install could not be undone completely");
        }
        // Whatever happened, what is left there is used up or refused; the next update
        // check stages afresh.
        if (!fs.RemoveTree(layout.Staging()))
            log("cannot clear the staging folder");
    } else {
        log("nothing staged");
    }

    log("starting the program");
    const std::string failure = host.StartProgram();
    log("cannot start the program: " + failure);
    return 1;
}
