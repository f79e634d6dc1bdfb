#pragma once

// Installs a checked staged update as one transaction, so that the program folder always
// matches one version list, the old one or the new one:
//   1. the held staged files get the modes they will have (only the private folder
//      changes);
//   2. a journal names every file to be replaced or added and every folder to be made;
//   3. each replaced file is moved aside into the kept folder, its staged copy moved in;
//      the version list goes last;
//   4. the journal is marked committed;
//   5. the kept files, the staging folder and the journal are removed.
// A failure before step 4 moves every kept file back and removes what was added. A
// journal found later (the updater was killed, the power went) is rolled back when it is
// not committed and finished when it is.

#include "updater/install_fs.h"
#include "updater/install_layout.h"
#include "updater/staged_update.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Where the updater says what it did; one line per call.
using InstallLog = std::function<void(const std::string&)>;

struct InstallJournal
{
    bool committed = false;
    std::vector<std::string> madeFolders; // relative, in the order made
    struct Entry
    {
        std::string path; // relative
        bool replaces = false;
    };
    std::vector<Entry> files; // in the order installed; the version list last
};

std::string FormatJournal(const InstallJournal& journal);
std::optional<InstallJournal> ParseJournal(const std::string& text);

enum class InstallResult
{
    Installed,  // the new version is in place
    RolledBack, // the old version is in place, byte for byte
    Broken      // even the way back failed; the journal stays for the next run
};

InstallResult InstallStagedUpdate(IInstallFs& fs, const InstallLayout& layout,
                                  const StagedUpdate& update, const InstallLog& log);

enum class RecoveryResult
{
    NothingToDo,
    Finished,   // a committed install was completed
    RolledBack, // an unfinished install was undone
    Failed      // the journal could not be read or acted on; it is set aside
};

// Acts on a journal a killed updater left behind.
RecoveryResult RecoverInterruptedInstall(IInstallFs& fs, const InstallLayout& layout,
                                         const InstallLog& log);
