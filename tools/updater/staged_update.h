#pragma once

// Reads and checks a staged update before anything is installed: the staged version list
// must carry a good signature, every staged file must be named by it with a safe path and
// must hash to the value it lists.

#include "update/update_signing.h"
#include "updater/install_fs.h"
#include "updater/install_layout.h"

#include <optional>
#include <string>
#include <vector>

struct StagedFile
{
    std::string path;      // relative to the program folder, '/' separated, checked safe
    unsigned mode = 0;     // what the installed file gets
    bool replaces = false; // an installed file of that path exists
};

struct StagedUpdate
{
    std::string version;           // the staged list's root "v"
    std::vector<StagedFile> files; // in the staged file list's order, each path once
    bool replacesList = false;     // an installed version list exists
    unsigned listMode = 0644;      // what the installed version list gets
};

struct StagedCheck
{
    std::optional<StagedUpdate> update;
    std::string error; // why it was refused, for the log
};

// A version-list path turned into a program-folder path: backslashes become '/'. Empty
// when the path is absolute, climbs with "..", has empty or "." parts, carries a control
// character, or names a file the updater keeps for itself or the user's profile.
std::string SafeRelativePath(const std::string& listPath);

// Mode of a file the installation did not have: 0755 for an executable (ELF or "#!"
// start), 0644 otherwise.
unsigned NewFileMode(const std::string& head);

StagedCheck CheckStagedUpdate(IInstallFs& fs, const InstallLayout& layout,
                              const PublicKey& key = TrustedUpdateKey());
