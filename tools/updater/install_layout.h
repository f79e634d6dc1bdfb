#pragma once

// Where the updater finds the staged update and keeps its own working files, all inside
// the program folder. The staging folder mirrors the installed tree; its version list lies
// at Release/version.xml below it, with the list's signature beside it.

#include "update/install_journal.h"
#include "update/update_worker.h"

#include <string>
#include <string_view>

inline constexpr std::string_view kJournalTail = kInstallJournalTail;
inline constexpr std::string_view kKeptTail = "/Release/update.kept";
inline constexpr std::string_view kLogTail = "/Release/update.log";
inline constexpr std::string_view kInstalledListPath = "Release/version.xml";
// Never replaced by an update: the user's own data.
inline constexpr std::string_view kProfilePath = "Release/conf/userdata.xml";

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
    std::string Log() const { return programDir + std::string(kLogTail); }
    std::string StagedList() const { return Staging() + "/" + kStagedVersionList; }
    std::string StagedSignature() const { return StagedList() + kSignatureSuffix; }
    std::string StagedFileList() const { return Staging() + "/" + kStagedFileList; }
    std::string Installed(std::string_view relative) const
    {
        return programDir + "/" + std::string(relative);
    }
    std::string StagedCopy(std::string_view relative) const
    {
        return Staging() + "/" + std::string(relative);
    }
    std::string KeptCopy(std::string_view relative) const
    {
        return Kept() + "/" + std::string(relative);
    }
};
