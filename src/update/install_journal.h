#pragma once

// The updater installs an update as one transaction and keeps a journal until it is done.
// A journal found at start-up means an install was cut short (the updater was killed, the
// power went): the program then hands over to the updater exactly as for a pending
// update, and the updater finishes or undoes it.

#include <string>
#include <string_view>

inline constexpr std::string_view kInstallJournalTail = "/Release/update.journal";

bool UnfinishedInstallFound(const std::wstring& programDir);

// Whether the worker's staging folder is there. A pending update without it (the updater
// dropped what it could not install) has nothing left to hand over.
bool StagedUpdateFound(const std::wstring& programDir);
