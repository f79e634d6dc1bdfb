#pragma once

// The server's signed version list read as one checked value. Besides the version and each
// file's path, version and SHA-256, the list says when it was made and until when it holds
// (UTC), and each file's size, so that a download can stop the moment it passes its size.
// A list with any path the install path rule refuses is refused whole, before anything is
// downloaded, so a refused path never loops.

#include "update/install_path.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ListedFile
{
    std::string p;        // as the list names it
    std::string relative; // as installed: '/' separators, checked by the path rule
    std::string v;
    std::string sha256; // 64 lowercase hex digits
    std::uint64_t size = 0;
};

struct SignedVersionList
{
    std::string version;           // dotted numbers
    std::int64_t made = 0;         // seconds since 1970, UTC
    std::int64_t expires = 0;      // seconds since 1970, UTC; not before `made`
    std::vector<ListedFile> files; // in the list's order
    std::uint64_t totalBytes = 0;  // the sum of the files' sizes
};

struct VersionListReading
{
    std::optional<SignedVersionList> list;
    std::string refusal; // why there is no list, in a few words, for the trace and the log
};

// Reads the list's bytes (already checked against their signature) as the worker and the
// updater do. `isFolder` is handed to the path rule.
VersionListReading ReadSignedVersionList(std::string_view bytes,
                                         const IsFolderOnDisk& isFolder = {});

// "2026-12-08T03:20:00Z" to seconds since 1970 and back; nothing for any other form.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);
std::string FormatUtcTime(std::int64_t seconds);
