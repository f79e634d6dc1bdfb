#pragma once

// Reads and checks a staged update before anything is installed. The staging folder is
// first moved into the updater's private folder, so that nobody can change a file between
// its check and its install. What is installed is derived from the signed staged list
// against the installed list, never from the worker's own notes: the list must carry a
// good signature, be newer than the installed one, name only paths the install path rule
// accepts, and every file it brings must be staged as a regular file whose hash the list
// names. No path is followed through a link.

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
    std::vector<StagedFile> files; // in the signed list's order, each path once
    bool replacesList = false;     // an installed version list exists
    unsigned listMode = 0644;      // what the installed version list gets
};

struct StagedCheck
{
    std::optional<StagedUpdate> update;
    std::string error; // why it was refused, for the log
};

// Mode of a file the installation did not have: 0755 for an executable (ELF or "#!"
// start), 0644 otherwise, less the user's creation mask.
unsigned NewFileMode(const std::string& head, unsigned creationMask);

// Moves the staging folder into the updater's private folder, made afresh with mode 0700.
// Empty when done, otherwise why not.
std::string HoldStagedUpdate(IInstallFs& fs, const InstallLayout& layout);

// Holds the staged update and checks what is held.
StagedCheck CheckStagedUpdate(IInstallFs& fs, const InstallLayout& layout,
                              const PublicKey& key = TrustedUpdateKey());
