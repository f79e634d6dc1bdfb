#pragma once

// Turns a staged program tree into the desktop server's "Bin/" tree: the files, the
// version list naming each with its version and SHA-256, and the list's signature.

#include "update/update_signing.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ReleaseEntry
{
    std::string p;      // relative path with backslashes, as the lists have it
    std::string v;      // the file's version
    std::string sha256; // lowercase hex
    std::uint64_t size = 0;
};

struct ReleaseInput
{
    std::filesystem::path tree;     // the staged program folder (with Release/ and Skin/)
    std::string version;            // the root's "v"
    std::filesystem::path previous; // optional: the installed tree this release follows
    std::int64_t made = 0;          // seconds since 1970, UTC
    int validDays = 90;             // the list expires this many days after `made`
};

inline constexpr int kDefaultValidDays = 90;

// The files of a program tree an update may carry, as (relative path, list path with
// backslashes), sorted by list path: the program's own bookkeeping (the profile, the
// installed list, the updater's working files) is left out. Throws std::runtime_error when
// the tree is none, or holds a link or a file whose path the install path rule refuses.
std::vector<std::pair<std::string, std::string>> TreeFiles(const std::filesystem::path& tree);

// The installed version list the build writes into a program tree: the root's "v" is
// `version`, and each file of TreeFiles carries "p" and the same "v".
std::string InstalledListText(const std::filesystem::path& tree, const std::string& version);

// The files a release carries, sorted by path. The profile, the installed list and the
// updater's working files are never part of it. A file identical to the previous tree's
// keeps that tree's version, so an update stages only what changed; the rest get `version`.
// Throws std::runtime_error with a readable message when the tree cannot be read, the
// version is not dotted numbers, or a file's path is one the install path rule refuses (or
// a link), since the program would refuse the whole list.
std::vector<ReleaseEntry> CollectRelease(const ReleaseInput& input);

// The version list's text for `entries`, made at `input.made` and expiring `validDays` later.
std::string VersionListText(const ReleaseInput& input, const std::vector<ReleaseEntry>& entries);

// Writes the Bin tree into `out`, which must not exist or be empty: Release/version.xml,
// Release/version.xml.sig and every file, each only below `out`. Throws std::runtime_error
// on failure.
void WriteServerTree(const ReleaseInput& input, const SecretKey& key,
                     const std::filesystem::path& out);
