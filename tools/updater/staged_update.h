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

// A version-list path as the program-folder path it is installed at: the worker's safe
// path (backslashes become '/', no absolute path, no ".."), and neither a control
// character, a file the updater keeps for itself, the version list nor the user's profile.
// Empty when refused.
std::string InstallablePath(const std::string& listPath);

// Mode of a file the installation did not have: 0755 for an executable (ELF or "#!"
// start), 0644 otherwise.
unsigned NewFileMode(const std::string& head);

StagedCheck CheckStagedUpdate(IInstallFs& fs, const InstallLayout& layout,
                              const PublicKey& key = TrustedUpdateKey());
