#pragma once

// The updater's whole run, started by the program (no arguments) just before it ends:
// wait for the program to end, finish or undo an install a killed updater left, check and
// install what is staged, clear the staging folder, then start the program again. Whatever
// happens the program is started again, and whatever cannot be installed leaves the tree
// as it was and a line in the log saying why.

#include "updater/install_fs.h"
#include "updater/install_layout.h"
#include "updater/install_transaction.h"

#include <string>

class IUpdaterHost
{
public:
    virtual ~IUpdaterHost() = default;
    // Whether this user's program of this program folder still runs.
    virtual bool ProgramRunning() = 0;
    virtual void Pause(int ms) = 0;
    // Starts the program in place of the updater, in the mode it was started in before it
    // handed over; returns only on failure, with the reason.
    virtual std::string StartProgram() = 0;
};

struct UpdaterOptions
{
    int waitForProgramMs = 30000;
    int pollMs = 100;
};

// The process exit code: a real start does not come back, so the answer is always 1, for a
// start that failed.
int RunUpdater(IInstallFs& fs, const InstallLayout& layout, IUpdaterHost& host,
               const InstallLog& log, const UpdaterOptions& options = {},
               const PublicKey& key = TrustedUpdateKey());
