#pragma once

// Turns a staged program tree into the desktop server's "Bin/" tree: the files, the
// version list naming each with its version and SHA-256, and the list's signature.

#include "update/update_signing.h"

#include <filesystem>
#include <string>
#include <vector>

struct ReleaseEntry
{
    std::string p;      // relative path with backslashes, as the lists have it
    std::string v;      // the file's version
    std::string sha256; // lowercase hex
};

struct ReleaseInput
{
    std::filesystem::path tree;     // the staged program folder (with Release/ and Skin/)
    std::string version;            // the root's "v"
    std::filesystem::path previous; // optional: the installed tree this release follows
};

// The files a release carries, sorted by path. The profile, the installed list and the
// staging folder are never part of it. A file identical to the previous tree's keeps that
// tree's version, so an update stages only what changed; the rest get `version`.
// Throws std::runtime_error with a readable message when the tree cannot be read.
std::vector<ReleaseEntry> CollectRelease(const ReleaseInput& input);

// The version list's text for `entries`.
std::string VersionListText(const std::string& version, const std::vector<ReleaseEntry>& entries);

// Writes the Bin tree into `out`, which must not exist or be empty: Release/version.xml,
// Release/version.xml.sig and every file. Throws std::runtime_error on failure.
void WriteServerTree(const ReleaseInput& input, const SecretKey& key,
                     const std::filesystem::path& out);
