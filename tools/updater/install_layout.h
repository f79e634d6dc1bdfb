#pragma once

// Where the updater finds the staged update and keeps its own working files, all inside
// the program folder. The staging folder mirrors the installed tree; its version list lies
// at Release/version.xml below it, with the list's signature beside it. Before anything
// staged is read, the whole staging folder is moved into the updater's private folder
// (update.kept, 0700), where it is checked and from where it is installed: what is checked
// is what is installed. The replaced files are kept aside beside it.

#include "update/install_journal.h"
#include "update/update_worker.h"

#include <string>
#include <string_view>

inline constexpr std::string_view kJournalTail = kInstallJournalTail;
inline constexpr std::string_view kKeptTail = "/Release/update.kept";
inline constexpr std::string_view kInstalledListPath = "Release/version.xml";

// The worker's staging folder tail, narrow (it is ASCII).
inline std::string StagingTail()
{
    const std::wstring_view tail = kStagingTail;
    return std::string(tail.begin(), tail.end());
}

struct InstallLayout
{
    std::string programDir; // no trailing '/'

    std::string Staging() const { return programDir + StagingTail(); }
    std::string Journal() const { return programDir + std::string(kJournalTail); }
    std::string Kept() const { return programDir + std::string(kKeptTail); }
    // The staging folder once the updater holds it.
    std::string Held() const { return Kept() + "/staged"; }
    std::string StagedList() const { return Held() + "/" + kStagedVersionList; }
    std::string StagedSignature() const { return StagedList() + kSignatureSuffix; }
    // A path below the program folder as relative to it.
    std::string Relative(const std::string& path) const
    {
        return path.substr(programDir.size() + 1);
    }
    std::string Installed(std::string_view relative) const
    {
        return programDir + "/" + std::string(relative);
    }
    std::string StagedCopy(std::string_view relative) const
    {
        return Held() + "/" + std::string(relative);
    }
    std::string KeptCopy(std::string_view relative) const
    {
        return Kept() + "/files/" + std::string(relative);
    }
};
