#pragma once

// Where the updater finds the staged update and keeps its own working files, all inside
// the program folder. The staging folder mirrors the installed tree; its version list lies
// at Release/version.xml below it, with the list's signature beside it.

#include "app/install_journal.h"

#include <string>
#include <string_view>

// The executable is Release/Update, so the staging folder cannot share its name here.
inline constexpr std::string_view kStagingTail = "/Release/Update.staging";
inline constexpr std::string_view kJournalTail = kInstallJournalTail;
inline constexpr std::string_view kKeptTail = "/Release/update.kept";
inline constexpr std::string_view kLogTail = "/Release/update.log";
inline constexpr std::string_view kInstalledListPath = "Release/version.xml";
// Never replaced by an update: the user's own data.
inline constexpr std::string_view kProfilePath = "Release/conf/userdata.xml";

struct InstallLayout
{
    std::string programDir; // no trailing '/'

    std::string Staging() const { return programDir + std::string(kStagingTail); }
    std::string Journal() const { return programDir + std::string(kJournalTail); }
    std::string Kept() const { return programDir + std::string(kKeptTail); }
    std::string Log() const { return programDir + std::string(kLogTail); }
    std::string StagedList() const { return Staging() + "/" + std::string(kInstalledListPath); }
    std::string StagedSignature() const { return StagedList() + ".sig"; }
    std::string StagedFileList() const { return Staging() + "/update.xml"; }
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
